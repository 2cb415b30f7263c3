// The commands of an install that did not go in, and the player's choice,
// before the game starts, whether to play with the mod as far as it went in.
#pragma once

#include <cstddef>

#include "platform/Installed.h"
#include "script/ScriptObserver.h"

namespace srdw {

// For as long as it lives, the listener of the script engine: it counts the
// install's commands, and those that failed or were skipped for an empty or
// too long argument, and passes everything on to the listener before it (the
// run log), which writes the words.
class FailedCommands final : public ScriptObserverRelay {
  public:
    FailedCommands() : ScriptObserverRelay(Outcomes()), listening_(*this) {}

    void WalkStarted(Walk walk) override;
    void CommandStarted(const CommandDefinition& command) override;
    void CommandFinished(Verdict verdict) override;

    std::size_t Count() const { return failed_; }
    std::size_t Of() const { return commands_; }

  private:
    bool installing_ = false;
    std::size_t commands_ = 0;
    std::size_t failed_ = 0;
    Installed<ScriptObserver> listening_;
};

// After the install, with the splash hidden: where commands did not go in, the
// player is told how many and where the log is, and chooses to play anyway
// (true) or to have every file put back and end (false). Where nobody can be
// asked, the game starts, as it always did.
bool PlayDespite(const FailedCommands& failed);

}  // namespace srdw
