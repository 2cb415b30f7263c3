#include "app/LaunchCycle.h"

#include <string>

#include "app/AdminRights.h"
#include "app/CommandLine.h"
#include "app/CrashRecovery.h"
#include "app/FailedCommands.h"
#include "app/GameLaunch.h"
#include "app/GameLocation.h"
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
bool ReportRunningGame(const Launch& launch) {
    if (!GameWindowOpen(launch.platform.game)) {
        return false;
    }
    ShowMessage(launch.Player(), IDS_GAME_RUNNING, 0);
    return true;
}

// The game's folder, which the journal names and the script works in: the
// launcher's own when the game's path names no folder (then "@rootdir" is
// empty, and the game starts in the current folder).
std::string GameFolder(const Launch& launch) {
    const LaunchPaths& paths = launch.paths;
    return paths.RootDir.empty() ? DirectoryOf(paths.MarkerFile) : paths.RootDir;
}

FileIdentity FolderIdentity(const Launch& launch, const std::string& folder) {
    const auto found = launch.Files().LookUp(std::span(&folder, 1));
    return found.front().attributes ? found.front().attributes->identity : FileIdentity{};
}

// The launcher's records and everything else of its own: no script command may
// move them.
OwnFiles LaunchersOwnFiles(const Launch& launch) {
    const LaunchPaths& paths = launch.paths;
    const std::string logPath = LogPathFor(launch.platform.process.OwnPath());
    std::vector<std::string> files = launch.platform.process.LockFiles();
    files.insert(files.end(), {paths.MarkerFile, paths.JournalFile, logPath, logPath + ".1",
                               launch.platform.process.OwnPath(),
                               launch.platform.records.StartupEntryFile(kStartupEntryName)});
    return OwnFiles(files);
}

void ReportUnwritable(const Launch& launch, std::string_view what, const std::string& path,
                      OsError error) {
    launch.log.Write("ERROR: cannot write the ");
    launch.log.Write(what);
    launch.log.Write(" '");
    launch.log.Write(path);
    launch.log.Write("': ");
    launch.log.Write(launch.Files().IsLink(path)
                         ? "it is a link, and the launcher writes through none"
                         : ReasonOf(error));
    launch.log.Write("; nothing was installed!\n");
}

// The journal is the record of an install: its start and plan, then the
// marker, are on the disk before the first move, so that a crash at any
// moment can be undone. Where either cannot be made, nothing is moved: false.
bool InstallJournalled(const Launch& launch, const Engine& engine, ModScript& script,
                       UndoJournal& journal) {
    const LaunchPaths& paths = launch.paths;
    const std::string folder = GameFolder(launch);
    OsResult journalled = journal.Start(launch.Files(), paths.JournalFile, folder,
                                        FolderIdentity(launch, folder), script.TextChecksum());
    if (journalled) {
        journalled = script.PlanInstall(engine, launch.Values(), journal);
    }
    if (!journalled) {
        ReportUnwritable(launch, "undo journal", paths.JournalFile, journalled.error);
        return false;
    }
    if (const OsResult marked = WriteMarker(launch.Files(), paths.MarkerFile, script.Path());
        !marked) {
        ReportUnwritable(launch, "recovery marker", paths.MarkerFile, marked.error);
        return false;
    }
    script.Install(engine, launch.Values(), journal);
    if (journal.Finish()) {
        return true;
    }
    launch.log.Write("ERROR: cannot write the undo journal '");
    launch.log.Write(paths.JournalFile);
    launch.log.Write(journal.RefusedMoves()
                         ? "'; no file was moved after that, so that a crash can "
                           "still be undone!\n"
                         : "' through to the disk; a power loss now may lose it!\n");
    return true;
}

// An install that did not begin leaves no records behind, and the player
// chooses whether to play without the mod. Nobody to answer means no game.
bool PlayWithoutTheMod(const Launch& launch, UndoJournal& journal) {
    journal.Close();
    static_cast<void>(launch.Files().RemoveFile(launch.paths.MarkerFile));
    static_cast<void>(launch.Files().RemoveFile(launch.paths.JournalFile));
    launch.log.Flush();
    launch.Player().HideSplash();
    const std::string question = MessageText(launch.Player(), IDS_FOLDER_NOT_WRITABLE,
                                             {DirectoryOf(launch.paths.MarkerFile)});
    return launch.Player().AskYesNo(question) == Answer::Yes;
}

// True when everything the install moved is back.
bool Restore(const Launch& launch, ModScript& script, UndoJournal& journal,
             const RestoreSource& source) {
    if (source.fromScript) {
        script.Restore(launch.engine, launch.Values());
        return true;
    }
    return UndoInstall(launch.engine, journal.Contents(), &journal).Complete();
}

CycleEnd Play(const Launch& launch, LaunchMode mode, ModScript& script,
              const RestoreSource& source) {
    LaunchPaths& paths = launch.paths;
    launch.Player().ShowSplash();
    RegisterStartupEntry(launch.platform);
    UndoJournal journal;
    // The install's commands that do not go in are counted as the log hears them.
    FailedCommands failed(launch.engine.observer);
    const Engine counting{launch.Files(), failed};
    bool installed = false;
    if (mode == LaunchMode::InstallMode) {
        installed = InstallJournalled(launch, counting, script, journal);
        if (!installed && !PlayWithoutTheMod(launch, journal)) {
            RemoveStartupEntry(launch.platform);
            launch.Player().DestroySplash();
            return CycleEnd::Completed;
        }
    }
    RemoveEditSwitch(paths.CommandLine);
    launch.Player().HideSplash();
    // A game the player chose not to start is no game that failed to start.
    const ProgramRun game =
        PlayDespite(launch, failed)
            ? RunAndWait(launch, paths.GameExe, paths.CommandLine, paths.RootDir)
            : ProgramRun{};
    const bool restored = !installed || Restore(launch, script, journal, source);
    if (restored) {
        RemoveStartupEntry(launch.platform);
    }
    launch.Player().DestroySplash();
    if (!game) {
        ReportGameNotStarted(launch.Player(), paths.GameExe, game);  // once everything is back
    }
    return restored ? CycleEnd::Completed : CycleEnd::Unfinished;
}

// Says which records of a journal read back are missing, when any may be.
void ReportLostRecords(const Launch& launch, const JournalContents& journal) {
    launch.log.Write("ERROR: the undo journal '");
    launch.log.Write(launch.paths.JournalFile);
    if (journal.torn) {
        launch.log.Write("' is damaged after its record ");
        launch.log.Write(std::to_string(journal.records));
        launch.log.Write("; the records after it are lost");
    } else {
        launch.log.Write("' ends before its plan of the install did");
    }
    launch.log.Write(", so what the install did after them is not known!\n");
}

// A journal written for another game folder (a copy of this one, or another
// folder of this name) names files that are not this install's: it is not
// undone, and stays as it is.
bool BelongsHere(const Launch& launch, const JournalContents& journal) {
    const std::string folder = GameFolder(launch);
    const FileIdentity here = FolderIdentity(launch, folder);
    const FileIdentity& there = journal.folderIdentity;
    if (SameFileSystemName(journal.folder, folder) &&
        (!here.known || !there.known || here == there)) {
        return true;
    }
    launch.log.Write("ERROR: the undo journal '");
    launch.log.Write(launch.paths.JournalFile);
    launch.log.Write("' belongs to the game folder '");
    launch.log.Write(journal.folder);
    launch.log.Write("', not to this one; it is not undone, and stays as it is\n");
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
Recovery Recover(const Launch& launch, LaunchMode mode, ModScript& script,
                 const RestoreSource& source) {
    launch.log.Write("found '/recover' switch, restoring MOD...\n");
    Recovery recovery;
    if (source.unreadableJournal) {
        launch.log.Write("ERROR: the undo journal '");
        launch.log.Write(launch.paths.JournalFile);
        launch.log.Write(
            "' holds no record that can be read; nothing is restored from it or from the "
            "script!\n");
        recovery.complete = false;
    } else if (!source.journal && mode != LaunchMode::RecoverMode) {
        launch.log.Write(" > nothing to restore: no marker and no journal record an install\n");
    } else if (source.journal && !BelongsHere(launch, *source.journal)) {
        recovery.complete = false;  // what the crashed run changed here is not known
        recovery.foreignFolder = source.journal->folder;
    } else if (source.journal) {
        const bool lost = source.journal->RecordsMayBeLost();
        if (lost) {
            ReportLostRecords(launch, *source.journal);
        } else if (source.journal->torn) {
            launch.log.Write(" > the undo journal's records after record ");
            launch.log.Write(std::to_string(source.journal->records));
            launch.log.Write(
                " were cut short before they reached the disk; no move waited for them\n");
        }
        UndoJournal progress;
        static_cast<void>(progress.Reopen(launch.Files(), launch.paths.JournalFile));
        recovery.outOfPlace = UndoInstall(launch.engine, *source.journal, &progress).outOfPlace;
        recovery.complete = recovery.outOfPlace == 0 && !lost;
    } else {
        script.Restore(launch.engine, launch.Values());
    }
    if (recovery.complete) {
        // The interrupted run's start-up entry has nothing left to do.
        RemoveStartupEntry(launch.platform);
    }
    return recovery;
}

// Without a word, a recovery that cannot finish would end every later start
// of the launcher the same way, and the game would never start. The player is
// told, and may play this once as the folder is now; the records stay either
// way, so the next start tries again. Nobody to answer means no game.
void OfferTheGameWithoutTheMod(const Launch& launch, const Recovery& recovery) {
    launch.log.Flush();  // the log the question names holds this run's lines
    // Where the journal cannot tell, the count is only what is known.
    const std::string count =
        recovery.outOfPlace == 0 ? std::string("not known") : std::to_string(recovery.outOfPlace);
    const std::string question =
        recovery.foreignFolder.empty()
            ? MessageText(launch.Player(), IDS_RESTORE_UNFINISHED,
                          {count, LogPathFor(launch.platform.process.OwnPath())})
            : MessageText(launch.Player(), IDS_FOREIGN_JOURNAL, {recovery.foreignFolder});
    if (launch.Player().AskYesNo(question) != Answer::Yes) {
        return;
    }
    LaunchPaths& paths = launch.paths;
    RemoveEditSwitch(paths.CommandLine);
    RemoveRecoverSwitch(paths.CommandLine);
    const ProgramRun game = RunAndWait(launch, paths.GameExe, paths.CommandLine, paths.RootDir);
    if (!game) {
        ReportGameNotStarted(launch.Player(), paths.GameExe, game);
    }
}

// The launcher's own folder is locked already, before its log was opened.
bool BesideLauncher(const Launch& launch, const std::string& folder) {
    return SameName(folder, DirectoryOf(launch.paths.MarkerFile));
}

}  // namespace

CycleEnd LaunchCycle(const Launch& launch, LaunchMode mode, ModScript& script,
                     const RestoreSource& source) {
    LaunchPaths& paths = launch.paths;
    paths.GameExe.clear();
    paths.RootDir.clear();
    if (mode == LaunchMode::RecoverMode) {
        // The entry that started this run was used up as it ran (RunOnce deletes
        // its value, the Linux entry itself): it is written again before anything
        // can stop the run, and only a complete restore removes it.
        RegisterStartupEntry(launch.platform);
    }
    if (!LocateGame(launch)) {
        // Without a game nothing was installed; a recovery is still to come.
        return mode == LaunchMode::RecoverMode ? CycleEnd::Unfinished : CycleEnd::Completed;
    }
    if (ReportRunningGame(launch)) {
        return CycleEnd::GameRunning;
    }
    launch.Player().BeginWaitCursor();
    paths.CommandLine = PrepareCommandLine(launch.platform.process.CommandLineTail());
    // A game found elsewhere than beside the launcher may sit in a folder that
    // needs administrator rights; a run without the mod changes nothing there.
    const bool restores = mode == LaunchMode::RecoverMode || HasRecoverSwitch(paths.CommandLine);
    const std::string folder = GameFolder(launch);
    const bool changes =
        (restores || mode == LaunchMode::InstallMode) && !BesideLauncher(launch, folder);
    if (changes && !MayChange(launch, folder)) {
        launch.log.Write("ERROR: cannot change the game folder '");
        launch.log.Write(folder);
        launch.log.Write("' without administrator rights; nothing was changed!\n");
        launch.Player().EndWaitCursor();
        return CycleEnd::NeedsRights;
    }
    // A game found elsewhere than beside the launcher may be found so by a
    // launcher in yet another folder: the game folder's own lock keeps it out.
    if (changes && !Guarded(launch.Player(), launch.platform.process.LockFolder(folder))) {
        launch.Player().EndWaitCursor();
        return CycleEnd::FolderInUse;
    }
    script.KeepOutOfReach(LaunchersOwnFiles(launch));
    const Recovery recovery = restores ? Recover(launch, mode, script, source) : Recovery{};
    const CycleEnd end = restores ? (recovery.complete ? CycleEnd::Completed : CycleEnd::Unfinished)
                                  : Play(launch, mode, script, source);
    if (end == CycleEnd::Unfinished) {
        launch.log.Write(
            "ERROR: not everything could be put back; the marker, the journal and the start-up "
            "entry stay, and the next start tries again!\n");
    }
    if (!recovery.complete) {
        OfferTheGameWithoutTheMod(launch, recovery);
    }
    if (restores && recovery.complete) {
        TellOfRecoveryByHand(launch, mode);
    }
    launch.Player().EndWaitCursor();
    return end;
}

}  // namespace srdw
