#include "app/LaunchCycle.h"

#include <string>

#include "app/AdminRights.h"
#include "app/CommandLine.h"
#include "app/CrashRecovery.h"
#include "app/GameLaunch.h"
#include "app/GameLocation.h"
#include "app/LaunchPaths.h"
#include "app/LauncherApp.h"
#include "app/Messages.h"
#include "app/PathText.h"
#include "app/RecoveryMarker.h"
#include "log/RunLog.h"
#include "platform/Desktop.h"
#include "script/ModScript.h"

namespace srdw {

namespace {

// The game's own window is open when the game was started without the launcher;
// the player is told, and the run stops before anything changes.
bool ReportRunningGame() {
    if (!GameWindowOpen()) {
        return false;
    }
    ShowMessage(IDS_GAME_RUNNING, 0);
    return true;
}

// The journal is written before each move and synced once, before the game
// starts, as the marker is; a journal that cannot be written is kept in memory,
// which serves this run's restore but not a recovery after a crash.
void InstallJournalled(ModScript& script, UndoJournal& journal) {
    const LaunchPaths& paths = Paths();
    // The journal is begun before the marker is written, so that the marker
    // never stands beside an older run's journal.
    static_cast<void>(journal.Start(paths.JournalFile, script.TextChecksum()));
    WriteMarker(paths.MarkerFile, script.Path());
    script.Install(PlaceholdersOf(paths), journal);
    if (journal.Finish()) {
        return;
    }
    LogWrite("ERROR: cannot write the undo journal '");
    LogWrite(paths.JournalFile);
    LogWrite(journal.InMemoryOnly()   ? "'; a crash now would be undone from the script alone!\n"
             : journal.RefusedMoves() ? "'; no file was moved after that, so that a crash can "
                                        "still be undone!\n"
                                      : "' through to the disk; a power loss now may lose it!\n");
}

// True when everything the install moved is back.
bool Restore(ModScript& script, const UndoJournal& journal, const RestoreSource& source) {
    if (source.fromScript) {
        script.Restore(PlaceholdersOf(Paths()));
        return true;
    }
    return UndoInstall(journal.Contents()) == 0;
}

CycleEnd Play(LaunchMode mode, ModScript& script, const RestoreSource& source) {
    LaunchPaths& paths = Paths();
    Host().ShowSplash();
    RegisterStartupEntry();
    UndoJournal journal;
    if (mode == LaunchMode::InstallMode) {
        InstallJournalled(script, journal);
    }
    RemoveEditSwitch(paths.CommandLine);
    Host().HideSplash();
    const ProgramRun game = RunAndWait(paths.GameExe, paths.CommandLine, paths.RootDir);
    const bool restored = mode != LaunchMode::InstallMode || Restore(script, journal, source);
    if (restored) {
        RemoveStartupEntry();
    }
    Host().DestroySplash();
    if (!game) {
        ReportGameNotStarted(paths.GameExe, game);  // once everything is back
    }
    return restored ? CycleEnd::Completed : CycleEnd::Unfinished;
}

// A crashed run is undone from its journal; without one, a marker (left by an
// older launcher) has it undone from the script, as far as the disk allows.
// Without either, nothing was installed: the marker is written before the
// first move, so there is nothing to restore. Returns how many of the
// install's moves are not undone.
std::size_t Recover(LaunchMode mode, ModScript& script, const RestoreSource& source) {
    LogWrite("found '/recover' switch, restoring MOD...\n");
    std::size_t notUndone = 0;
    if (!source.journal && mode != LaunchMode::RecoverMode) {
        LogWrite(" > nothing to restore: no marker and no journal record an install\n");
    } else if (source.journal) {
        if (source.journal->torn) {
            LogWrite("ERROR: the undo journal '");
            LogWrite(Paths().JournalFile);
            LogWrite("' ends in a damaged record; what the install did after it is not known!\n");
        }
        notUndone = UndoInstall(*source.journal);
    } else {
        script.Restore(PlaceholdersOf(Paths()));
    }
    if (notUndone == 0) {
        // The interrupted run's start-up entry has nothing left to do.
        RemoveStartupEntry();
    }
    return notUndone;
}

// Without a word, a recovery that cannot finish would end every later start
// of the launcher the same way, and the game would never start. The player is
// told, and may play this once as the folder is now; the records stay either
// way, so the next start tries again. Nobody to answer means no game.
void OfferTheGameWithoutTheMod(std::size_t notUndone) {
    LogFlush();  // the log the question names holds this run's lines
    const std::string question = MessageText(
        IDS_RESTORE_UNFINISHED, {std::to_string(notUndone), LogPathFor(Host().OwnPath())});
    if (Host().AskYesNo(question) != Answer::Yes) {
        return;
    }
    LaunchPaths& paths = Paths();
    RemoveEditSwitch(paths.CommandLine);
    RemoveRecoverSwitch(paths.CommandLine);
    const ProgramRun game = RunAndWait(paths.GameExe, paths.CommandLine, paths.RootDir);
    if (!game) {
        ReportGameNotStarted(paths.GameExe, game);
    }
}

// The launcher's own folder is locked already, before its log was opened.
bool BesideLauncher(const std::string& folder) {
    return Host().LowerCase(folder) == Host().LowerCase(DirectoryOf(Paths().MarkerFile));
}

}  // namespace

CycleEnd LaunchCycle(LaunchMode mode, ModScript& script, const RestoreSource& source) {
    LaunchPaths& paths = Paths();
    paths.GameExe.clear();
    paths.RootDir.clear();
    if (mode == LaunchMode::RecoverMode) {
        // The entry that started this run was used up as it ran (RunOnce deletes
        // its value, the Linux entry itself): it is written again before anything
        // can stop the run, and only a complete restore removes it.
        RegisterStartupEntry();
    }
    if (!LocateGame()) {
        // Without a game nothing was installed; a recovery is still to come.
        return mode == LaunchMode::RecoverMode ? CycleEnd::Unfinished : CycleEnd::Completed;
    }
    if (ReportRunningGame()) {
        return CycleEnd::GameRunning;
    }
    Host().BeginWaitCursor();
    paths.CommandLine = PrepareCommandLine(Host().CommandLineTail());
    // A game found elsewhere than beside the launcher may sit in a folder that
    // needs administrator rights; a run without the mod changes nothing there.
    const bool restores = mode == LaunchMode::RecoverMode || HasRecoverSwitch(paths.CommandLine);
    if ((restores || mode == LaunchMode::InstallMode) && !MayChange(paths.RootDir)) {
        LogWrite("ERROR: cannot change the game folder '");
        LogWrite(paths.RootDir);
        LogWrite("' without administrator rights; nothing was changed!\n");
        Host().EndWaitCursor();
        return CycleEnd::NeedsRights;
    }
    // A game found elsewhere than beside the launcher may be found so by a
    // launcher in yet another folder: the game folder's own lock keeps it out.
    if ((restores || mode == LaunchMode::InstallMode) && !BesideLauncher(paths.RootDir) &&
        !Guarded(Host().LockFolder(paths.RootDir))) {
        Host().EndWaitCursor();
        return CycleEnd::FolderInUse;
    }
    const std::size_t notUndone = restores ? Recover(mode, script, source) : 0;
    const CycleEnd end = restores ? (notUndone == 0 ? CycleEnd::Completed : CycleEnd::Unfinished)
                                  : Play(mode, script, source);
    if (end == CycleEnd::Unfinished) {
        LogWrite(
            "ERROR: not everything could be put back; the marker, the journal and the start-up "
            "entry stay, and the next start tries again!\n");
    }
    if (notUndone > 0) {
        OfferTheGameWithoutTheMod(notUndone);
    }
    Host().EndWaitCursor();
    return end;
}

}  // namespace srdw
