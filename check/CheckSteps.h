// The steps of a check, each adding to the report; ScriptCheck runs them in order.
#pragma once

#include <string>
#include <vector>

#include "check/CheckReport.h"
#include "script/CommandTable.h"
#include "script/PathModel.h"
#include "script/ScriptText.h"
#include "script/SourceMap.h"

namespace srdw::check {

// One call as the launcher parsed it, with where its parts stand in the
// cleaned text.
struct ParsedCall {
    ScriptCommand command;
    const CommandDefinition* info = nullptr;  // none for a name the launcher skips
    std::size_t nameAt = 0;
    std::size_t openAt = 0;          // the "("
    std::size_t closeAt = 0;         // the ")"
    std::size_t givenArguments = 0;  // as written, also past the 16 that are kept
};

struct ParsedScript {
    explicit ParsedScript(std::string_view source) : map(source) {}

    SourceMap map;
    std::vector<ScriptCommand> commands;  // released once the calls hold them
    std::vector<std::string_view> arguments;
    std::vector<ParsedCall> calls;
    bool parsed = false;  // false also for an unclosed quote

    SourcePosition Where(std::string_view inClean) const {
        return map.PositionOf(map.SourceOffset(inClean));
    }
    SourcePosition WhereClean(std::size_t cleanOffset) const {
        return map.PositionOf(map.SourceOffset(cleanOffset));
    }
};

// The launch the script is checked for.
struct LaunchContext {
    ResolvedPath game;
    std::string installCommandLine;  // "@cmdline" during install; restore undoes that
    bool realGame = false;           // a directory given, not the stand-in

    std::string RootDir() const { return game.Text(); }  // "@rootdir"
};

void AddFinding(CheckReport& report, Severity severity, std::optional<SourcePosition> where,
                std::string code, std::string message);

// What the dry run found out that the steps after it go by: each directory
// change the install asked for, in the script's order, and whether the
// launcher went there.
struct DryRunFacts {
    std::vector<bool> directoryChanged;
};

// Load errors, command names, argument counts, comments and quotes.
void CheckCalls(const ParsedScript& script, CheckReport& report);
// Install and restore on a model of the game directory, with the launcher's
// logs of both and of a recovery after a crash, in the report; the commands
// that fail there, but for those that looked outside the game directory.
DryRunFacts DryRun(const ParsedScript& script, const std::string& scriptPath,
                   const LaunchContext& launch, CheckReport& report);
// Expansions, paths and what each command reads and writes; lists the commands.
// With the dry run's facts, a directory change the launcher does not make is
// not followed either, so that paths are named as the dry run resolved them.
// Says for each call whether it works on a path outside the game directory.
std::vector<bool> CheckPaths(const ParsedScript& script, const LaunchContext& launch,
                             const DryRunFacts* dryRun, CheckReport& report);
// What the dry run left as it was not; and, once, as a note, that it does
// not hold what lies outside the game directory, with the calls (`outside`)
// that work there.
void ReportDryRun(const ParsedScript& script, const std::vector<bool>& outside,
                  CheckReport& report);

}  // namespace srdw::check
