#include "app/GameLocation.h"

#include "app/LaunchPaths.h"
#include "app/Messages.h"
#include "app/PathText.h"
#include "platform/FileSystem.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"
#include "platform/SystemRecords.h"

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
    const auto attributes = Files().Attributes(path);
    return attributes && !attributes->directory;
}

}  // namespace

bool LocateGame() {
    LaunchPaths& paths = Paths();
    paths.RootDir = DirectoryOf(OwnProcess().OwnPath());
    paths.GameExe = paths.RootDir + "\\srend.exe";

    if (!IsUsable(paths.GameExe)) {
        paths.GameExe = Records()
                            .ReadProfileString(kSettingsFile, kSettingsSection, kSettingsKey)
                            .substr(0, kMaxPath);
        paths.RootDir.clear();
        // A remembered game the code page cannot name is not asked for again:
        // the player would only point at the same folder.
        if (paths.GameExe.empty() && RefuseUnusablePath()) {
            return false;
        }
    }
    if (!IsUsable(paths.GameExe)) {
        ShowMessage(IDS_GAME_NOT_FOUND, 0);
        auto chosen = Player().ChooseGameFile();
        if (!chosen) {
            static_cast<void>(RefuseUnusablePath());  // else the player cancelled
            return false;
        }
        paths.GameExe = std::move(*chosen);
        paths.RootDir.clear();
        // Best effort: unsaved, the user is asked again at the next start.
        static_cast<void>(Records().WriteProfileString(kSettingsFile, kSettingsSection,
                                                       kSettingsKey, paths.GameExe));
    }
    if (paths.RootDir.empty()) {
        paths.RootDir = DirectoryOf(paths.GameExe);
    }
    // A game directory that cannot be entered leaves the script to fail on its own paths.
    static_cast<void>(Files().ChangeDirectory(DirectoryToEnter(paths.RootDir)));
    return true;
}

}  // namespace srdw
