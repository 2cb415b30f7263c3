// The messages the launcher shows the user, from its string table.
#pragma once

#include <string>

#include "res/resource.h"

namespace srdw {

// Shows string-table entry `id` in a message box; returns the button pressed.
int ShowMessage(unsigned id, unsigned style);

// Where the system gave a path in characters the launcher cannot use (see
// Desktop::UnusablePath), tells the player, naming the path, and writes it to
// the log; true then, and the run is to change nothing.
bool RefuseUnusablePath();

}  // namespace srdw
