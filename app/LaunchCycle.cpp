#include "app/LaunchCycle.h"

#include <string>

#include "app/AdminRights.h"
#include "app/CommandLine.h"
#include "app/CrashRecovery.h"
#include "app/FailedCommands.h"
#include "app/GameLaunch.h"
#include "app/GameLocation.h"
#include "app/LaunchPaths.h"
#include "app/LauncherApp.h"
#include "app/Messages.h"
#include "app/PathText.h"
#include "app/RecoveryMarker.h"
#include "log/RunLog.h"
#include "platform/GameProcess.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"
#include "platform/SystemRecords.h"
#include "script/ModScript.h"
#include "script/PathModel.h"

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

// The game's folder, which the journal names and the script works in: the
// launcher's own when the game's path names no folder (then "@rootdir" is
// empty, and the game starts in the current folder).
std::string GameFolder() {
    const LaunchPaths& paths = Paths();
    return paths.RootDir.empty() ? DirectoryOf(paths.MarkerFile) : paths.RootDir;
}

FileIdentity FolderIdentity(const std::string& folder) {
    const auto found = Files().LookUp(std::span(&folder, 1));
    return found.front().attributes ? found.front().attributes->identity : FileIdentity{};
}

// The launcher's records and everything else of its own: no script command may
// move them.
OwnFiles LaunchersOwnFiles() {
    const LaunchPaths& paths = Paths();
    const std::string logPath = LogPathFor(OwnProcess().OwnPath());
    std::vector<std::string> files = OwnProcess().LockFiles();
    files.insert(files.end(),
                 {paths.MarkerFile, paths.JournalFile, logPath, logPath + ".1",
                  OwnProcess().OwnPath(), Records().StartupEntryFile(kStartupEntryName)});
    return OwnFiles(files);
}

void ReportUnwritable(std::string_view what, const std::string& path, OsError error) {
    LogWrite("ERROR: cannot write the ");
    LogWrite(what);
    LogWrite(" '");
    LogWrite(path);
    LogWrite("': ");
    LogWrite(Files().IsLink(path) ? "it is a link, and the launcher writes through none"
                                  : ReasonOf(error));
    LogWrite("; nothing was installed!\n");
}

// The journal is the record of an install: its start and plan, then the
// marker, are on the disk before the first move, so that a crash at any
// moment can be undone. Where either cannot be made, nothing is moved: false.
bool InstallJournalled(ModScript& script, UndoJournal& journal) {
    const LaunchPaths& paths = Paths();
    const std::string folder = GameFolder();
    OsResult journalled =
        journal.Start(paths.JournalFile, folder, FolderIdentity(folder), script.TextChecksum());
    if (journalled) {
        journalled = script.PlanInstall(PlaceholdersOf(paths), journal);
    }
    if (!journalled) {
        ReportUnwritable("undo journal", paths.JournalFile, journalled.error);
        return false;
    }
    if (const OsResult marked = WriteMarker(paths.MarkerFile, script.Path()); !marked) {
        ReportUnwritable("recovery marker", paths.MarkerFile, marked.error);
        return false;
    }
    script.Install(PlaceholdersOf(paths), journal);
    if (journal.Finish()) {
        return true;
    }
    LogWrite("ERROR: cannot write the undo journal '");
    LogWrite(paths.JournalFile);
    LogWrite(journal.RefusedMoves() ? "'; no file was moved after that, so that a crash can "
                                      "still be undone!\n"
                                    : "' through to the disk; a power loss now may lose it!\n");
    return true;
}

// An install that did not begin leaves no records behind, and the player
// chooses whether to play without the mod. Nobody to answer means no game.
bool PlayWithoutTheMod(UndoJournal& journal) {
    journal.Close();
    static_cast<void>(Files().RemoveFile(Paths().MarkerFile));
    static_cast<void>(Files().RemoveFile(Paths().JournalFile));
    LogFlush();
    Player().HideSplash();
    const std::string question =
        MessageText(IDS_FOLDER_NOT_WRITABLE, {DirectoryOf(Paths().MarkerFile)});
    return Player().AskYesNo(question) == Answer::Yes;
}

// True when everything the install moved is back.
bool Restore(ModScript& script, UndoJournal& journal, const RestoreSource& source) {
    if (source.fromScript) {
        script.Restore(PlaceholdersOf(Paths()));
        return true;
    }
    return UndoInstall(journal.Contents(), &journal).Complete();
}

CycleEnd Play(LaunchMode mode, ModScript& script, const RestoreSource& source) {
    LaunchPaths& paths = Paths();
    Player().ShowSplash();
    RegisterStartupEntry();
    UndoJournal journal;
    const FailedCommands failed;
    bool installed = false;
    if (mode == LaunchMode::InstallMode) {
        installed = InstallJournalled(script, journal);
        if (!installed && !PlayWithoutTheMod(journal)) {
            RemoveStartupEntry();
            Player().DestroySplash();
            return CycleEnd::Completed;
        }
    }
    RemoveEditSwitch(paths.CommandLine);
    Player().HideSplash();
    // A game the player chose not to start is no game that failed to start.
    const ProgramRun game = PlayDespite(failed)
                                ? RunAndWait(paths.GameExe, paths.CommandLine, paths.RootDir)
                                : ProgramRun{};
    const bool restored = !installed || Restore(script, journal, source);
    if (restored) {
        RemoveStartupEntry();
    }
    Player().DestroySplash();
    if (!game) {
        ReportGameNotStarted(paths.GameExe, game);  // once everything is back
    }
    return restored ? CycleEnd::Completed : CycleEnd::Unfinished;
}

// Says which records of a journal read back are missing, when any may be.
void ReportLostRecords(const JournalContents& journal) {
    LogWrite("ERROR: the undo journal '");
    LogWrite(Paths().JournalFile);
    if (journal.torn) {
        LogWrite("' is damaged after its record ");
        LogWrite(std::to_string(journal.records));
        LogWrite("; the records after it are lost");
    } else {
        LogWrite("' ends before its plan of the install did");
    }
    LogWrite(", so what the install did after them is not known!\n");
}

// A journal written for another game folder (a copy of this one, or another
// folder of this name) names files that are not this install's: it is not
// undone, and stays as it is.
bool BelongsHere(const JournalContents& journal) {
    const std::string folder = GameFolder();
    const FileIdentity here = FolderIdentity(folder);
    const FileIdentity& there = journal.folderIdentity;
    if (SameFileSystemName(journal.folder, folder) &&
        (!here.known || !there.known || here == there)) {
        return true;
    }
    LogWrite("ERROR: the undo journal '");
    LogWrite(Paths().JournalFile);
    LogWrite("' belongs to the game folder '");
    LogWrite(journal.folder);
    LogWrite("', not to this one; it is not undone, and stays as it is\n");
    return false;
}

// What a recovery achieved: complete, or how many files it knows to be out
// of place (none known where records are lost or the journal is not this
// folder's, which still leaves the recovery unfinished).
struct Recovery {
    bool complete = true;
    std::size_t outOfPlace = 0;
    std::string foreignFolder;  // the folder the journal was written for, when not this one
};

// A crashed run is undone from its journal, and the restore's progress goes
// into it; without a journal file (a marker left by an older launcher) from
// the script, as far as the disk allows. Without either, nothing was
// installed: the marker is written before the first move.
Recovery Recover(LaunchMode mode, ModScript& script, const RestoreSource& source) {
    LogWrite("found '/recover' switch, restoring MOD...\n");
    Recovery recovery;
    if (source.unreadableJournal) {
        LogWrite("ERROR: the undo journal '");
        LogWrite(Paths().JournalFile);
        LogWrite(
            "' holds no record that can be read; nothing is restored from it or from the "
            "script!\n");
        recovery.complete = false;
    } else if (!source.journal && mode != LaunchMode::RecoverMode) {
        LogWrite(" > nothing to restore: no marker and no journal record an install\n");
    } else if (source.journal && !BelongsHere(*source.journal)) {
        recovery.complete = false;  // what the crashed run changed here is not known
        recovery.foreignFolder = source.journal->folder;
    } else if (source.journal) {
        const bool lost = source.journal->RecordsMayBeLost();
        if (lost) {
            ReportLostRecords(*source.journal);
        } else if (source.journal->torn) {
            LogWrite(" > the undo journal's records after record ");
            LogWrite(std::to_string(source.journal->records));
            LogWrite(" were cut short before they reached the disk; no move waited for them\n");
        }
        UndoJournal progress;
        static_cast<void>(progress.Reopen(Paths().JournalFile));
        recovery.outOfPlace = UndoInstall(*source.journal, &progress).outOfPlace;
        recovery.complete = recovery.outOfPlace == 0 && !lost;
    } else {
        script.Restore(PlaceholdersOf(Paths()));
    }
    if (recovery.complete) {
        // The interrupted run's start-up entry has nothing left to do.
        RemoveStartupEntry();
    }
    return recovery;
}

// Without a word, a recovery that cannot finish would end every later start
// of the launcher the same way, and the game would never start. The player is
// told, and may play this once as the folder is now; the records stay either
// way, so the next start tries again. Nobody to answer means no game.
void OfferTheGameWithoutTheMod(const Recovery& recovery) {
    LogFlush();  // the log the question names holds this run's lines
    // Where the journal cannot tell, the count is only what is known.
    const std::string count =
        recovery.outOfPlace == 0 ? std::string("not known") : std::to_string(recovery.outOfPlace);
    const std::string question =
        recovery.foreignFolder.empty()
            ? MessageText(IDS_RESTORE_UNFINISHED, {count, LogPathFor(OwnProcess().OwnPath())})
            : MessageText(IDS_FOREIGN_JOURNAL, {recovery.foreignFolder});
    if (Player().AskYesNo(question) != Answer::Yes) {
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
    return SameName(folder, DirectoryOf(Paths().MarkerFile));
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
    Player().BeginWaitCursor();
    paths.CommandLine = PrepareCommandLine(OwnProcess().CommandLineTail());
    // A game found elsewhere than beside the launcher may sit in a folder that
    // needs administrator rights; a run without the mod changes nothing there.
    const bool restores = mode == LaunchMode::RecoverMode || HasRecoverSwitch(paths.CommandLine);
    const std::string folder = GameFolder();
    const bool changes = (restores || mode == LaunchMode::InstallMode) && !BesideLauncher(folder);
    if (changes && !MayChange(folder)) {
        LogWrite("ERROR: cannot change the game folder '");
        LogWrite(folder);
        LogWrite("' without administrator rights; nothing was changed!\n");
        Player().EndWaitCursor();
        return CycleEnd::NeedsRights;
    }
    // A game found elsewhere than beside the launcher may be found so by a
    // launcher in yet another folder: the game folder's own lock keeps it out.
    if (changes && !Guarded(OwnProcess().LockFolder(folder))) {
        Player().EndWaitCursor();
        return CycleEnd::FolderInUse;
    }
    script.KeepOutOfReach(LaunchersOwnFiles());
    const Recovery recovery = restores ? Recover(mode, script, source) : Recovery{};
    const CycleEnd end = restores ? (recovery.complete ? CycleEnd::Completed : CycleEnd::Unfinished)
                                  : Play(mode, script, source);
    if (end == CycleEnd::Unfinished) {
        LogWrite(
            "ERROR: not everything could be put back; the marker, the journal and the start-up "
            "entry stay, and the next start tries again!\n");
    }
    if (!recovery.complete) {
        OfferTheGameWithoutTheMod(recovery);
    }
    if (restores && recovery.complete) {
        TellOfRecoveryByHand(mode);
    }
    Player().EndWaitCursor();
    return end;
}

}  // namespace srdw
