#include "app/LaunchCycle.h"

#include "app/CommandLine.h"
#include "app/CrashRecovery.h"
#include "app/GameLaunch.h"
#include "app/GameLocation.h"
#include "app/LaunchPaths.h"
#include "app/Messages.h"
#include "app/RecoveryMarker.h"
#include "log/RunLog.h"
#include "platform/Desktop.h"
#include "script/ModScript.h"

namespace srdw {

namespace {

// The game's own window is open when the game was started without the launcher;
// the player is told, and the run stops before anything changes.
bool ReportRunningGame() {
    if (!Host().WindowExists("Skyrend 2", "Skyrend 2")) {
        return false;
    }
    ShowMessage(IDS_GAME_RUNNING, 0);
    return true;
}

void Play(LaunchMode mode, ModScript& script) {
    LaunchPaths& paths = Paths();
    Host().ShowSplash();
    RegisterStartupEntry();
    if (mode == LaunchMode::InstallMode) {
        WriteMarker(paths.MarkerFile, script.Path());
        script.Install(PlaceholdersOf(paths));
    }
    RemoveEditSwitch(paths.CommandLine);
    Host().HideSplash();
    const ProgramRun game = RunAndWait(paths.GameExe, paths.CommandLine, paths.RootDir);
    if (mode == LaunchMode::InstallMode) {
        script.Restore(PlaceholdersOf(paths));
    }
    RemoveStartupEntry();
    Host().DestroySplash();
    if (!game) {
        ReportGameNotStarted(paths.GameExe, game);  // once everything is back
    }
}

}  // namespace

CycleEnd LaunchCycle(LaunchMode mode, ModScript& script) {
    LaunchPaths& paths = Paths();
    paths.GameExe.clear();
    paths.RootDir.clear();
    if (!LocateGame()) {
        return CycleEnd::Completed;
    }
    if (ReportRunningGame()) {
        return CycleEnd::GameRunning;
    }
    Host().BeginWaitCursor();
    paths.CommandLine = PrepareCommandLine(Host().CommandLineTail());
    if (mode == LaunchMode::RecoverMode || HasRecoverSwitch(paths.CommandLine)) {
        LogWrite("found '/recover' switch, restoring MOD...\n");
        script.Restore(PlaceholdersOf(paths));
        // The interrupted run's start-up entry has nothing left to do.
        RemoveStartupEntry();
    } else {
        Play(mode, script);
    }
    Host().EndWaitCursor();
    return CycleEnd::Completed;
}

}  // namespace srdw
