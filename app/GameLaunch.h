// Starting the game and waiting for its end.
#pragma once

#include <string>

#include "app/Launch.h"

namespace srdw {

// The game's main window has this class and this title.
inline constexpr const char* kGameWindow = "Skyrend 2";
// How long the game is given once it seems to have ended: once its own
// process has ended, or its window has closed, the programs it left running
// (a tray icon, an overlay, an updater, a store's client) are waited for this
// long and no longer; when nothing is left and no window was seen, this is
// how long its window may take to open (a store's client that was asked to
// start the game takes a few seconds to do so).
inline constexpr unsigned kGraceTime = 15000;

bool GameWindowOpen(GameProcess& game);

// Logs what is started, then starts it and waits until it and every process it
// started have ended and, where there are windows, until the game's window has
// closed; what the game leaves running after its end is given the grace time
// and then named in the log. A game that could not be started gets an ERROR
// line with the system's reason.
ProgramRun RunAndWait(const Launch& launch, const std::string& file, const std::string& parameters,
                      const std::string& directory);

// Tells the player that the game could not be started, and why.
void ReportGameNotStarted(PlayerDialogs& player, const std::string& file, const ProgramRun& run);

}  // namespace srdw
