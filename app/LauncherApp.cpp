#include "app/LauncherApp.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "app/CrashRecovery.h"
#include "app/GameRun.h"
#include "app/PathText.h"
#include "app/PlayerMessages.h"
#include "res/resource.h"
#include "script/ModScript.h"
#include "script/OwnFiles.h"
#include "script/PathModel.h"
#include "script/UndoJournal.h"

namespace srdw {

namespace {

constexpr const char* kLauncherMutex = "Skyrend 2 - Duskwarden";

// One argument of a Windows command line, as the C runtime splits it back: in
// quotes when it holds a blank, a tab or a quote, a quote escaped by a
// backslash, and the backslashes before a quote (or the closing one) doubled.
std::string CommandLineArgument(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"') {
                quoted.append(backslashes + 1, '\\');
            }
            backslashes = 0;
        }
        quoted.push_back(c);
    }
    quoted.append(backslashes, '\\');
    quoted.push_back('"');
    return quoted;
}

// Best effort: without the entry only the automatic restore after a crash is
// lost. A player without administrator rights may not write the machine's
// entry; the user's own then runs at this user's next log-in, which is the one
// that matters for a crash of this user's game.
void RegisterStartupEntry(const Platform& platform) {
    const std::string command = RecoveryCommand(platform.process);
    const OsResult machine = platform.records.WriteStartupEntry(kStartupEntryName, command);
    if (!machine && machine.error == OsError::AccessDenied) {
        static_cast<void>(platform.records.WriteUserStartupEntry(kStartupEntryName, command));
    }
}

// Best effort: an entry left behind starts a recovery that finds no marker.
// Both places go, as a recovery does not know where the interrupted run could
// write its entry; the place without one refuses harmlessly.
void RemoveStartupEntry(const Platform& platform) {
    static_cast<void>(platform.records.DeleteStartupEntry(kStartupEntryName));
    static_cast<void>(platform.records.DeleteUserStartupEntry(kStartupEntryName));
}

// Writes the script's path into the marker and through to the disk, so that a
// power loss after the install began still finds it; the reason when it could
// not be made, written or written through.
OsResult WriteMarker(FileSystem& files, const std::string& markerPath,
                     const std::string& scriptPath) {
    OsError refused = OsError::Other;
    auto marker = files.CreateOutputFile(markerPath, &refused);
    if (!marker) {
        return {refused};
    }
    std::string text;
    AppendCrLf(text, scriptPath);
    const OsResult written = marker->Write(text);
    return written ? marker->SyncToDisk() : written;
}

// Why a file of the launcher's could not be written, for its log.
std::string_view ReasonOf(OsError error) {
    switch (error) {
        case OsError::AccessDenied:
            return "access is denied";
        case OsError::DiskFull:
            return "the disk is full";
        case OsError::NotFound:
            return "its folder is not there";
        case OsError::SharingViolation:
            return "another program holds it";
        default:
            return "the system reports an input/output error";
    }
}

// The marker's first line as a text-mode line read takes it, at most 259
// characters, without the CR and LF that end it. Empty when the marker is missing
// or unreadable.
std::string ReadRestoreScript(FileSystem& files, const std::string& markerPath) {
    if (!files.Attributes(markerPath)) {
        return {};
    }
    const auto bytes = files.ReadWholeFile(markerPath);
    if (!bytes) {
        return {};
    }
    // The file ends at Ctrl-Z, the line at its "\n" or at the first NUL.
    const std::string_view text(*bytes);
    const std::size_t end = std::min({text.find('\x1a'), text.find('\0'), text.find('\n')});
    std::string line(text.substr(0, std::min(end, kMaxPath)));
    // An editor or a sync tool may have ended the line with a CR: the name ends before it.
    while (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// What one launcher run does, chosen from the recovery marker and the script.
enum class LaunchMode {
    InstallMode,  // install the script, run the game, restore the script
    RecoverMode,  // restore the script named by the recovery marker; no game
    PlainMode,    // run the game with nothing installed or restored
};

// How the restore knows what to undo.
struct RestoreSource {
    // A crashed run's journal; without it a recovery restores from the script.
    std::optional<JournalContents> journal;
    // A journal file is there, but nothing in it can be read: no restore can
    // know what to undo, and the script cannot say what the install did.
    bool unreadableJournal = false;
    // The player chose to install again over a mod that could not be restored:
    // the restore then undoes the script, as far as the disk allows.
    bool fromScript = false;
};

// True when this launcher holds the guard; otherwise the player is told why
// the launcher ends: another one is at work, or the guard could not be had.
bool Guarded(PlayerDialogs& player, MutexState guard) {
    if (guard == MutexState::HeldElsewhere) {
        ShowMessage(player, IDS_LAUNCHER_WAITING);
    } else if (guard == MutexState::Failed) {
        ShowMessage(player, IDS_NO_GUARD);
    }
    return guard == MutexState::Acquired;
}

// True when this process may go on to change `folder`. Otherwise it has handed
// the run to an elevated launcher (having let go of the launcher mutex first,
// so that the new one can take it), or, when the player declined or nothing
// could be elevated, told the player that the folder needs administrator
// rights, and said so in the log, where one is open; either way this process
// is to end without changing anything. A probe that fails for another reason
// than the rights lets the run go on: the moves then meet the problem and log it.
bool MayChange(const Launch& launch, const std::string& folder) {
    LauncherProcess& process = launch.platform.process;
    const OsResult probe = process.ProbeNewFile(folder);
    if (probe || probe.error != OsError::AccessDenied) {
        return true;
    }
    process.ReleaseMutex(kLauncherMutex);
    if (process.RestartElevated(process.OwnPath(), process.CommandLineTail(),
                                launch.Files().WorkingDirectory()) != Elevation::Started) {
        ShowMessage(launch.Player(), IDS_NEEDS_ADMIN);
    }
    launch.log.Write({"ERROR: cannot change the game folder '", folder,
                      "' without administrator rights; nothing was changed!\n"});
    return false;
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
    launch.log.Write({"ERROR: cannot write the ", what, " '", path, "': ",
                      launch.Files().IsLink(path)
                          ? "it is a link, and the launcher writes through none"
                          : ReasonOf(error),
                      "; nothing was installed!\n"});
}

// The journal is the record of an install: its start and plan, then the
// marker, are on the disk before the first move, so that a crash at any
// moment can be undone. Where either cannot be made, nothing is moved: false.
bool InstallJournalled(const Launch& launch, ModScript& script, UndoJournal& journal) {
    const LaunchPaths& paths = launch.paths;
    const std::string folder = GameFolder(launch);
    OsResult journalled = journal.Start(launch.Files(), paths.JournalFile, folder,
                                        FolderIdentity(launch, folder), script.TextChecksum());
    if (journalled) {
        journalled = script.PlanInstall(launch.engine, launch.Values(), journal);
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
    script.Install(launch.engine, launch.Values(), journal);
    if (journal.Finish()) {
        return true;
    }
    launch.log.Write({"ERROR: cannot write the undo journal '", paths.JournalFile,
                      journal.RefusedMoves()
                          ? "'; no file was moved after that, so that a crash can "
                            "still be undone!\n"
                          : "' through to the disk; a power loss now may lose it!\n"});
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

// After the install, with the splash hidden: where commands did not go in, the
// player is told how many and where the log is, and chooses to play anyway
// (true) or to have every file put back and end (false). Where nobody can be
// asked, the game starts, as it always did.
bool PlayDespite(const Launch& launch) {
    if (launch.told.FailedInstalls() == 0) {
        return true;
    }
    launch.log.Flush();  // the log the question names holds the install's lines
    const std::string count = std::to_string(launch.told.FailedInstalls());
    const Answer answer =
        launch.Player().AskYesNo(MessageText(launch.Player(), IDS_COMMANDS_FAILED,
                                             {count, std::to_string(launch.told.InstallCommands()),
                                              LogPathFor(launch.platform.process.OwnPath())}));
    if (answer == Answer::Yes || answer == Answer::No) {
        launch.log.Write({answer == Answer::Yes
                              ? "The player chose to play although "
                              : "The player chose to have every file put back without playing, as ",
                          count, " of the script's commands did not go in.\n"});
    }
    return answer != Answer::No;
}

// The records of an install that is not all undone stay for the next start: false.
bool Unfinished(const Launch& launch) {
    launch.log.Write(
        "ERROR: not everything could be put back; the marker, the journal and the start-up "
        "entry stay, and the next start tries again!\n");
    return false;
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

// True when everything is back, or nothing was installed.
bool Play(const Launch& launch, LaunchMode mode, ModScript& script, const RestoreSource& source) {
    launch.Player().ShowSplash();
    RegisterStartupEntry(launch.platform);
    UndoJournal journal;
    bool installed = false;
    if (mode == LaunchMode::InstallMode) {
        installed = InstallJournalled(launch, script, journal);
        if (!installed && !PlayWithoutTheMod(launch, journal)) {
            RemoveStartupEntry(launch.platform);
            launch.Player().DestroySplash();
            return true;
        }
    }
    RemoveEditSwitch(launch.paths.CommandLine);
    launch.Player().HideSplash();
    // A game the player chose not to start is no game that failed to start.
    const ProgramRun game = PlayDespite(launch) ? RunAndWait(launch) : ProgramRun{};
    const bool restored = !installed || Restore(launch, script, journal, source);
    if (restored) {
        RemoveStartupEntry(launch.platform);
    }
    launch.Player().DestroySplash();
    ReportGameNotStarted(launch, game);  // once everything is back
    return restored || Unfinished(launch);
}

// Says which records of a journal read back are missing, when any may be.
void ReportLostRecords(const Launch& launch, const JournalContents& journal) {
    const std::string lost = journal.torn ? "' is damaged after its record " +
                                                std::to_string(journal.records) +
                                                "; the records after it are lost"
                                          : "' ends before its plan of the install did";
    launch.log.Write({"ERROR: the undo journal '", launch.paths.JournalFile, lost,
                      ", so what the install did after them is not known!\n"});
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
    launch.log.Write({"ERROR: the undo journal '", launch.paths.JournalFile,
                      "' belongs to the game folder '", journal.folder,
                      "', not to this one; it is not undone, and stays as it is\n"});
    return false;
}

// Without a word, a recovery that cannot finish would end every later start
// of the launcher the same way, and the game would never start. The player is
// told, and may play this once as the folder is now; the records stay either
// way, so the next start tries again. Nobody to answer means no game. Where
// the journal cannot tell, the count is only what is known.
void OfferTheGameWithoutTheMod(const Launch& launch, std::size_t outOfPlace,
                               const std::string& foreignFolder) {
    launch.log.Flush();  // the log the question names holds this run's lines
    const std::string count =
        outOfPlace == 0 ? std::string("not known") : std::to_string(outOfPlace);
    const std::string question =
        foreignFolder.empty() ? MessageText(launch.Player(), IDS_RESTORE_UNFINISHED,
                                            {count, LogPathFor(launch.platform.process.OwnPath())})
                              : MessageText(launch.Player(), IDS_FOREIGN_JOURNAL, {foreignFolder});
    if (launch.Player().AskYesNo(question) != Answer::Yes) {
        return;
    }
    RemoveEditSwitch(launch.paths.CommandLine);
    RemoveRecoverSwitch(launch.paths.CommandLine);
    ReportGameNotStarted(launch, RunAndWait(launch));
}

// A crashed run is undone from its journal, and the restore's progress goes
// into it; without a journal file (a marker left by an older launcher) from
// the script, as far as the disk allows. Without either, nothing was
// installed: the marker is written before the first move.
bool Recover(const Launch& launch, LaunchMode mode, ModScript& script,
             const RestoreSource& source) {
    launch.log.Write("found '/recover' switch, restoring MOD...\n");
    bool complete = true;
    // The files known to be out of place: none known where records are lost or
    // the journal is not this folder's, which still leaves the recovery unfinished.
    std::size_t outOfPlace = 0;
    std::string foreignFolder;  // the folder the journal was written for, when not this one
    if (source.unreadableJournal) {
        launch.log.Write({"ERROR: the undo journal '", launch.paths.JournalFile,
                          "' holds no record that can be read; nothing is restored from it or "
                          "from the script!\n"});
        complete = false;
    } else if (!source.journal && mode != LaunchMode::RecoverMode) {
        launch.log.Write(" > nothing to restore: no marker and no journal record an install\n");
    } else if (source.journal && !BelongsHere(launch, *source.journal)) {
        complete = false;  // what the crashed run changed here is not known
        foreignFolder = source.journal->folder;
    } else if (source.journal) {
        const bool lost = source.journal->RecordsMayBeLost();
        if (lost) {
            ReportLostRecords(launch, *source.journal);
        } else if (source.journal->torn) {
            launch.log.Write({" > the undo journal's records after record ",
                              std::to_string(source.journal->records),
                              " were cut short before they reached the disk; no move waited "
                              "for them\n"});
        }
        UndoJournal progress;
        static_cast<void>(progress.Reopen(launch.Files(), launch.paths.JournalFile));
        outOfPlace = UndoInstall(launch.engine, *source.journal, &progress).outOfPlace;
        complete = outOfPlace == 0 && !lost;
    } else {
        script.Restore(launch.engine, launch.Values());
    }
    if (!complete) {
        Unfinished(launch);
        OfferTheGameWithoutTheMod(launch, outOfPlace, foreignFolder);
        return false;
    }
    // The interrupted run's start-up entry has nothing left to do.
    RemoveStartupEntry(launch.platform);
    // A recovery started by hand (the marker alone sent the run into it,
    // without the start-up entry's "/recover") tells the player what happened
    // and that the next start plays: otherwise the start would seem to do
    // nothing. The start-up entry's run at log-in stays silent.
    if (mode == LaunchMode::RecoverMode && !HasRecoverSwitch(launch.paths.CommandLine)) {
        ShowMessage(launch.Player(), IDS_RECOVERED_BY_HAND);
    }
    return true;
}

// The back half of a launcher run: find the game, then either only restore, or
// install, play and restore. True when the records can go: the cycle ran, or
// the game was not found before anything was installed. A cycle stopped before
// any change (the game already running, a game folder that needs
// administrator rights or that another launcher works on) keeps them.
bool LaunchCycle(const Launch& launch, LaunchMode mode, ModScript& script,
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
        return mode != LaunchMode::RecoverMode;
    }
    // The game's own window is open when the game was started without the
    // launcher: the run stops before anything changes.
    if (GameWindowOpen(launch.platform.game)) {
        ShowMessage(launch.Player(), IDS_GAME_RUNNING);
        return false;
    }
    launch.Player().BeginWaitCursor();
    paths.CommandLine = PrepareCommandLine(launch.platform.process.CommandLineTail());
    // A game found elsewhere than beside the launcher may sit in a folder that
    // needs administrator rights; a run without the mod changes nothing there.
    // The launcher's own folder is locked already, before its log was opened.
    const bool restores = mode == LaunchMode::RecoverMode || HasRecoverSwitch(paths.CommandLine);
    const std::string folder = GameFolder(launch);
    const bool changes = (restores || mode == LaunchMode::InstallMode) &&
                         !SameName(folder, DirectoryOf(paths.MarkerFile));
    // Such a game may also be found by a launcher in yet another folder: the
    // game folder's own lock keeps it out.
    if (changes && (!MayChange(launch, folder) ||
                    !Guarded(launch.Player(), launch.platform.process.LockFolder(folder)))) {
        launch.Player().EndWaitCursor();
        return false;
    }
    script.KeepOutOfReach(LaunchersOwnFiles(launch));
    const bool done =
        restores ? Recover(launch, mode, script, source) : Play(launch, mode, script, source);
    launch.Player().EndWaitCursor();
    return done;
}

// The log of the run that installed what a recovery undoes is the only record
// of what it changed. A run that finds a marker keeps the log before it as
// "<log>.1" only when that log records an install: the logs of recoveries that
// could not finish replace one another, and the installing run's stays in
// place through any number of them, until the next install's takes its place.
void KeepInstallingRunsLog(FileSystem& files, const std::string& logPath) {
    // A link is not the launcher's: it is left to the log's opening, which refuses it.
    if (files.IsLink(logPath)) {
        return;
    }
    const auto log = files.ReadWholeFile(logPath);
    if (!log || log->find("\nInstalling script...") == std::string::npos) {
        return;
    }
    const std::string kept = logPath + ".1";
    // Ignored by design: without an older copy there is nothing to replace.
    static_cast<void>(files.RemoveFile(kept));
    static_cast<void>(files.MoveNoReplace(logPath, kept));
}

// Neither the marker's script nor a journal can be read: the player chooses.
// Yes and No set how the run goes on.
Answer AskHowToGoOn(const Launch& launch, LaunchMode& mode, RestoreSource& source) {
    const Answer answer =
        launch.Player().AskYesNoCancel(launch.Player().LoadText(IDS_REINSTALL_QUESTION));
    launch.log.Write("ERROR: Failed to load restore script!\n");
    if (answer == Answer::Yes) {
        // Installs over what is still installed, and undoes the script after.
        mode = LaunchMode::InstallMode;
        source.fromScript = true;
    } else if (answer == Answer::No) {
        // The script keeps what the failed load parsed, for a "/recover".
        mode = LaunchMode::PlainMode;
    } else if (answer == Answer::NoAnswer) {
        // Nobody to ask: the mod stays as it is, and the next start, by hand
        // or at the next log-in, asks again.
        launch.log.Write("No answer: nothing is changed; the next start asks again.\n");
        RegisterStartupEntry(launch.platform);
    }
    return answer;
}

// The journal is the record of an install, whatever the marker says: one that
// has moves to undo is undone, one with nothing left to undo goes without a
// word. One that cannot be read goes too when no marker names a script, since
// no move is made before both are on the disk. True when a recovery is due.
bool ReadRecords(const Launch& launch, bool markerNamesScript, RestoreSource& source) {
    const std::string& path = launch.paths.JournalFile;
    if (launch.Files().Attributes(path)) {
        source.journal = ReadJournal(launch.Files(), path);
        source.unreadableJournal = !source.journal;
        if (!markerNamesScript && (!source.journal || source.journal->NothingToUndo())) {
            static_cast<void>(launch.Files().RemoveFile(path));
            source = {};
        }
    }
    return markerNamesScript || source.journal.has_value();
}

// A script found below the launcher's folder, and the candidate it must become.
struct StrayScript {
    std::string at;
    std::string mustGo;
};

// A mod unpacked with its folder, or the release's example, leaves the script
// one or two folders down. Looked for only when no script is beside the
// launcher at all, in a bounded number of entries: a game folder is large.
std::optional<StrayScript> FindScriptBelow(FileSystem& files, const std::string& launcherDirectory,
                                           const std::string (&candidates)[2]) {
    constexpr std::size_t kDepth = 2;
    constexpr std::size_t kEntries = 4096;
    if (files.Attributes(candidates[0]) || files.Attributes(candidates[1])) {
        return std::nullopt;  // there, but not loadable: not a matter of its place
    }
    struct Folder {
        std::string path;
        std::size_t depth;
    };
    std::deque<Folder> folders{{launcherDirectory, 0}};
    std::size_t looked = 0;
    while (!folders.empty() && looked < kEntries) {
        const Folder folder = std::move(folders.front());
        folders.pop_front();
        for (const std::string& name : files.ListDirectory(folder.path).names) {
            if (++looked > kEntries) {
                break;
            }
            const std::string path = folder.path + "\\" + name;
            const auto attributes = files.Attributes(path);
            if (!attributes) {
                continue;
            }
            if (attributes->directory) {
                if (folder.depth < kDepth && !files.IsLink(path)) {
                    folders.push_back({path, folder.depth + 1});
                }
                continue;
            }
            for (const std::string& candidate : candidates) {
                const std::string_view candidateName =
                    std::string_view(candidate).substr(launcherDirectory.size() + 1);
                if (folder.depth > 0 && SameName(name, candidateName)) {
                    return StrayScript{path, candidate};
                }
            }
        }
    }
    return std::nullopt;
}

// No script could be loaded: message 3 and its log line. The message goes on
// with where the last script read went wrong, or, where no script lies beside
// the launcher but one lies in a folder below it, with where it lies and where
// it must go (which the log says too).
void ReportScriptNotLoaded(const Launch& launch, const ModScript& script,
                           const std::string& launcherDirectory,
                           const std::string (&candidates)[2]) {
    PlayerDialogs& player = launch.Player();
    RunLog& log = launch.log;
    std::string text = player.LoadText(IDS_SCRIPT_NOT_LOADED);
    std::optional<StrayScript> stray;
    if (!script.Fault().empty()) {
        text += "\n\n" +
                MessageText(player, IDS_SCRIPT_FAULT, {script.Fault(), '"' + script.Path() + '"'});
    } else if ((stray = FindScriptBelow(launch.Files(), launcherDirectory, candidates))) {
        text += "\n\n" + MessageText(player, IDS_SCRIPT_ELSEWHERE, {stray->at, stray->mustGo});
    }
    player.ShowMessageBox(text, 0);
    log.Write("ERROR: Failed to load script!\n");
    if (stray) {
        log.Write({" > no script beside the launcher, but '", stray->at,
                   "' below it; it is read only as '", stray->mustGo, "'\n"});
    }
}

}  // namespace

std::string RecoveryCommand(LauncherProcess& process) {
    // Without a short form the long path stays one argument.
    return CommandLineArgument(process.ShortPathOf(process.OwnPath())) + " /recover";
}

bool LauncherApp::Startup() {
    const Launch& launch = launch_;
    LauncherProcess& process = launch.platform.process;
    FileSystem& files = launch.Files();
    keepMarker_ = true;  // until the run may touch it
    // A cut or unusable own path would put the log, the marker and the script
    // somewhere else: nothing is written anywhere. One in characters the
    // system's code page lacks would name a look-alike folder, perhaps another
    // copy of the game.
    const std::string ownPath = process.OwnPath();
    if (ownPath.empty()) {
        if (!RefuseUnusablePath(launch)) {
            ShowMessage(launch.Player(), IDS_OWN_PATH_UNUSABLE);
        }
        return false;
    }
    // Taken before anything else, so that a launcher started while another one
    // runs, or one that cannot tell, ends at once and touches neither the log,
    // the marker nor the game.
    if (!Guarded(launch.Player(), process.AcquireMutex(kLauncherMutex))) {
        return false;
    }
    // The log, the marker and the journal live beside the launcher: a folder
    // that needs administrator rights is found out before any of them is touched.
    // The named mutex is not the same for every launcher here (another user,
    // another session, a start with sudo): the folder's own lock is.
    const std::string launcherDirectory = DirectoryOf(ownPath);
    if (!MayChange(launch, launcherDirectory) ||
        !Guarded(launch.Player(), process.LockFolder(launcherDirectory))) {
        return false;
    }
    keepMarker_ = false;
    LaunchPaths& paths = paths_;
    paths.MarkerFile = launcherDirectory + "\\" + std::string(kMarkerName);
    paths.JournalFile = launcherDirectory + "\\" + std::string(kJournalName);
    const std::string candidates[] = {ReplaceExtension(ownPath, "dat"),
                                      launcherDirectory + "\\DWSR.dat"};

    const std::string restoreScript = ReadRestoreScript(files, paths.MarkerFile);
    RestoreSource source;
    const bool recovering = ReadRecords(launch, !restoreScript.empty(), source);
    const std::string logPath = LogPathFor(ownPath);
    if (recovering) {
        KeepInstallingRunsLog(files, logPath);
    }
    if (!log_.Open(logPath) && files.IsLink(logPath)) {
        ShowMessage(launch.Player(), IDS_LOG_IS_LINK);
    }
    ModScript script;
    LaunchMode mode = recovering ? LaunchMode::RecoverMode : LaunchMode::InstallMode;

    if (!restoreScript.empty() && !script.Load(files, log_, restoreScript)) {
        if (source.journal || source.unreadableJournal) {
            // The journal holds all that the restore needs, or says why nothing can be.
            launch.log.Write(
                "ERROR: Failed to load restore script!\n > restoring from the undo journal\n");
        } else {
            const Answer answer = AskHowToGoOn(launch, mode, source);
            keepMarker_ = answer == Answer::NoAnswer;
            if (answer == Answer::NoAnswer || answer == Answer::Cancel) {
                return false;
            }
        }
    }
    if (mode == LaunchMode::InstallMode && !script.Load(files, log_, candidates[0]) &&
        !script.Load(files, log_, candidates[1])) {
        ReportScriptNotLoaded(launch, script, launcherDirectory, candidates);
        return false;
    }
    // A game already running stops the run before anything changed; a marker
    // found now belongs to an earlier run whose restore is still to come. So
    // does one of a run whose restore left something undone.
    keepMarker_ = !LaunchCycle(launch, mode, script, source);
    return false;
}

int LauncherApp::Shutdown() {
    const LaunchPaths& paths = paths_;
    FileSystem& files = launch_.Files();
    if (!keepMarker_ && !paths.MarkerFile.empty()) {
        // The marker goes first: a journal without it is never read, and the
        // next install starts a new one. What stays only makes the next start
        // offer a restore.
        static_cast<void>(files.RemoveFile(paths.MarkerFile));
        static_cast<void>(files.RemoveFile(paths.JournalFile));
    }
    log_.Close();
    return 0;
}

}  // namespace srdw
