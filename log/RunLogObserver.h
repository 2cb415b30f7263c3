// The run log as a listener of the script engine: it writes the headings,
// each command's announcement and expansions, and the command's own words.
#pragma once

#include "script/ScriptObserver.h"

namespace srdw {

class RunLogObserver final : public ScriptObserver {
  public:
    void WalkStarted(Walk walk) override;
    void CommandStarted(const CommandDefinition& command) override;
    void PathExpanded(std::string_view source, std::optional<std::string_view> expanded) override;
    void Said(std::string_view words) override;
    void MoveHeld(const std::string& path, unsigned pause) override;
};

// The one the engine tells when no other listener is installed.
RunLogObserver& RunLogOutcomes();

}  // namespace srdw
