#include "check/ScriptCheck.h"

#include <algorithm>

#include "app/CommandLine.h"
#include "check/CheckSteps.h"
#include "platform/FileSystem.h"

namespace srdw::check {

namespace {

void Parse(ParsedScript& script) {
    const std::string_view clean = script.map.CleanText();
    if (script.map.Source().empty() || script.map.UnclosedQuote()) {
        return;
    }
    script.parsed = ParseCalls(clean, script.commands, script.arguments);
    script.calls.reserve(script.commands.size());
    for (const auto& command : script.commands) {
        ParsedCall call;
        call.command = command;
        call.info = FindCommand(command.name);
        call.nameAt = static_cast<std::size_t>(command.name.data() - clean.data());
        call.openAt = call.nameAt + command.name.size();
        call.closeAt = clean.find(')', call.openAt + 1);
        if (call.closeAt > call.openAt + 1) {
            const auto list = clean.substr(call.openAt + 1, call.closeAt - call.openAt - 1);
            call.givenArguments =
                1 + static_cast<std::size_t>(std::count(list.begin(), list.end(), ','));
        }
        script.calls.push_back(call);
    }
    script.commands = {};  // each call holds its command
}

LaunchContext ContextFor(const CheckOptions& options) {
    LaunchContext launch;
    launch.realGame = !options.gameDirectory.empty();
    const std::string directory =
        launch.realGame ? options.gameDirectory : PlaceholderGameDirectory();
    // A relative directory is taken from where the checker runs.
    launch.game = Resolve(ResolveAbsolute(NativeFileSystem().WorkingDirectory()), directory);
    launch.installCommandLine = PrepareCommandLine(options.commandLine);
    return launch;
}

}  // namespace

std::string PlaceholderGameDirectory() {
    return kWindowsPaths ? "C:\\<game>" : "/<game>";
}

void AddFinding(CheckReport& report, Severity severity, std::optional<SourcePosition> where,
                std::string code, std::string message) {
    FindingTally& tally = report.tallies.try_emplace(code, FindingTally{severity}).first->second;
    if (tally.count++ < kListedFindingsPerCode) {
        report.findings.push_back({severity, where, std::move(code), std::move(message)});
    }
}

std::size_t CheckReport::Count(Severity severity) const {
    std::size_t count = 0;
    for (const auto& [code, tally] : tallies) {
        count += tally.severity == severity ? tally.count : 0;
    }
    return count;
}

CheckReport CheckScript(const std::string& scriptPath, std::string_view source,
                        const CheckOptions& options) {
    CheckReport report;
    report.script = scriptPath;
    const LaunchContext launch = ContextFor(options);
    report.gameDirectory = launch.RootDir();
    report.gameGiven = launch.realGame;
    report.commandLine = launch.installCommandLine;

    ParsedScript script(source);
    Parse(script);
    report.loaded = script.parsed;
    report.commandCount = script.calls.size();
    CheckCalls(script, report);
    std::optional<DryRunFacts> facts;
    if (report.loaded && launch.realGame) {
        facts = DryRun(script, scriptPath, launch, report);
    }
    const std::vector<bool> outside = CheckPaths(script, launch, facts ? &*facts : nullptr, report);
    if (facts && report.dryRun) {
        ReportDryRun(script, outside, report);
    }
    // Findings in the order of the script; those about the whole script last.
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) {
                         if (!a.where || !b.where) {
                             return a.where.has_value() && !b.where.has_value();
                         }
                         return std::pair(a.where->line, a.where->column) <
                                std::pair(b.where->line, b.where->column);
                     });
    return report;
}

}  // namespace srdw::check
