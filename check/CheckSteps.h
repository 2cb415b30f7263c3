// The steps of a check, each adding to the report; ScriptCheck runs them in order.
#pragma once

#include <string>
#include <vector>

#include "check/CheckReport.h"
#include "check/SourceMap.h"
#include "script/CommandTable.h"
#include "script/PathModel.h"
#include "script/ScriptText.h"

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

// Load errors, command names, argument counts, comments and quotes.
void CheckCalls(const ParsedScript& script, CheckReport& report);
// Expansions, paths and what each command reads and writes; lists the commands.
void CheckPaths(const ParsedScript& script, const LaunchContext& launch, CheckReport& report);
// Install and restore on a model of the game directory.
void DryRun(const ParsedScript& script, const std::string& scriptPath, const LaunchContext& launch,
            CheckReport& report);

}  // namespace srdw::check
