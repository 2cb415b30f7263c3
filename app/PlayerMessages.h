// What the launcher tells the player in a message box: texts of the string
// table, with inserts where they name a path or a count.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "app/LauncherApp.h"

namespace srdw {

// Shows string-table entry `id` in a message box.
void ShowMessage(PlayerDialogs& player, unsigned id);

// String-table entry `id` with "%1" to "%9" replaced by the inserts in that
// order, as Windows' own messages number them; a number without an insert stays.
std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts);

// Where the system gave a path in characters the launcher cannot use (see
// LauncherProcess::UnusablePath), tells the player, naming the path, and writes it to
// the log; true then, and the run is to change nothing.
bool RefuseUnusablePath(const Launch& launch);

}  // namespace srdw
