#include "app/LauncherApp.h"

#include <deque>
#include <optional>
#include <string>

#include "app/CrashRecovery.h"
#include "app/PathText.h"
#include "script/ModScript.h"
#include "script/PathModel.h"

namespace srdw {

namespace {

constexpr const char* kLauncherMutex = "Skyrend 2 - Duskwarden";

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

void ShowMessage(PlayerDialogs& player, unsigned id) {
    player.ShowMessageBox(player.LoadText(id), 0);
}

std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts) {
    const std::string text = player.LoadText(id);
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
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

bool RefuseUnusablePath(const Launch& launch) {
    const std::string shown = launch.platform.process.UnusablePath();
    if (shown.empty()) {
        return false;
    }
    launch.Player().ShowMessageBox(MessageText(launch.Player(), IDS_PATH_CHARACTERS, {shown}), 0);
    launch.log.Write({"ERROR: the path '", shown,
                      "' holds characters that cannot be used here; nothing was changed!\n"});
    return true;
}

bool Guarded(PlayerDialogs& player, MutexState guard) {
    if (guard == MutexState::HeldElsewhere) {
        ShowMessage(player, IDS_LAUNCHER_WAITING);
    } else if (guard == MutexState::Failed) {
        ShowMessage(player, IDS_NO_GUARD);
    }
    return guard == MutexState::Acquired;
}

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
    return false;
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
    const std::string launcherDirectory = DirectoryOf(ownPath);
    if (!MayChange(launch, launcherDirectory)) {
        return false;
    }
    // The named mutex is not the same for every launcher here (another user,
    // another session, a start with sudo): the folder's own lock is.
    if (!Guarded(launch.Player(), process.LockFolder(launcherDirectory))) {
        return false;
    }
    keepMarker_ = false;
    LaunchPaths& paths = paths_;
    paths.MarkerFile = launcherDirectory + "\\restore.mod";
    paths.JournalFile = launcherDirectory + "\\restore.jnl";
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
            if (answer == Answer::NoAnswer) {
                // Nobody to ask: the mod stays as it is, and the next start, by
                // hand or at the next log-in, asks again.
                launch.log.Write("No answer: nothing is changed; the next start asks again.\n");
                RegisterStartupEntry(launch.platform);
                keepMarker_ = true;
                return false;
            }
            if (answer == Answer::Cancel) {
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
    keepMarker_ = LaunchCycle(launch, mode, script, source) != CycleEnd::Completed;
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
