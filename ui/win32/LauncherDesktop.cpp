// The launcher's desktop on Windows: the system's part from platform/win32/,
// with the splash window and the game file chooser of this folder.
#include "platform/win32/Win32Desktop.h"
#include "ui/Ui.h"

namespace srdw {

namespace {

class LauncherDesktop final : public win32::SystemDesktop {
  public:
    std::optional<std::string> ChooseGameFile() override {
        const auto chosen = ui::ChooseGameFile();
        if (!chosen) {
            Accepted({});
            return std::nullopt;
        }
        std::string path = Accepted(*chosen);
        return path.empty() ? std::nullopt : std::optional<std::string>(std::move(path));
    }
    void ShowSplash() override { ui::ShowSplash(); }
    void HideSplash() override { ui::HideSplash(); }
    void DestroySplash() override { ui::DestroySplash(); }
};

}  // namespace

Desktop& NativeDesktop() {
    static LauncherDesktop desktop;
    return desktop;
}

}  // namespace srdw
