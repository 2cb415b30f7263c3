#include "app/GameLaunch.h"

#include "app/Messages.h"
#include "log/RunLog.h"
#include "platform/FileSystem.h"
#include "platform/GameProcess.h"
#include "platform/PlayerDialogs.h"

namespace srdw {

namespace {

void WaitWhileWindowOpen() {
    while (GameWindowOpen()) {
        Files().Sleep(kWatchInterval);
    }
}

// True when the window opened within the grace time.
bool WindowOpensInGraceTime() {
    for (unsigned waited = 0; waited < kGraceTime; waited += kWatchInterval) {
        Files().Sleep(kWatchInterval);
        if (GameWindowOpen()) {
            return true;
        }
    }
    return false;
}

// A stub sold by a store may hand the game over to a process outside the
// launcher's reach and end at once: the restore must wait for the game's
// window instead. One that was seen and closed again while the started
// processes ran was the game itself, which has ended.
void WaitForGameWindow(bool windowSeen, bool crashed) {
    if (!Game().HasWindows()) {
        return;
    }
    if (GameWindowOpen()) {
        LogWrite(" > the game went on in another process; waiting for its window to close\n");
    } else if (windowSeen) {
        return;
    } else if (crashed) {
        LogWrite(" > the game crashed without showing its window; not waiting for it\n");
        return;
    } else {
        LogWrite(" > the game ended without showing its window; waiting up to ");
        LogWrite(std::to_string(kGraceTime / 1000));
        LogWrite(" s for it to open\n");
        LogFlush();
        if (!WindowOpensInGraceTime()) {
            LogWrite(" > no game window opened\n");
            return;
        }
        LogWrite(" > the game went on in another process; waiting for its window to close\n");
    }
    LogFlush();
    WaitWhileWindowOpen();
}

// " > still running: updater.exe (process 4242)", one line a process.
void LogStillRunning(const std::vector<RunningProcess>& processes) {
    for (const RunningProcess& process : processes) {
        LogWrite(" > still running: ");
        LogWrite(process.file.empty() ? std::string("(unknown)") : process.file);
        LogWrite(" (process ");
        LogWrite(std::to_string(process.id));
        LogWrite(")\n");
    }
}

}  // namespace

bool GameWindowOpen() {
    return Game().WindowExists(kGameWindow, kGameWindow);
}

ProgramRun RunAndWait(const std::string& file, const std::string& parameters,
                      const std::string& directory) {
    LogWrite("\nExecuting 'ShellExecuteEx()'");
    LogWrite("\n > App: ");
    LogWrite(file);
    LogWrite("\n > Command: ");
    LogWrite(parameters);
    LogWrite("\n > Path: ");
    LogWrite(directory);
    LogWrite("\n");
    // The game may run for hours: whatever happens meanwhile, the log so far is kept.
    LogFlush();
    // The game is over for this wait once its own process has ended, or its
    // window was seen, and no window of it has been open for the grace time:
    // what it leaves running may run for as long as the player is logged in.
    bool windowSeen = false;
    unsigned quietFor = 0;
    ProgramRun run = Game().StartAndWait(file, parameters, directory,
                                         [&windowSeen, &quietFor](bool programEnded) {
                                             if (GameWindowOpen()) {
                                                 windowSeen = true;
                                                 quietFor = 0;
                                             } else if (programEnded || windowSeen) {
                                                 quietFor += kWatchInterval;
                                             }
                                             return quietFor < kGraceTime;
                                         });
    if (!run) {
        LogWrite("ERROR: failed to start '");
        LogWrite(file);
        LogWrite("': ");
        LogWrite(run.reason);
        LogWrite("!\n");
        return run;
    }
    if (quietFor >= kGraceTime) {
        LogWrite(windowSeen ? " > the game's window has closed; not waiting for the other "
                              "programs it started\n"
                            : " > the game has ended; not waiting for the other programs it "
                              "started\n");
        LogStillRunning(run.left);
        return run;
    }
    WaitForGameWindow(windowSeen, run.crashed);
    return run;
}

void ReportGameNotStarted(const std::string& file, const ProgramRun& run) {
    Player().ShowMessageBox(
        Player().LoadText(IDS_GAME_NOT_STARTED) + "\n" + file + ": " + run.reason, 0);
}

}  // namespace srdw
