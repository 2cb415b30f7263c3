#include "app/GameRun.h"

#include <string>
#include <utility>

#include "app/PathText.h"
#include "app/PlayerMessages.h"
#include "res/resource.h"
#include "script/PathModel.h"

namespace srdw {

namespace {

constexpr const char* kSettingsFile = "Srendcfg.ini";
constexpr const char* kSettingsSection = "Global - String3";
constexpr const char* kSettingsKey = "Data";
// The game's main window has this class and this title.
constexpr const char* kGameWindow = "Skyrend 2";

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
        ShowMessage(platform.player, IDS_GAME_NOT_FOUND);
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

bool GameWindowOpen(GameProcess& game) {
    return game.WindowExists(kGameWindow, kGameWindow);
}

namespace {

// A stub sold by a store may hand the game over to a process outside the
// launcher's reach and end at once: the restore must wait for the game's
// window instead. One that was seen and closed again while the started
// processes ran was the game itself, which has ended.
void WaitForGameWindow(const Launch& launch, bool windowSeen, bool crashed) {
    const Platform& platform = launch.platform;
    RunLog& log = launch.log;
    if (!platform.game.HasWindows()) {
        return;
    }
    const bool open = GameWindowOpen(platform.game);
    if (!open && windowSeen) {
        return;
    }
    if (!open && crashed) {
        log.Write(" > the game crashed without showing its window; not waiting for it\n");
        return;
    }
    if (!open) {
        log.Write({" > the game ended without showing its window; waiting up to ",
                   std::to_string(kGraceTime / 1000), " s for it to open\n"});
        log.Flush();
        bool opened = false;
        for (unsigned waited = 0; waited < kGraceTime && !opened; waited += kWatchInterval) {
            platform.files.Sleep(kWatchInterval);
            opened = GameWindowOpen(platform.game);
        }
        if (!opened) {
            log.Write(" > no game window opened\n");
            return;
        }
    }
    log.Write(" > the game went on in another process; waiting for its window to close\n");
    log.Flush();
    while (GameWindowOpen(platform.game)) {
        platform.files.Sleep(kWatchInterval);
    }
}

}  // namespace

ProgramRun RunAndWait(const Launch& launch) {
    RunLog& log = launch.log;
    GameProcess& game = launch.platform.game;
    const LaunchPaths& paths = launch.paths;
    log.Write({"\nExecuting 'ShellExecuteEx()'\n > App: ", paths.GameExe,
               "\n > Command: ", paths.CommandLine, "\n > Path: ", paths.RootDir, "\n"});
    // The game may run for hours: whatever happens meanwhile, the log so far is kept.
    log.Flush();
    // The game is over for this wait once its own process has ended, or its
    // window was seen, and no window of it has been open for the grace time:
    // what it leaves running may run for as long as the player is logged in.
    bool windowSeen = false;
    unsigned quietFor = 0;
    ProgramRun run = game.StartAndWait(paths.GameExe, paths.CommandLine, paths.RootDir,
                                       [&game, &windowSeen, &quietFor](bool programEnded) {
                                           if (GameWindowOpen(game)) {
                                               windowSeen = true;
                                               quietFor = 0;
                                           } else if (programEnded || windowSeen) {
                                               quietFor += kWatchInterval;
                                           }
                                           return quietFor < kGraceTime;
                                       });
    if (!run) {
        log.Write({"ERROR: failed to start '", paths.GameExe, "': ", run.reason, "!\n"});
        return run;
    }
    if (quietFor < kGraceTime) {
        WaitForGameWindow(launch, windowSeen, run.crashed);
        return run;
    }
    log.Write(windowSeen ? " > the game's window has closed; not waiting for the other "
                           "programs it started\n"
                         : " > the game has ended; not waiting for the other programs it "
                           "started\n");
    for (const RunningProcess& process : run.left) {
        log.Write({" > still running: ", process.file.empty() ? "(unknown)" : process.file,
                   " (process ", std::to_string(process.id), ")\n"});
    }
    return run;
}

void ReportGameNotStarted(const Launch& launch, const ProgramRun& game) {
    if (!game) {
        PlayerDialogs& player = launch.Player();
        player.ShowMessageBox(player.LoadText(IDS_GAME_NOT_STARTED) + "\n" + launch.paths.GameExe +
                                  ": " + game.reason,
                              0);
    }
}

}  // namespace srdw
