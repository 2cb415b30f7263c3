// Finding the game and running it until it, and what it started, has ended.
#pragma once

#include "app/LauncherApp.h"

namespace srdw {

// Where the game is: beside the launcher, in the game's settings file, or
// where the player points. Sets GameExe and RootDir and makes RootDir the
// current directory; false when the player cancelled the chooser.
bool LocateGame(const Launch& launch);

// Whether the game's main window is open.
bool GameWindowOpen(GameProcess& game);

// Logs what is started, then starts the game and waits until it and every
// process it started have ended and, where there are windows, until the
// game's window has closed; what the game leaves running after its end is
// given the grace time and then named in the log. A game that could not be
// started gets an ERROR line with the system's reason.
ProgramRun RunAndWait(const Launch& launch);

// Tells the player, when the game could not be started, why.
void ReportGameNotStarted(const Launch& launch, const ProgramRun& game);

}  // namespace srdw
