#include "app/GameLaunch.h"

#include "app/Messages.h"
#include "log/RunLog.h"
#include "platform/FileSystem.h"

namespace srdw {

namespace {

void WaitWhileWindowOpen() {
    while (GameWindowOpen()) {
        Files().Sleep(kWatchInterval);
    }
}

// True when the window opened within the grace time.
bool WindowOpensInGraceTime() {
    for (unsigned waited = 0; waited < kWindowGraceTime; waited += kWatchInterval) {
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
void WaitForGameWindow(bool windowSeen) {
    if (!Host().HasWindows()) {
        return;
    }
    if (GameWindowOpen()) {
        LogWrite(" > the game went on in another process; waiting for its window to close\n");
    } else if (windowSeen) {
        return;
    } else {
        LogWrite(" > the game ended without showing its window; waiting up to ");
        LogWrite(std::to_string(kWindowGraceTime / 1000));
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

}  // namespace

bool GameWindowOpen() {
    return Host().WindowExists(kGameWindow, kGameWindow);
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
    // A store's client that the game's stub started stays in the game's job for
    // as long as the player keeps it: once the game's window was seen and has
    // stayed closed for the grace time, the game has ended, whatever else runs.
    bool windowSeen = false;
    unsigned closedFor = 0;
    ProgramRun run = Host().StartAndWait(file, parameters, directory, [&windowSeen, &closedFor] {
        if (GameWindowOpen()) {
            windowSeen = true;
            closedFor = 0;
        } else if (windowSeen) {
            closedFor += kWatchInterval;
        }
        return closedFor < kWindowGraceTime;
    });
    if (!run) {
        LogWrite("ERROR: failed to start '");
        LogWrite(file);
        LogWrite("': ");
        LogWrite(run.reason);
        LogWrite("!\n");
        return run;
    }
    if (closedFor >= kWindowGraceTime) {
        LogWrite(
            " > the game's window has closed; not waiting for the other programs it "
            "started\n");
        return run;
    }
    WaitForGameWindow(windowSeen);
    return run;
}

void ReportGameNotStarted(const std::string& file, const ProgramRun& run) {
    Host().ShowMessageBox(Host().LoadText(IDS_GAME_NOT_STARTED) + "\n" + file + ": " + run.reason,
                          0);
}

}  // namespace srdw
