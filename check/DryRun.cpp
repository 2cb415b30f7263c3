// The dry run: the launcher's own script engine installs and restores the
// script on a model of the game directory, and its log is read back command by
// command.
#include <algorithm>

#include "app/CommandLine.h"
#include "check/CheckSteps.h"
#include "check/DirectoryModel.h"
#include "log/RunLog.h"
#include "platform/FileSystemProxy.h"
#include "script/ModScript.h"

namespace srdw::check {

namespace {

constexpr std::string_view kInstallHeading = "\nInstalling script...\n";
constexpr std::string_view kRestoreHeading = "\nRestoring script...\n";
bool IsAnnouncement(std::string_view lineWithEnd) {
    const auto table = CommandTable();
    return std::any_of(table.begin(), table.end(), [lineWithEnd](const CommandDefinition& c) {
        return c.announcement == lineWithEnd;
    });
}

// The log of a walk cut into one piece per command it ran, at the line each
// command's run starts with; the heading is dropped.
std::vector<std::string_view> CommandLogs(std::string_view log) {
    std::vector<std::string_view> pieces;
    std::size_t start = std::string_view::npos;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = std::min(log.find('\n', at), log.size() - 1) + 1;
        if (IsAnnouncement(log.substr(at, end - at))) {
            if (start != std::string_view::npos) {
                pieces.push_back(log.substr(start, at - start));
            }
            start = at;
        }
        at = end;
    }
    if (start != std::string_view::npos) {
        pieces.push_back(log.substr(start));
    }
    return pieces;
}

// The verdict of one command's log: its lines past the announcement and the
// path expansions, when they tell of a failure.
std::optional<std::string> Failure(std::string_view piece) {
    std::string verdict;
    bool failed = false;
    std::size_t at = piece.find('\n');
    while (at != std::string_view::npos && at + 1 < piece.size()) {
        const std::size_t end = piece.find('\n', at + 1);
        const std::string_view line = piece.substr(
            at + 1, end == std::string_view::npos ? std::string_view::npos : end - at - 1);
        at = end;
        if (line.empty() || line.starts_with("- Parsing path: ") ||
            line.starts_with("ERROR: the expanded path")) {
            continue;  // the expansions are checked on their own
        }
        failed =
            failed || line.find("FAILED!") != std::string_view::npos || line.starts_with("ERROR");
        verdict += verdict.empty() ? "" : " ";
        verdict += line.substr(line.find_first_not_of(' '));
    }
    return failed ? std::optional(verdict) : std::nullopt;
}

void ReportFailures(const ParsedScript& script, std::string_view log, bool install,
                    CheckReport& report) {
    std::vector<const ParsedCall*> ran;
    for (const auto& call : script.calls) {
        if (call.info) {
            ran.push_back(&call);
        }
    }
    if (!install) {
        std::reverse(ran.begin(), ran.end());  // restore undoes them last to first
    }
    const auto pieces = CommandLogs(log);
    for (std::size_t i = 0; i < pieces.size() && i < ran.size(); ++i) {
        if (const auto verdict = Failure(pieces[i])) {
            AddFinding(report, Severity::Error, script.WhereClean(ran[i]->nameAt),
                       install ? "install-fails" : "restore-fails",
                       std::string(install ? "install" : "restore") + " fails here: " + *verdict);
        }
    }
}

void ReportSilentDirectoryChanges(const ParsedScript& script,
                                  const std::vector<DirectoryModel::DirectoryChange>& changes,
                                  CheckReport& report) {
    std::size_t change = 0;
    for (const auto& call : script.calls) {
        if (!call.info || !call.info->ChangesDirectory() || change >= changes.size()) {
            continue;
        }
        const auto& [path, changed] = changes[change++];
        if (!changed) {
            AddFinding(report, Severity::Warning, script.WhereClean(call.nameAt),
                       "directory-missing",
                       "'" + path +
                           "' is no directory at install, so the launcher stays where it was "
                           "without a word, and the commands after this one work there");
        }
    }
}

// Where the launcher would write its log; the model keeps it in memory.
std::string ModelLogPath(const LaunchContext& launch) {
    return Resolve(launch.game, "SrdwLaunch.log").Text();
}

// The launcher's log from the restore heading on, heading dropped.
std::string RestoreLog(const std::string& log, std::size_t from) {
    return log.substr(from + kRestoreHeading.size());
}

// One launch cycle: install, the game, restore, with the log of each.
void RehearseCycle(const ParsedScript& script, const std::string& scriptPath,
                   const LaunchContext& launch, DirectoryModel& model, DryRunResult& result,
                   CheckReport& report) {
    const std::string rootDir = launch.RootDir();
    std::string commandLine = launch.installCommandLine;
    LogOpen(ModelLogPath(launch));
    ModScript modScript;
    modScript.Load(scriptPath);
    LogFlush();
    const std::size_t installStart = model.LogText().size();
    modScript.Install({rootDir, commandLine});
    LogFlush();
    const std::string afterInstall = model.LogText();
    ReportSilentDirectoryChanges(script, model.DirectoryChanges(), report);
    result.whileGameRuns = model.Moved();
    RemoveEditSwitch(commandLine);  // as the launcher does before the game starts
    modScript.Restore({rootDir, commandLine});
    LogFlush();
    result.installLog = afterInstall.substr(installStart + kInstallHeading.size());
    result.restoreLog = RestoreLog(model.LogText(), afterInstall.size());
    LogClose();
    result.notRestored = model.Differences();
}

// Install, then a crash while the game runs: nothing of the run is left but
// the changed directory. The start-up entry then starts a launcher with
// "/recover", which finds the game, makes its directory current and restores.
void RehearseRecovery(const std::string& scriptPath, const LaunchContext& launch,
                      DirectoryModel& model, DryRunResult& result) {
    const std::string rootDir = launch.RootDir();
    {
        ModScript crashed;
        crashed.Load(scriptPath);
        crashed.Install({rootDir, launch.installCommandLine});
    }
    // As the launcher at its start, which does not look at the result either.
    static_cast<void>(model.ChangeDirectory(rootDir));
    const std::string recoveryCommandLine = PrepareCommandLine("/recover");
    LogOpen(ModelLogPath(launch));
    ModScript recovery;
    recovery.Load(scriptPath);
    LogFlush();
    const std::size_t restoreStart = model.LogText().size();
    recovery.Restore({rootDir, recoveryCommandLine});
    LogFlush();
    result.recoveryLog = RestoreLog(model.LogText(), restoreStart);
    LogClose();
    result.notRecovered = model.Differences();
}

}  // namespace

void DryRun(const ParsedScript& script, const std::string& scriptPath, const LaunchContext& launch,
            CheckReport& report) {
    std::string error;
    DirectoryModel model(launch.game, scriptPath, std::string(script.map.Source()), error);
    if (!error.empty()) {
        AddFinding(report, Severity::Error, std::nullopt, "game-unreadable",
                   "no dry run: " + error);
        return;
    }
    for (const auto& [path, reason] : model.UnreadPaths()) {
        AddFinding(
            report, Severity::Note, std::nullopt, "unreadable-path",
            "the dry run cannot read '" + path + "' (" + reason + "), so it takes it for missing");
    }
    if (!model.Attributes(Resolve(launch.game, "srend.exe").Text())) {
        AddFinding(report, Severity::Note, std::nullopt, "no-game-here",
                   "there is no srend.exe in '" + launch.RootDir() +
                       "': the launcher's @rootdir is the folder of the game it starts");
    }
    DryRunResult result;
    {
        ScopedFiles scope(model);
        RehearseCycle(script, scriptPath, launch, model, result, report);
        model.Reset();
        RehearseRecovery(scriptPath, launch, model, result);
        result.unmodelled = model.UnmodelledPaths();
    }

    ReportFailures(script, result.installLog, true, report);
    ReportFailures(script, result.restoreLog, false, report);
    for (const auto& difference : result.notRestored) {
        AddFinding(report, Severity::Error, std::nullopt, "not-restored",
                   "after restore, " + difference);
    }
    for (const auto& difference : result.notRecovered) {
        AddFinding(report, Severity::Error, std::nullopt, "not-recovered",
                   "after a crash while the game runs, the recovery at the next start leaves " +
                       difference);
    }
    for (const auto& path : result.unmodelled) {
        AddFinding(
            report, Severity::Note, std::nullopt, "not-modelled",
            "the dry run holds only the game directory; it takes '" + path + "' for missing");
    }
    report.dryRun = std::move(result);
}

}  // namespace srdw::check
