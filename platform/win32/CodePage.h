// Paths between the system's own characters (UTF-16) and the ANSI code page.
// The launcher and the game are ANSI programs; where Windows converts a path
// for them itself, a character the code page lacks becomes a look-alike ("ā"
// becomes "a"), which names another folder, perhaps another copy of the game.
// So paths are taken in UTF-16 and converted here, where that can be seen.
#pragma once

#include <string>
#include <string_view>

namespace srdw::win32 {

struct AnsiPath {
    std::string text;   // in the code page, "?" for each character it lacks
    bool whole = true;  // converts back to the same characters exactly
};

AnsiPath ToAnsi(std::wstring_view wide);
std::wstring FromAnsi(std::string_view text);

// A path the system gave, in the code page; none when it does not fit, and
// it is then kept, as it can be shown, for UnusablePath(). Every place that
// takes a path from the system (the launcher's own path, the settings file,
// the chooser) goes through here, so the last of them is the one told.
std::string AcceptedPath(std::wstring_view path);
std::string UnusablePath();

}  // namespace srdw::win32
