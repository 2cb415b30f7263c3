// The dry run's ear on the engine during one walk (an install, a restore, a
// recovery): each command that fails, as the engine's verdict says, with its
// number in the walk's order and its words. Everything it hears it passes on
// to the listener installed before it, so the walk is logged as the launcher
// logs it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "script/ScriptObserver.h"

namespace srdw::check {

class WalkVerdicts final : public ScriptObserver {
  public:
    // Called for each failed command with its number (from 0) and its words,
    // each line without its leading blanks, the lines joined by a blank.
    using FailureSink = std::function<void(std::size_t command, std::string words)>;

    WalkVerdicts(ScriptObserver& next, FailureSink failed)
        : next_(next), failed_(std::move(failed)) {}

    void WalkStarted(Walk walk) override { next_.WalkStarted(walk); }
    void CommandStarted(const CommandDefinition& command) override;
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override {
        next_.PathExpanded(source, expanded);
    }
    void Said(std::string_view words) override;
    void MoveHeld(const std::string& path, unsigned pause) override { next_.MoveHeld(path, pause); }
    void CommandFinished(Verdict verdict) override;

  private:
    ScriptObserver& next_;
    FailureSink failed_;
    std::size_t command_ = 0;
    std::string words_;  // the running command's
};

}  // namespace srdw::check
