// Starting the game and waiting for its end.
#pragma once

#include <string>

#include "platform/Desktop.h"

namespace srdw {

// Logs what is started, then starts it and waits. A game that could not be
// started gets an ERROR line with the system's reason.
ProgramRun RunAndWait(const std::string& file, const std::string& parameters,
                      const std::string& directory);

// Tells the player that the game could not be started, and why.
void ReportGameNotStarted(const std::string& file, const ProgramRun& run);

}  // namespace srdw
