// What the script engine does, told as it happens: each walk over the
// script, each command it runs, each argument it expands, the command's own
// words on what it did, and its verdict. The run log is one listener and
// writes the words; SrdwCheck's dry run is another, which learns from the
// verdicts what failed instead of reading the log back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace srdw {

struct CommandDefinition;

enum class Walk { Install, Restore };

enum class Verdict {
    Done,           // did what it says; at restore, everything of it is back
    Failed,         // refused or stopped part-way; its words say why and what is left
    Skipped,        // an argument was empty or too long, so it did nothing
    NothingToUndo,  // at restore: its install moved nothing
    UndoneBefore,   // at restore: an earlier, interrupted restore put it back
};

class ScriptObserver {
  public:
    virtual ~ScriptObserver() = default;

    virtual void WalkStarted(Walk /*walk*/) {}
    virtual void CommandStarted(const CommandDefinition& /*command*/) {}
    // `expanded` is none when the expansion would exceed the longest path.
    virtual void PathExpanded(std::string_view /*source*/,
                              std::optional<std::string_view> /*expanded*/) {}
    // The command's words on its outcome, piece by piece as they come.
    virtual void Said(std::string_view /*words*/) {}
    // Another program holds `path`; the move is tried again after `pause` ms.
    virtual void MoveHeld(const std::string& /*path*/, unsigned /*pause*/) {}
    virtual void CommandFinished(Verdict /*verdict*/) {}
};

}  // namespace srdw
