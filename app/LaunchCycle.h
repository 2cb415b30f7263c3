// The back half of a launcher run: find the game, then either only restore, or
// install, play and restore.
#pragma once

#include "app/LaunchMode.h"

namespace srdw {

class ModScript;

enum class CycleEnd {
    Completed,    // the cycle ran (or the game was not found)
    GameRunning,  // stopped before any change because the game is already running
};

CycleEnd LaunchCycle(LaunchMode mode, ModScript& script);

}  // namespace srdw
