#include "app/GameLocation.h"

#include "app/Messages.h"
#include "app/PathText.h"

namespace srdw {

namespace {

constexpr const char* kSettingsFile = "Srendcfg.ini";
constexpr const char* kSettingsSection = "Global - String3";
constexpr const char* kSettingsKey = "Data";

// An existing file; a directory, also one called srend.exe, is no game.
bool IsUsable(FileSystem& files, const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const auto attributes = files.Attributes(path);
    return attributes && !attributes->directory;
}

}  // namespace

bool LocateGame(const Launch& launch) {
    LaunchPaths& paths = launch.paths;
    const Platform& platform = launch.platform;
    paths.RootDir = DirectoryOf(platform.process.OwnPath());
    paths.GameExe = paths.RootDir + "\\srend.exe";

    if (!IsUsable(platform.files, paths.GameExe)) {
        paths.GameExe =
            platform.records.ReadProfileString(kSettingsFile, kSettingsSection, kSettingsKey)
                .substr(0, kMaxPath);
        paths.RootDir.clear();
        // A remembered game the code page cannot name is not asked for again:
        // the player would only point at the same folder.
        if (paths.GameExe.empty() && RefuseUnusablePath(launch)) {
            return false;
        }
    }
    if (!IsUsable(platform.files, paths.GameExe)) {
        ShowMessage(platform.player, IDS_GAME_NOT_FOUND, 0);
        auto chosen = platform.player.ChooseGameFile();
        if (!chosen) {
            static_cast<void>(RefuseUnusablePath(launch));  // else the player cancelled
            return false;
        }
        paths.GameExe = std::move(*chosen);
        paths.RootDir.clear();
        // Best effort: unsaved, the user is asked again at the next start.
        static_cast<void>(platform.records.WriteProfileString(kSettingsFile, kSettingsSection,
                                                              kSettingsKey, paths.GameExe));
    }
    if (paths.RootDir.empty()) {
        paths.RootDir = DirectoryOf(paths.GameExe);
    }
    // A game directory that cannot be entered leaves the script to fail on its own paths.
    static_cast<void>(platform.files.ChangeDirectory(DirectoryToEnter(paths.RootDir)));
    return true;
}

}  // namespace srdw
