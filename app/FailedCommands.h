// The commands of an install that did not go in, and the player's choice,
// before the game starts, whether to play with the mod as far as it went in.
#pragma once

#include <cstddef>

#include "app/Launch.h"
#include "script/ScriptObserver.h"

namespace srdw {

// A listener of the script engine in front of another (the run log, which
// writes the words): it counts the install's commands, and those that failed
// or were skipped for an empty or too long argument.
class FailedCommands final : public ScriptObserverRelay {
  public:
    using ScriptObserverRelay::ScriptObserverRelay;

    void WalkStarted(Walk walk) override;
    void CommandStarted(const CommandDefinition& command) override;
    void CommandFinished(Verdict verdict) override;

    std::size_t Count() const { return failed_; }
    std::size_t Of() const { return commands_; }

  private:
    bool installing_ = false;
    std::size_t commands_ = 0;
    std::size_t failed_ = 0;
};

// After the install, with the splash hidden: where commands did not go in, the
// player is told how many and where the log is, and chooses to play anyway
// (true) or to have every file put back and end (false). Where nobody can be
// asked, the game starts, as it always did.
bool PlayDespite(const Launch& launch, const FailedCommands& failed);

}  // namespace srdw
