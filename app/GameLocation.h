// Where the game is: beside the launcher, in the game's settings file, or where
// the user points.
#pragma once

#include "app/Launch.h"

namespace srdw {

// Sets GameExe and RootDir and makes RootDir the current directory. False when
// the user cancelled the chooser.
bool LocateGame(const Launch& launch);

}  // namespace srdw
