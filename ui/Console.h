// SrdwCheck's console. On Windows a console program started from Explorer (a
// double-click, a script dropped on it) gets a window of its own, which closes
// the moment the program ends, before its report can be read.
#pragma once

namespace srdw::ui {

// Whether this program's console was opened for it alone and goes with it:
// no Command Prompt or other program shares it, and nothing is redirected.
// Never on POSIX, where a terminal outlives what runs in it.
bool ConsoleIsOwn();

// Waits until a key is pressed in that console.
void WaitForKey();

}  // namespace srdw::ui
