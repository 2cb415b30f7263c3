// What the parts of a script's check share: the script as the launcher read it,
// its calls, and the report so far.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/ScriptCheck.h"
#include "script/CommandTable.h"
#include "script/FolderModel.h"
#include "script/PathModel.h"
#include "script/ScriptText.h"
#include "script/SourceMap.h"

namespace srdw::check {

// A check under way: the script as the launcher reads it, and the report so far.
struct Check {
    explicit Check(std::string_view source) : map(source) {}

    void Add(Severity severity, std::optional<SourcePosition> where, std::string code,
             std::string message) {
        FindingTally& tally =
            report.tallies.try_emplace(code, FindingTally{severity}).first->second;
        if (tally.count++ < kListedFindingsPerCode) {
            report.findings.push_back({severity, where, std::move(code), std::move(message)});
        }
    }
    SourcePosition Where(std::string_view inClean) const {
        return map.PositionOf(map.SourceOffset(inClean));
    }
    SourcePosition WhereClean(std::size_t cleanOffset) const {
        return map.PositionOf(map.SourceOffset(cleanOffset));
    }
    std::size_t CleanOffset(std::string_view inClean) const {
        return static_cast<std::size_t>(inClean.data() - map.CleanText().data());
    }
    // Where a call's "(" and ")" stand in the cleaned text.
    std::size_t OpenAt(const ScriptCommand& call) const {
        return CleanOffset(call.name) + call.name.size();
    }
    std::size_t CloseAt(const ScriptCommand& call) const {
        return map.CleanText().find(')', OpenAt(call) + 1);
    }

    SourceMap map;
    std::vector<std::string_view> arguments;  // what the calls' arguments view
    std::vector<ScriptCommand> calls;
    ResolvedPath game;  // "@rootdir"
    CheckReport report;
    // Each directory change the install asked for, in the script's order, and
    // whether the dry run's launcher went there; none without a dry run.
    std::vector<FolderModel::DirectoryChange> directoryChanges;
    std::vector<const ScriptCommand*> outsideCalls;  // those that work outside the game directory
};

// "a", "a and b", "a, b and c".
std::string Enumerate(const std::vector<std::string>& items);
// "a, b, c and 3 more": a long list is cut short.
std::string FirstFew(std::vector<std::string> items);

// The paths each command works on, as the launcher expands and resolves them:
// what of them its author may not expect.
void CheckPaths(Check& check);

// The launcher's own script engine installs and restores the script on a model
// of the game directory, and recovers it after a crash; what fails there, and
// what is not put back, are findings.
void DryRun(Check& check, const std::string& scriptPath);

}  // namespace srdw::check
