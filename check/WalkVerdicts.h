// The dry run's ear on the engine during one walk (an install, a restore, a
// recovery): each command that fails, as the engine's verdict says, with its
// number in the walk's order, its words, and the argument they blame.
// Everything it hears it passes on to the listener installed before it, so the
// walk is logged as the launcher logs it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "script/ScriptObserver.h"

namespace srdw::check {

class WalkVerdicts final : public ScriptObserverRelay {
  public:
    // Called for each failed command with its number (from 0), the argument
    // (from 0) its words blame, if they name one, and its words, each line
    // without its leading blanks, the lines joined by a blank.
    using FailureSink = std::function<void(std::size_t command, std::optional<std::size_t> argument,
                                           std::string words)>;

    // `started`, when given, is called as each command starts.
    WalkVerdicts(ScriptObserver& next, FailureSink failed, std::function<void()> started = {})
        : ScriptObserverRelay(next), failed_(std::move(failed)), started_(std::move(started)) {}

    void CommandStarted(const CommandDefinition& command) override;
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override;
    void Said(std::string_view words) override;
    void CommandFinished(Verdict verdict) override;

  private:
    FailureSink failed_;
    std::function<void()> started_;
    std::size_t command_ = 0;
    std::vector<std::string> paths_;  // the running command's arguments, expanded
    std::string words_;               // the running command's
};

}  // namespace srdw::check
