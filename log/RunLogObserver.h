// The run log as a listener of the script engine: it writes the headings,
// each command's announcement and expansions, and the command's own words.
#pragma once

#include "log/RunLog.h"
#include "script/ScriptObserver.h"

namespace srdw {

class RunLogObserver final : public ScriptObserver {
  public:
    explicit RunLogObserver(RunLog& log) : log_(log) {}

    void WalkStarted(Walk walk) override;
    void CommandStarted(const CommandDefinition& command) override;
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override;
    void Said(std::string_view words) override { log_.Write(words); }
    void MoveHeld(const std::string& path, unsigned pause) override;

  private:
    RunLog& log_;
};

}  // namespace srdw
