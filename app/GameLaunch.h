// Starting the game and waiting for its end.
#pragma once

#include <string>

#include "platform/Desktop.h"

namespace srdw {

// The game's main window has this class and this title.
inline constexpr const char* kGameWindow = "Skyrend 2";
// How long a game whose processes all ended without its window having been
// seen is given to open it: a store's client that was asked to start the game
// takes a few seconds to do so.
inline constexpr unsigned kWindowGraceTime = 15000;

bool GameWindowOpen();

// Logs what is started, then starts it and waits until it and every process it
// started have ended and, where there are windows, until the game's window has
// closed. A game that could not be started gets an ERROR line with the
// system's reason.
ProgramRun RunAndWait(const std::string& file, const std::string& parameters,
                      const std::string& directory);

// Tells the player that the game could not be started, and why.
void ReportGameNotStarted(const std::string& file, const ProgramRun& run);

}  // namespace srdw
