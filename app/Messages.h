// The messages the launcher shows the user, from its string table.
#pragma once

#include "res/resource.h"

namespace srdw {

// Shows string-table entry `id` in a message box; returns the button pressed.
int ShowMessage(unsigned id, unsigned style);

}  // namespace srdw
