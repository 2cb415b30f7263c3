// The player's dialogs on Windows: the string table's texts, message boxes
// with the launcher's icon, the wait cursor, the splash window and the game
// file chooser.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/CodePage.h"
#include "platform/win32/ResourceText.h"
#include "res/resource.h"
#include "ui/Dialogs.h"
#include "ui/Ui.h"

namespace srdw {

namespace {

std::string AppTitle() {
    return win32::ResourceText(IDS_APP_TITLE);
}

Answer AskInMessageBox(const std::string& text, UINT buttons) {
    const std::string title = AppTitle();
    switch (MessageBoxA(nullptr, text.c_str(), title.c_str(),
                        buttons | MB_ICONEXCLAMATION | MB_TASKMODAL)) {
        case IDYES:
            return Answer::Yes;
        case IDNO:
            return Answer::No;
        case 0:
            return Answer::NoAnswer;  // the box could not be shown
        default:
            return Answer::Cancel;
    }
}

class LauncherDialogs final : public PlayerDialogs {
  public:
    std::string LoadText(unsigned id) override;
    int ShowMessageBox(const std::string& text, unsigned style) override;
    Answer AskYesNoCancel(const std::string& text) override;
    Answer AskYesNo(const std::string& text) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::optional<std::string> ChooseGameFile() override {
        const auto chosen = ui::ChooseGameFile();
        std::string path = win32::AcceptedPath(chosen ? *chosen : std::wstring());
        return path.empty() ? std::nullopt : std::optional<std::string>(std::move(path));
    }
    void ShowSplash() override { ui::ShowSplash(); }
    void HideSplash() override { ui::HideSplash(); }
    void DestroySplash() override { ui::DestroySplash(); }

  private:
    HCURSOR previousCursor_ = nullptr;
};

std::string LauncherDialogs::LoadText(unsigned id) {
    return win32::ResourceText(id);
}

int LauncherDialogs::ShowMessageBox(const std::string& text, unsigned style) {
    const std::string title = AppTitle();
    MessageBeep(0);
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = nullptr;
    box.hInstance = GetModuleHandleA(nullptr);
    box.lpszText = text.c_str();
    box.lpszCaption = title.c_str();
    box.dwStyle = style | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEA(IDI_LAUNCHER);
    return MessageBoxIndirectA(&box);
}

Answer LauncherDialogs::AskYesNoCancel(const std::string& text) {
    return AskInMessageBox(text, MB_YESNOCANCEL);
}

Answer LauncherDialogs::AskYesNo(const std::string& text) {
    return AskInMessageBox(text, MB_YESNO);
}

void LauncherDialogs::BeginWaitCursor() {
    previousCursor_ = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
}

void LauncherDialogs::EndWaitCursor() {
    SetCursor(previousCursor_);
}

}  // namespace

PlayerDialogs& ui::NativeDialogs() {
    static LauncherDialogs dialogs;
    return dialogs;
}

}  // namespace srdw
