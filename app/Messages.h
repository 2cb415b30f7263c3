// The messages the launcher shows the user, from its string table.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "app/Launch.h"
#include "res/resource.h"

namespace srdw {

// Shows string-table entry `id` in a message box; returns the button pressed.
int ShowMessage(PlayerDialogs& player, unsigned id, unsigned style);
// String-table entry `id` with "%1" to "%9" replaced by the inserts in that
// order, as Windows' own messages number them; a number without an insert stays.
std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts);

// Where the system gave a path in characters the launcher cannot use (see
// LauncherProcess::UnusablePath), tells the player, naming the path, and writes it to
// the log; true then, and the run is to change nothing.
bool RefuseUnusablePath(const Launch& launch);

}  // namespace srdw
