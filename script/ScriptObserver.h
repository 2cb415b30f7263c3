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

// How one command ended.
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

// A listener in front of another: it hears everything first and passes it on,
// so that what it adds leaves the next one (the run log) as it was. A relay
// overrides what it listens to and calls its own part of it here.
class ScriptObserverRelay : public ScriptObserver {
  public:
    explicit ScriptObserverRelay(ScriptObserver& next) : next_(next) {}

    void WalkStarted(Walk walk) override { next_.WalkStarted(walk); }
    void CommandStarted(const CommandDefinition& command) override {
        next_.CommandStarted(command);
    }
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override {
        next_.PathExpanded(source, expanded);
    }
    void Said(std::string_view words) override { next_.Said(words); }
    void MoveHeld(const std::string& path, unsigned pause) override { next_.MoveHeld(path, pause); }
    void CommandFinished(Verdict verdict) override { next_.CommandFinished(verdict); }

  private:
    ScriptObserver& next_;
};

}  // namespace srdw
