// The run log as a listener of the script engine: it writes the headings,
// each command's announcement and expansions, and the command's own words. It
// also counts the install's commands that did not go in, which the player is
// asked about before the game starts.
#pragma once

#include <cstddef>
#include <string_view>

#include "log/RunLog.h"
#include "script/ScriptObserver.h"

namespace srdw {

// The heading of an install in the log, after the line end before it; a log
// that holds it is the record of what an install changed.
inline constexpr std::string_view kInstallHeading = "\nInstalling script...";

class RunLogObserver final : public ScriptObserver {
  public:
    explicit RunLogObserver(RunLog& log) : log_(log) {}

    void WalkStarted(Walk walk) override;
    void CommandStarted(const CommandDefinition& command) override;
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override;
    void Said(std::string_view words) override { log_.Write(words); }
    void MoveHeld(const std::string& path, unsigned pause) override;
    void CommandFinished(Verdict verdict) override;

    // The install's commands, and those of them that failed or were skipped
    // for an empty or too long argument.
    std::size_t InstallCommands() const { return commands_; }
    std::size_t FailedInstalls() const { return failed_; }

  private:
    RunLog& log_;
    bool installing_ = false;
    std::size_t commands_ = 0;
    std::size_t failed_ = 0;
};

}  // namespace srdw
