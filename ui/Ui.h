// The launcher's two windows: the splash picture shown while the mod is set up,
// and the Open dialog that asks where the game is. Only the Win32 build has them.
#pragma once

#include <optional>
#include <string>

namespace srdw::ui {

// Creates the splash window, centres it on the screen, shows and paints it, then
// pauses 500 ms so it is seen even when the launcher is quick. When the window
// cannot be created nothing else happens (no pause). The launcher has no message
// loop, so the window is painted this once; it cannot be closed by Enter, Escape,
// Alt+F4 or the window menu, only by DestroySplash.
void ShowSplash();

// Hides the splash window; does nothing when there is none.
void HideSplash();

// Destroys the splash window if it still exists; does nothing otherwise. The window
// is also destroyed at process end if this was never called.
void DestroySplash();

// Asks for the game's SREND.EXE with an Open dialog. Only a file named srend.exe
// (any letter case) is accepted; for any other name the dialog beeps and stays
// open. Gives the full path of the accepted file in the system's own characters
// (which the code page may lack), or nothing when cancelled.
std::optional<std::wstring> ChooseGameFile();

}  // namespace srdw::ui
