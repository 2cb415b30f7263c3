#include "app/LauncherApp.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/PathText.h"
#include "log/RunLog.h"
#include "res/resource.h"
#include "script/ModScript.h"
#include "script/OwnFiles.h"
#include "script/PathModel.h"
#include "script/UndoJournal.h"

namespace srdw {

namespace {

constexpr const char* kLauncherMutex = "Skyrend 2 - Duskwarden";
constexpr const char* kSettingsFile = "Srendcfg.ini";
constexpr const char* kSettingsSection = "Global - String3";
constexpr const char* kSettingsKey = "Data";
// The game's main window has this class and this title.
constexpr const char* kGameWindow = "Skyrend 2";

// What one launcher run does, chosen from the recovery marker and the script.
enum class LaunchMode {
    InstallMode,  // install the script, run the game, restore the script
    RecoverMode,  // restore the script named by the recovery marker; no game
    PlainMode,    // run the game with nothing installed or restored
};

// What one run of the launcher works with, handed from step to step.
struct Launch {
    explicit Launch(const Platform& system) : platform(system) {}

    Platform platform;
    // Closed, with its footer, as the launch ends; the engine's listener, which
    // counts what did not go in.
    RunLog log{platform.files};
    Engine engine{platform.files, log};
    std::string ownPath;
    std::string ownDir;  // beside the launcher: its log, the marker and the undo journal
    std::string logFile;
    std::string markerFile;
    std::string journalFile;
    std::string gameExe;
    std::string rootDir;  // the directory holding the game; the value of "@rootdir"
    // The game's folder, which the journal names and the script works in: the
    // launcher's own when the game's path names no folder (then "@rootdir" is
    // empty, and the game starts in the current folder).
    std::string gameFolder;
    std::string commandLine;  // trimmed and lower-cased; the value of "@cmdline"
    LaunchMode mode = LaunchMode::InstallMode;
    ModScript script;
    // How the restore knows what to undo. A crashed run's journal; without it a
    // recovery restores from the script.
    std::optional<JournalContents> journal;
    // A journal file is there, but nothing in it can be read: no restore can
    // know what to undo, and the script cannot say what the install did.
    bool unreadableJournal = false;
    // Not even its header was written, so no move was made (the first sync
    // writes it): beside a marker whose script cannot be loaded, what was cut
    // off is an install over the mod that marker is of.
    bool emptyJournal = false;
    // The player chose to install again over a mod that could not be restored:
    // the restore then undoes the script, as far as the disk allows.
    bool fromScript = false;

    FileSystem& Files() const { return platform.files; }
    PlayerDialogs& Player() const { return platform.player; }
    Placeholders Values() const { return {rootDir, commandLine}; }
    // A game directory that cannot be entered leaves the script to fail on its own paths.
    void EnterGameDirectory() const {
        static_cast<void>(Files().ChangeDirectory(DirectoryToEnter(rootDir)));
    }
};

// String-table entry `id` with "%1" to "%9" replaced by the inserts in that
// order, as Windows' own messages number them; a number without an insert stays.
// An insert (a path may hold "%2") is never searched for a number.
std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts) {
    const std::string text = player.LoadText(id);
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = text[i + 1];  // after the last character, the string's NUL
        if (text[i] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '0') <= inserts.size()) {
            filled.append(inserts.begin()[next - '1']);
            ++i;
        } else {
            filled.push_back(text[i]);
        }
    }
    return filled;
}

void ShowMessage(PlayerDialogs& player, unsigned id,
                 std::initializer_list<std::string_view> inserts = {}) {
    player.ShowMessageBox(MessageText(player, id, inserts), 0);
}

// Where the system gave a path in characters the launcher cannot use (see
// LauncherProcess::UnusablePath), tells the player, naming the path, and
// writes it to the log; true then, and the run is to change nothing.
bool RefuseUnusablePath(Launch& launch) {
    const std::string shown = launch.platform.process.UnusablePath();
    if (shown.empty()) {
        return false;
    }
    ShowMessage(launch.Player(), IDS_PATH_CHARACTERS, {shown});
    launch.log.Write({"ERROR: the path '", shown,
                      "' holds characters that cannot be used here; nothing was changed!\n"});
    return true;
}

// Best effort: without the entry only the automatic restore after a crash is
// lost. A player without administrator rights may not write the machine's
// entry; the user's own then runs at this user's next log-in, which is the one
// that matters for a crash of this user's game.
void RegisterStartupEntry(const Platform& platform) {
    const std::string command = RecoveryCommand(platform.process);
    const OsResult machine = platform.records.WriteStartupEntry(kStartupEntryName, command);
    if (machine.error == OsError::AccessDenied) {
        static_cast<void>(platform.records.WriteUserStartupEntry(kStartupEntryName, command));
    }
}

// The marker goes first: a journal without it is never read, and the next
// install starts a new one. A marker that stays keeps its journal, which then
// tells the next start that nothing is left to undo; alone it would send that
// start into a restore from the script, of an install that is not there. A
// folder of the marker's name is no marker: no start reads one from it.
void RemoveRecords(Launch& launch) {
    FileSystem& files = launch.Files();
    if (!files.RemoveFile(launch.markerFile)) {
        const auto marker = files.Attributes(launch.markerFile);
        if (marker && !marker->directory) {
            launch.log.Write({"ERROR: the marker '", launch.markerFile,
                              "' could not be removed; it stays with the journal, which tells "
                              "the next start that every file is back\n"});
            return;
        }
    }
    static_cast<void>(files.RemoveFile(launch.journalFile));
}

// True when this launcher holds the guard; otherwise the player is told why
// the launcher ends: another one is at work, or the guard could not be had.
bool Guarded(PlayerDialogs& player, MutexState guard) {
    if (guard != MutexState::Acquired) {
        ShowMessage(player,
                    guard == MutexState::HeldElsewhere ? IDS_LAUNCHER_WAITING : IDS_NO_GUARD);
    }
    return guard == MutexState::Acquired;
}

// True when this process may go on to change `folder` and holds the folder's
// own lock, which is the same for every launcher working there (the named
// mutex is not: another user, another session, a start with sudo). A folder
// that needs administrator rights is handed to an elevated launcher (the
// mutex let go first, so that it can take it), or the player is told; either
// way this process ends without changing anything. A probe that fails for
// another reason lets the run go on: the moves then meet the problem and log it.
bool MayChange(Launch& launch, const std::string& folder) {
    LauncherProcess& process = launch.platform.process;
    const OsResult probe = process.ProbeNewFile(folder);
    if (probe.error == OsError::AccessDenied) {
        process.ReleaseMutex(kLauncherMutex);
        if (process.RestartElevated(launch.ownPath, process.CommandLineTail(),
                                    launch.Files().WorkingDirectory()) != Elevation::Started) {
            ShowMessage(launch.Player(), IDS_NEEDS_ADMIN);
        }
        launch.log.Write({"ERROR: cannot change the game folder '", folder,
                          "' without administrator rights; nothing was changed!\n"});
        return false;
    }
    return Guarded(launch.Player(), process.LockFolder(folder));
}

// Where the game is: beside the launcher, in the game's settings file, or
// where the player points. Makes the game's directory the current one; false
// when the player cancelled the chooser.
bool LocateGame(Launch& launch) {
    const Platform& platform = launch.platform;
    // An existing file; a directory, also one called srend.exe, is no game.
    const auto usable = [&platform](const std::string& path) {
        const auto attributes = path.empty() ? std::nullopt : platform.files.Attributes(path);
        return attributes && !attributes->directory;
    };
    launch.gameExe = launch.ownDir + "\\srend.exe";
    // The script may have moved the game itself: the journal of the install
    // to undo knows the game's folder, and the game is back there once the
    // install is undone.
    const bool beside = usable(launch.gameExe);
    const bool undoes = !beside && launch.journal && !launch.journal->folder.empty();
    if (undoes) {
        launch.gameExe = launch.journal->folder + "\\srend.exe";
    } else if (!beside) {
        launch.gameExe =
            platform.records.ReadProfileString(kSettingsFile, kSettingsSection, kSettingsKey)
                .substr(0, kMaxPath);
        // A remembered game the code page cannot name is not asked for again:
        // the player would only point at the same folder.
        if (launch.gameExe.empty() && RefuseUnusablePath(launch)) {
            return false;
        }
    }
    if (!undoes && !usable(launch.gameExe)) {
        ShowMessage(platform.player, IDS_GAME_NOT_FOUND);
        auto chosen = platform.player.ChooseGameFile();
        if (!chosen) {
            static_cast<void>(RefuseUnusablePath(launch));  // else the player cancelled
            return false;
        }
        launch.gameExe = std::move(*chosen);
        // Best effort: unsaved, the user is asked again at the next start.
        static_cast<void>(platform.records.WriteProfileString(kSettingsFile, kSettingsSection,
                                                              kSettingsKey, launch.gameExe));
    }
    launch.rootDir = DirectoryOf(launch.gameExe);
    launch.gameFolder = launch.rootDir.empty() ? launch.ownDir : launch.rootDir;
    launch.EnterGameDirectory();
    return true;
}

bool GameWindowOpen(GameProcess& game) {
    return game.WindowExists(kGameWindow, kGameWindow);
}

// Starts the game and waits until it and every process it started have
// ended and, where there are windows, until the game's window has closed;
// what the game leaves running after its end is given the grace time and
// then named in the log.
ProgramRun RunAndWait(Launch& launch) {
    RunLog& log = launch.log;
    GameProcess& game = launch.platform.game;
    log.Write({"\nExecuting 'ShellExecuteEx()'\n > App: ", launch.gameExe,
               "\n > Command: ", launch.commandLine, "\n > Path: ", launch.rootDir, "\n"});
    // The game may run for hours: whatever happens meanwhile, the log so far is kept.
    log.Flush();
    // What the game leaves running may run for as long as the player is logged in.
    bool windowSeen = false;
    unsigned quietFor = 0;
    ProgramRun run = game.StartAndWait(launch.gameExe, launch.commandLine, launch.rootDir,
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
        log.Write({"ERROR: failed to start '", launch.gameExe, "': ", run.reason, "!\n"});
    } else if (quietFor >= kGraceTime) {
        log.Write({windowSeen ? " > the game's window has closed" : " > the game has ended",
                   "; not waiting for the other programs it started\n"});
        for (const RunningProcess& process : run.left) {
            log.Write({" > still running: ", process.file.empty() ? "(unknown)" : process.file,
                       " (process ", std::to_string(process.id), ")\n"});
        }
    } else if (game.HasWindows()) {
        // A stub sold by a store may hand the game over to a process outside the
        // launcher's reach and end at once: the restore must wait for the game's
        // window instead. One that was seen and closed again while the started
        // processes ran was the game itself, which has ended.
        bool open = GameWindowOpen(game);
        if (!open && !windowSeen && run.crashed) {
            log.Write(" > the game crashed without showing its window; not waiting for it\n");
        } else if (!open && !windowSeen) {
            log.Write({" > the game ended without showing its window; waiting up to ",
                       std::to_string(kGraceTime / 1000), " s for it to open\n"});
            log.Flush();
            for (unsigned waited = 0; waited < kGraceTime && !open; waited += kWatchInterval) {
                launch.Files().Sleep(kWatchInterval);
                open = GameWindowOpen(game);
            }
            if (!open) {
                log.Write(" > no game window opened\n");
            }
        }
        if (open) {
            log.Write(" > the game went on in another process; waiting for its window to close\n");
            log.Flush();
            while (GameWindowOpen(game)) {
                launch.Files().Sleep(kWatchInterval);
            }
        }
    }
    return run;
}

// Tells the player, when the game could not be started, why.
void ReportGameNotStarted(Launch& launch, const ProgramRun& game) {
    if (!game) {
        PlayerDialogs& player = launch.Player();
        player.ShowMessageBox(
            player.LoadText(IDS_GAME_NOT_STARTED) + "\n" + launch.gameExe + ": " + game.reason, 0);
    }
}

FileIdentity FolderIdentity(Launch& launch) {
    const auto found = launch.Files().LookUp(std::span(&launch.gameFolder, 1));
    return found.front().attributes ? found.front().attributes->identity : FileIdentity{};
}

// The marker is written through to the disk, so that a power loss after the
// install began still finds it.
OsResult WriteMarker(Launch& launch, const std::string& scriptPath) {
    OsError refused = OsError::Other;
    auto marker = launch.Files().CreateOutputFile(launch.markerFile, &refused);
    if (!marker) {
        return {refused};
    }
    const OsResult written = marker->Write(scriptPath);
    return written ? marker->SyncToDisk() : written;
}

void ReportUnwritable(Launch& launch, std::string_view what, const std::string& path,
                      OsError error) {
    const std::string_view reason =
        launch.Files().IsLink(path)          ? "it is a link, and the launcher writes through none"
        : error == OsError::AccessDenied     ? "access is denied"
        : error == OsError::DiskFull         ? "the disk is full"
        : error == OsError::NotFound         ? "its folder is not there"
        : error == OsError::SharingViolation ? "another program holds it"
                                             : "the system reports an input/output error";
    launch.log.Write({"ERROR: cannot write the ", what, " '", path, "': ", reason,
                      "; nothing was installed!\n"});
}

// The journal is the record of an install: its start and plan, then the
// marker, are on the disk before the first move, so that a crash at any
// moment can be undone. Where either cannot be made, nothing is moved: false.
// An install over a mod that could not be restored keeps the marker it found,
// the only record of that mod, and its journal says so: a recovery undoes this
// install, and that marker and the start-up entry stay for the next start to
// ask again.
bool InstallJournalled(Launch& launch, UndoJournal& journal) {
    OsResult journalled =
        journal.Start(launch.Files(), launch.journalFile, launch.gameFolder, FolderIdentity(launch),
                      launch.script.TextChecksum(), launch.fromScript);
    if (journalled) {
        journalled = launch.script.PlanInstall(launch.engine, launch.Values(), journal);
    }
    if (!journalled) {
        ReportUnwritable(launch, "undo journal", launch.journalFile, journalled.error);
        return false;
    }
    if (const OsResult marked =
            launch.fromScript ? OsResult::Ok() : WriteMarker(launch, launch.script.Path());
        !marked) {
        ReportUnwritable(launch, "recovery marker", launch.markerFile, marked.error);
        return false;
    }
    launch.script.Install(launch.engine, launch.Values(), journal);
    if (journal.Finish()) {
        return true;
    }
    launch.log.Write({"ERROR: cannot write the undo journal '", launch.journalFile,
                      journal.RefusedMoves()
                          ? "'; no file was moved after that, so that a crash can "
                            "still be undone!\n"
                          : "' through to the disk; a power loss now may lose it!\n"});
    return true;
}

// A complete restore leaves the start-up entry nothing to do; the records of
// one that is not stay for the next start. Returns `complete`. Best effort: an
// entry left behind starts a recovery that finds no marker. Both places go, as
// a recovery does not know where the interrupted run could write its entry;
// the place without one refuses harmlessly.
bool Restored(Launch& launch, bool complete) {
    if (complete) {
        static_cast<void>(launch.platform.records.DeleteStartupEntry(kStartupEntryName));
        static_cast<void>(launch.platform.records.DeleteUserStartupEntry(kStartupEntryName));
    } else {
        launch.log.Write(
            "ERROR: not everything could be put back; the marker, the journal and the start-up "
            "entry stay, and the next start tries again!\n");
    }
    return complete;
}

// Starts the game and waits for it, once the player may play: where the run
// could not do its part with the mod, only on a Yes to `question` (nobody to
// answer means no game). Where commands did not go in, the player is told how
// many and where the log is, and chooses to play anyway or to have every file
// put back and end; where nobody can be asked, the game starts, as it always
// did. A game the player chose not to start is no game that failed to start.
ProgramRun PlayGame(Launch& launch, const std::string& question) {
    PlayerDialogs& player = launch.Player();
    if (!question.empty()) {
        launch.log.Flush();  // the log the question names holds this run's lines
        if (player.AskYesNo(question) != Answer::Yes) {
            return {};
        }
    }
    RemoveSwitches(launch.commandLine);
    if (const std::size_t failed = launch.log.FailedInstalls(); failed > 0) {
        launch.log.Flush();  // the log the question names holds the install's lines
        const std::string count = std::to_string(failed);
        const Answer answer = player.AskYesNo(
            MessageText(player, IDS_COMMANDS_FAILED,
                        {count, std::to_string(launch.log.InstallCommands()), launch.logFile}));
        if (answer == Answer::Yes || answer == Answer::No) {
            launch.log.Write(
                {answer == Answer::Yes
                     ? "The player chose to play although "
                     : "The player chose to have every file put back without playing, as ",
                 count, " of the script's commands did not go in.\n"});
        }
        if (answer == Answer::No) {
            return {};
        }
    }
    return RunAndWait(launch);
}

// Installs (in the install mode), plays and restores; true when everything is
// back, or nothing was installed.
bool Play(Launch& launch) {
    PlayerDialogs& player = launch.Player();
    player.ShowSplash();
    RegisterStartupEntry(launch.platform);
    UndoJournal journal;
    const bool installs = launch.mode == LaunchMode::InstallMode;
    const bool installed = installs && InstallJournalled(launch, journal);
    std::string question;
    if (installs && !installed) {
        // An install that did not begin leaves no records of its own behind, and
        // the player chooses whether to play without the mod.
        journal.Close();
        if (launch.fromScript) {
            static_cast<void>(launch.Files().RemoveFile(launch.journalFile));
        } else {
            RemoveRecords(launch);
        }
        question = MessageText(player, IDS_FOLDER_NOT_WRITABLE, {launch.ownDir});
    }
    player.HideSplash();
    const ProgramRun game = PlayGame(launch, question);
    std::string left;  // files out of place after the restore, where some are
    if (installed && launch.fromScript) {
        left = launch.script.Restore(launch.engine, launch.Values()) == 0 ? "" : "not known";
    } else if (installed) {
        // Back where the run began, as a recovery is: the install may have left
        // the launcher in a folder it moved, and Windows moves no folder that
        // holds a program's current directory.
        launch.EnterGameDirectory();
        const std::size_t outOfPlace =
            UndoInstall(launch.engine, journal.Contents(), &journal).outOfPlace;
        left = outOfPlace == 0 ? "" : std::to_string(outOfPlace);
    }
    const bool restored = (installed || !launch.fromScript) && Restored(launch, left.empty());
    player.DestroySplash();
    if (!left.empty()) {
        // Told as the game ends, where the player looks, not only at the next start.
        launch.log.Flush();
        ShowMessage(player, IDS_RESTORE_LEFT, {left, launch.logFile});
    }
    ReportGameNotStarted(launch, game);  // once everything is back
    return restored;
}

// A crashed run is undone from its journal, and the restore's progress goes
// into it; without a journal file (a marker left by an older launcher) from
// the script, as far as the disk allows. Without either, nothing was
// installed (the marker is written before the first move), unless the player
// said it is, at the reinstall question of a marker whose script is gone.
bool Recover(Launch& launch) {
    RunLog& log = launch.log;
    PlayerDialogs& player = launch.Player();
    log.Write("found '/recover' switch, restoring MOD...\n");
    // Asked where the recovery cannot finish. The files known to be out of
    // place: none known where records are lost, which still leaves it unfinished.
    std::string question;
    // An earlier restore put everything back, and only the records stayed.
    bool backAlready = false;
    const auto unfinished = [&player, &launch](std::size_t outOfPlace) {
        const std::string count =
            outOfPlace == 0 ? std::string("not known") : std::to_string(outOfPlace);
        return MessageText(player, IDS_RESTORE_UNFINISHED, {count, launch.logFile});
    };
    const std::optional<JournalContents>& journal = launch.journal;
    if (launch.unreadableJournal) {
        log.Write({"ERROR: the undo journal '", launch.journalFile,
                   "' holds no record that can be read; nothing is restored from it or "
                   "from the script!\n"});
        question = unfinished(0);
    } else if (!journal && launch.mode != LaunchMode::RecoverMode && !launch.fromScript) {
        log.Write(" > nothing to restore: no marker and no journal record an install\n");
    } else if (!journal) {
        // How many files each stuck command left out of place is not known.
        if (launch.script.Restore(launch.engine, launch.Values()) > 0) {
            question = unfinished(0);
        }
    } else if (const FileIdentity here = FolderIdentity(launch);
               !SameFileSystemName(journal->folder, launch.gameFolder) ||
               (here.known && journal->folderIdentity.known && here != journal->folderIdentity)) {
        // A journal written for another game folder (a copy of this one, or
        // another folder of this name) names files that are not this
        // install's: it is not undone, and stays as it is.
        log.Write({"ERROR: the undo journal '", launch.journalFile,
                   "' belongs to the game folder '", journal->folder,
                   "', not to this one; it is not undone, and stays as it is\n"});
        question = MessageText(player, IDS_FOREIGN_JOURNAL, {journal->folder});
    } else {
        if (journal->RecordsMayBeLost()) {
            log.Write({"ERROR: the undo journal '", launch.journalFile,
                       journal->torn
                           ? "' is damaged after its record " + std::to_string(journal->records) +
                                 "; the records after it are lost"
                           : "' ends before its plan of the install did",
                       ", so what the install did after them is not known!\n"});
        } else if (journal->torn) {
            log.Write({" > the undo journal's records after record ",
                       std::to_string(journal->records),
                       " were cut short before they reached the disk; no move waited for them\n"});
        }
        // Progress goes after the last record, which is not where a damaged
        // tail ends: records after the damage would be read as proof that it
        // was synced, and the journal could never be trusted again. There the
        // restore finds the files back by their identity next time.
        UndoJournal progress;
        if (!journal->torn) {
            static_cast<void>(progress.Reopen(launch.Files(), launch.journalFile));
        }
        // Every file back already: an earlier restore could not remove the
        // records, or the run ended before its first move.
        const UndoResult undone = UndoInstall(launch.engine, *journal, &progress);
        backAlready = !journal->RecordsMayBeLost() && undone.movedBack == 0;
        if (!undone.Complete() || journal->RecordsMayBeLost()) {
            question = unfinished(undone.outOfPlace);
        }
    }
    if (question.empty() && journal && journal->overUnrestored) {
        static_cast<void>(launch.Files().RemoveFile(launch.journalFile));
        log.Write(
            " > that install went over a mod that could not be restored: its marker and the "
            "start-up entry stay, and the next start asks again\n");
        return false;
    }
    if (!Restored(launch, question.empty())) {
        // Without a word, a recovery that cannot finish would end every later
        // start the same way, and the game would never start. The player may
        // play this once as the folder is now; the records stay either way.
        ReportGameNotStarted(launch, PlayGame(launch, question));
        return false;
    }
    // A recovery started by hand (the marker alone sent the run into it,
    // without the start-up entry's "/recover") tells the player what happened
    // and that the next start plays: otherwise the start would seem to do
    // nothing. The start-up entry's run at log-in stays silent.
    if (launch.mode == LaunchMode::RecoverMode && !HasRecoverSwitch(launch.commandLine)) {
        ShowMessage(player, backAlready ? IDS_RECORDS_LEFT : IDS_RECOVERED_BY_HAND);
    }
    return true;
}

// The back half of a launcher run: find the game, then either only restore, or
// install, play and restore. True when the records can go: the cycle ran, or
// the game was not found before anything was installed. A cycle stopped before
// any change (the game already running, a game folder that needs
// administrator rights or that another launcher works on) keeps them.
bool LaunchCycle(Launch& launch) {
    const Platform& platform = launch.platform;
    if (launch.mode == LaunchMode::RecoverMode) {
        // The entry that started this run was used up as it ran (RunOnce deletes
        // its value, the Linux entry itself): it is written again before anything
        // can stop the run, and only a complete restore removes it.
        RegisterStartupEntry(platform);
    }
    if (!LocateGame(launch)) {
        // Without a game nothing was installed; a recovery is still to come.
        return launch.mode != LaunchMode::RecoverMode;
    }
    // The game's own window is open when the game was started without the
    // launcher: the run stops before anything changes.
    if (GameWindowOpen(platform.game)) {
        ShowMessage(platform.player, IDS_GAME_RUNNING);
        return false;
    }
    platform.player.BeginWaitCursor();
    launch.commandLine = PrepareCommandLine(platform.process.CommandLineTail());
    // A game found elsewhere than beside the launcher may sit in a folder that
    // needs administrator rights, and be found by a launcher in yet another
    // folder; a run without the mod changes nothing there. The launcher's own
    // folder is locked already, before its log was opened.
    const bool restores =
        launch.mode == LaunchMode::RecoverMode || HasRecoverSwitch(launch.commandLine);
    if ((restores || launch.mode == LaunchMode::InstallMode) &&
        !SameName(launch.gameFolder, launch.ownDir) && !MayChange(launch, launch.gameFolder)) {
        platform.player.EndWaitCursor();
        return false;
    }
    // The launcher's records and everything else of its own: no script command may move them.
    std::vector<std::string> own = platform.process.LockFiles();
    own.insert(own.end(),
               {launch.markerFile, launch.journalFile, launch.logFile, launch.logFile + ".1",
                launch.ownPath, platform.records.StartupEntryFile(kStartupEntryName)});
    launch.script.KeepOutOfReach(OwnFiles(own));
    const bool done = restores ? Recover(launch) : Play(launch);
    platform.player.EndWaitCursor();
    return done;
}

// The script the recovery marker names, and what the journal holds.
std::string ReadRecords(Launch& launch) {
    FileSystem& files = launch.Files();
    // The marker's first line as a text-mode line read takes it, at most 259
    // characters, without the CR and LF that end it: the file ends at Ctrl-Z,
    // the line at its "\n" or at the first NUL.
    std::string restoreScript;
    if (const auto marker = files.ReadWholeFile(launch.markerFile)) {
        const std::string_view text(*marker);
        restoreScript = text.substr(
            0, std::min({text.find('\x1a'), text.find('\0'), text.find('\n'), kMaxPath}));
        // An editor or a sync tool may have ended the line with a CR: the name ends before it.
        restoreScript.erase(restoreScript.find_last_not_of('\r') + 1);
    }
    // The journal is the record of an install, whatever the marker says: one
    // that has moves to undo is undone, one with nothing left to undo goes
    // without a word. One that cannot be read goes too when no marker names a
    // script, since no move is made before both are on the disk; so does one
    // with nothing to undo of an install over a mod that could not be
    // restored, whose marker is that mod's.
    if (files.Attributes(launch.journalFile)) {
        const auto bytes = files.ReadWholeFile(launch.journalFile);
        auto journal = bytes ? ParseJournal(*bytes) : std::nullopt;
        if ((restoreScript.empty() || (journal && journal->overUnrestored)) &&
            (!journal || journal->NothingToUndo())) {
            static_cast<void>(files.RemoveFile(launch.journalFile));
        } else {
            launch.unreadableJournal = !journal;
            launch.emptyJournal = bytes && bytes->size() <= kJournalHeader.size();
            launch.journal = std::move(journal);
        }
    }
    return restoreScript;
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
    // Breadth first, so that the script nearest the launcher is the one named.
    std::vector<std::pair<std::string, std::size_t>> folders{{launcherDirectory, 0}};
    std::size_t looked = 0;
    for (std::size_t next = 0; next < folders.size() && looked < kEntries; ++next) {
        const auto [folder, depth] = folders[next];  // a copy: the list grows below
        for (const std::string& name : files.ListDirectory(folder).names) {
            if (++looked > kEntries) {
                break;
            }
            const std::string path = folder + "\\" + name;
            const auto attributes = files.Attributes(path);
            if (attributes && attributes->directory) {
                if (depth < kDepth && !files.IsLink(path)) {
                    folders.emplace_back(path, depth + 1);
                }
            } else if (attributes && depth > 0) {
                for (const std::string& candidate : candidates) {
                    if (SameName(name, std::string_view(candidate).substr(launcherDirectory.size() +
                                                                          1))) {
                        return StrayScript{path, candidate};
                    }
                }
            }
        }
    }
    return std::nullopt;
}

// One run of the launcher, from its own path; true when the records can go.
bool Run(Launch& launch) {
    FileSystem& files = launch.Files();
    PlayerDialogs& player = launch.Player();
    // A cut or unusable own path would put the log, the marker and the script
    // somewhere else, perhaps in another copy of the game: nothing is written.
    // The marker keeps 259 characters of the script's path, which a launcher
    // without ".exe" to swap for ".dat" makes longer than its own.
    launch.ownPath = launch.platform.process.OwnPath();
    if (launch.ownPath.empty() || ReplaceExtension(launch.ownPath, "dat").size() > kMaxPath) {
        if (!RefuseUnusablePath(launch)) {
            ShowMessage(player, IDS_OWN_PATH_UNUSABLE);
        }
        return false;
    }
    // Taken before anything else, so that a launcher started while another one
    // runs, or one that cannot tell, ends at once and touches neither the log,
    // the marker nor the game. The log, the marker and the journal live beside
    // the launcher: a folder that needs administrator rights is found out
    // before any of them is touched.
    launch.ownDir = DirectoryOf(launch.ownPath);
    if (!Guarded(player, launch.platform.process.AcquireMutex(kLauncherMutex)) ||
        !MayChange(launch, launch.ownDir)) {
        // The start-up entry that started this run was used up as it ran; the
        // launcher at work here may yet crash, so the next log-in tries again.
        if (HasRecoverSwitch(PrepareCommandLine(launch.platform.process.CommandLineTail()))) {
            RegisterStartupEntry(launch.platform);
        }
        return false;
    }
    launch.logFile = ReplaceExtension(launch.ownPath, "log");
    launch.markerFile = launch.ownDir + "\\" + std::string(kMarkerName);
    launch.journalFile = launch.ownDir + "\\" + std::string(kJournalName);
    const std::string candidates[] = {ReplaceExtension(launch.ownPath, "dat"),
                                      launch.ownDir + "\\DWSR.dat"};

    const std::string restoreScript = ReadRecords(launch);
    launch.mode = !restoreScript.empty() || launch.journal ? LaunchMode::RecoverMode
                                                           : LaunchMode::InstallMode;
    // The log of the run that installed what a recovery undoes is the only
    // record of what it changed: it is kept as "<log>.1" through any number of
    // recoveries that could not finish. A link is not the launcher's: it is
    // left to the log's opening, which refuses it.
    if (launch.mode == LaunchMode::RecoverMode && !files.IsLink(launch.logFile)) {
        const auto log = files.ReadWholeFile(launch.logFile);
        if (log && log->find(kInstallHeading) != std::string::npos) {
            // Ignored by design: without an older copy there is nothing to replace.
            static_cast<void>(files.RemoveFile(launch.logFile + ".1"));
            static_cast<void>(files.MoveNoReplace(launch.logFile, launch.logFile + ".1"));
        }
    }
    if (!launch.log.Open(launch.logFile) && files.IsLink(launch.logFile)) {
        ShowMessage(player, IDS_LOG_IS_LINK);
    }

    if (!restoreScript.empty() && !launch.script.Load(files, launch.log, restoreScript)) {
        launch.log.Write("ERROR: Failed to load restore script!\n");
        if (launch.emptyJournal) {
            // An install over the mod this marker is of, cut off before its
            // first sync: the marker alone tells of that mod.
            launch.unreadableJournal = false;
            static_cast<void>(files.RemoveFile(launch.journalFile));
        }
        if (launch.journal || launch.unreadableJournal) {
            // The journal holds all that the restore needs, or says why nothing can be.
            launch.log.Write(" > restoring from the undo journal\n");
        } else if (const Answer answer =
                       player.AskYesNoCancel(player.LoadText(IDS_REINSTALL_QUESTION));
                   answer == Answer::Yes) {
            // Installs over what is still installed, and undoes the script after.
            launch.mode = LaunchMode::InstallMode;
            launch.fromScript = true;
        } else if (answer == Answer::No) {
            launch.mode = LaunchMode::PlainMode;
        } else if (answer == Answer::NoAnswer) {
            // Nobody to ask: the mod stays as it is, and the next start, by hand
            // or at the next log-in, asks again.
            launch.log.Write("No answer: nothing is changed; the next start asks again.\n");
            RegisterStartupEntry(launch.platform);
            return false;
        } else {
            return true;  // cancelled: the records go, and nothing is restored
        }
    }
    if (launch.mode == LaunchMode::InstallMode &&
        !launch.script.Load(files, launch.log, candidates[0]) &&
        !launch.script.Load(files, launch.log, candidates[1])) {
        // The message goes on with where the script went wrong, or with where
        // a script lies below the launcher and where it must go.
        std::string text = player.LoadText(IDS_SCRIPT_NOT_LOADED);
        std::optional<StrayScript> stray;
        if (!launch.script.Fault().empty()) {
            text += "\n\n" + MessageText(player, IDS_SCRIPT_FAULT,
                                         {launch.script.Fault(), '"' + launch.script.Path() + '"'});
        } else if ((stray = FindScriptBelow(files, launch.ownDir, candidates))) {
            text += "\n\n" + MessageText(player, IDS_SCRIPT_ELSEWHERE, {stray->at, stray->mustGo});
        }
        player.ShowMessageBox(text, 0);
        launch.log.Write("ERROR: Failed to load script!\n");
        if (stray) {
            launch.log.Write({" > no script beside the launcher, but '", stray->at,
                              "' below it; it is read only as '", stray->mustGo, "'\n"});
        }
        return true;
    }
    return LaunchCycle(launch);
}

}  // namespace

int LauncherMain(const Platform& platform) {
    Launch launch(platform);
    if (Run(launch)) {
        RemoveRecords(launch);
    }
    return 0;
}

std::string RecoveryCommand(LauncherProcess& process) {
    // Without a short form the long path stays one argument. It is quoted as
    // the C runtime splits a Windows command line back: in quotes when it
    // holds a blank, a tab or a quote, a quote escaped by a backslash, and
    // the backslashes before a quote (or the closing one) doubled.
    const std::string path = process.ShortPathOf(process.OwnPath());
    if (!path.empty() && path.find_first_of(" \t\"") == std::string::npos) {
        return path + " /recover";
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : path) {
        if (c == '"') {
            quoted.append(backslashes + 1, '\\');
        }
        backslashes = c == '\\' ? backslashes + 1 : 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes, '\\');
    return quoted + "\" /recover";
}

}  // namespace srdw
