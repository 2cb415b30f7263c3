#include "app/GameLaunch.h"

#include "app/Messages.h"

namespace srdw {

namespace {

void WaitWhileWindowOpen(const Platform& platform) {
    while (GameWindowOpen(platform.game)) {
        platform.files.Sleep(kWatchInterval);
    }
}

// True when the window opened within the grace time.
bool WindowOpensInGraceTime(const Platform& platform) {
    for (unsigned waited = 0; waited < kGraceTime; waited += kWatchInterval) {
        platform.files.Sleep(kWatchInterval);
        if (GameWindowOpen(platform.game)) {
            return true;
        }
    }
    return false;
}

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
    if (GameWindowOpen(platform.game)) {
        log.Write(" > the game went on in another process; waiting for its window to close\n");
    } else if (windowSeen) {
        return;
    } else if (crashed) {
        log.Write(" > the game crashed without showing its window; not waiting for it\n");
        return;
    } else {
        log.Write(" > the game ended without showing its window; waiting up to ");
        log.Write(std::to_string(kGraceTime / 1000));
        log.Write(" s for it to open\n");
        log.Flush();
        if (!WindowOpensInGraceTime(platform)) {
            log.Write(" > no game window opened\n");
            return;
        }
        log.Write(" > the game went on in another process; waiting for its window to close\n");
    }
    log.Flush();
    WaitWhileWindowOpen(platform);
}

// " > still running: updater.exe (process 4242)", one line a process.
void LogStillRunning(RunLog& log, const std::vector<RunningProcess>& processes) {
    for (const RunningProcess& process : processes) {
        log.Write(" > still running: ");
        log.Write(process.file.empty() ? std::string("(unknown)") : process.file);
        log.Write(" (process ");
        log.Write(std::to_string(process.id));
        log.Write(")\n");
    }
}

}  // namespace

bool GameWindowOpen(GameProcess& game) {
    return game.WindowExists(kGameWindow, kGameWindow);
}

ProgramRun RunAndWait(const Launch& launch, const std::string& file, const std::string& parameters,
                      const std::string& directory) {
    RunLog& log = launch.log;
    GameProcess& game = launch.platform.game;
    log.Write("\nExecuting 'ShellExecuteEx()'");
    log.Write("\n > App: ");
    log.Write(file);
    log.Write("\n > Command: ");
    log.Write(parameters);
    log.Write("\n > Path: ");
    log.Write(directory);
    log.Write("\n");
    // The game may run for hours: whatever happens meanwhile, the log so far is kept.
    log.Flush();
    // The game is over for this wait once its own process has ended, or its
    // window was seen, and no window of it has been open for the grace time:
    // what it leaves running may run for as long as the player is logged in.
    bool windowSeen = false;
    unsigned quietFor = 0;
    ProgramRun run = game.StartAndWait(file, parameters, directory,
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
        log.Write("ERROR: failed to start '");
        log.Write(file);
        log.Write("': ");
        log.Write(run.reason);
        log.Write("!\n");
        return run;
    }
    if (quietFor >= kGraceTime) {
        log.Write(windowSeen ? " > the game's window has closed; not waiting for the other "
                               "programs it started\n"
                             : " > the game has ended; not waiting for the other programs it "
                               "started\n");
        LogStillRunning(log, run.left);
        return run;
    }
    WaitForGameWindow(launch, windowSeen, run.crashed);
    return run;
}

void ReportGameNotStarted(PlayerDialogs& player, const std::string& file, const ProgramRun& run) {
    player.ShowMessageBox(player.LoadText(IDS_GAME_NOT_STARTED) + "\n" + file + ": " + run.reason,
                          0);
}

}  // namespace srdw
