// What the three parts of SrdwCheck's check of a script (the text, the paths,
// the dry run) share: the check under way, and the parts the text check calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/ScriptCheck.h"
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
        return map.PositionOf(map.SourceOffset(CleanOffset(inClean)));
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
    std::size_t reach = 0;  // where the parse of the calls stopped, if it ran
    ResolvedPath game;      // "@rootdir"
    CheckReport report;
    // Each directory change the install asked for, in the script's order, and
    // whether the dry run's launcher went there; none without a dry run.
    std::vector<FolderModel::DirectoryChange> directoryChanges;
    std::vector<const ScriptCommand*> outsideCalls;  // those that work outside the game directory
    std::vector<std::string> unmodelled;             // the paths outside it the dry run looked at
};

// The paths the commands work on, and the commands listed.
void CheckPaths(Check& check);

// Install and restore on a model of the game directory, with the launcher's
// logs of both and of a recovery after a crash; the commands that fail there,
// but for those that looked outside the game directory; and what is not put
// back.
void DryRun(Check& check);

}  // namespace srdw::check
