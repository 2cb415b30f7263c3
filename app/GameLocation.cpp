#include "app/GameLocation.h"

#include "app/LaunchPaths.h"
#include "app/Messages.h"
#include "app/PathText.h"
#include "platform/Platform.h"

namespace srdw {

namespace {

constexpr const char* kSettingsFile = "Srendcfg.ini";
constexpr const char* kSettingsSection = "Global - String3";
constexpr const char* kSettingsKey = "Data";

// An existing file; a directory, also one called srend.exe, is no game.
bool IsUsable(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const auto attributes = Os().Attributes(path);
    return attributes && !attributes->directory;
}

}  // namespace

bool LocateGame() {
    LaunchPaths& paths = Paths();
    paths.RootDir = DirectoryOf(Os().OwnPath());
    paths.GameExe = paths.RootDir + "\\srend.exe";

    if (!IsUsable(paths.GameExe)) {
        paths.GameExe = Os().ReadProfileString(kSettingsFile, kSettingsSection, kSettingsKey)
                            .substr(0, kMaxPath);
        paths.RootDir.clear();
    }
    if (!IsUsable(paths.GameExe)) {
        ShowMessage(IDS_GAME_NOT_FOUND, 0);
        auto chosen = Os().ChooseGameFile();
        if (!chosen) {
            return false;
        }
        paths.GameExe = std::move(*chosen);
        paths.RootDir.clear();
        Os().WriteProfileString(kSettingsFile, kSettingsSection, kSettingsKey, paths.GameExe);
    }
    if (paths.RootDir.empty()) {
        paths.RootDir = DirectoryOf(paths.GameExe);
    }
    Os().ChangeDirectory(paths.RootDir);
    return true;
}

}  // namespace srdw
