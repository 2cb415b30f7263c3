// The start-up entry on Linux: an XDG autostart desktop entry that runs its
// command at the next log-in and, like Windows' RunOnce, only once: the entry
// removes itself before the command starts.
#pragma once

#include <string>
#include <vector>

namespace srdw::posix {

// The desktop entry file's text for `arguments` (program first), to be stored at
// `entryPath`.
std::string RunOnceDesktopEntry(const std::string& entryPath,
                                const std::vector<std::string>& arguments);

// The text as a desktop entry can hold it: "?" for each control character but
// LF, tab and CR, which its strings hold as escapes.
std::string ShownInDesktopEntry(std::string text);

// Text as one word of a POSIX shell, in single quotes.
std::string ShellQuote(const std::string& text);

}  // namespace srdw::posix
