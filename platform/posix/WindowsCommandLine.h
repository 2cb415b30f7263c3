// The game gets its parameters as one text, as on Windows; on POSIX that text is
// split into arguments by the rules the Windows C runtime uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace srdw::posix {

// Blanks and tabs separate arguments outside double quotes. 2n backslashes
// before a quote give n backslashes and the quote opens or closes a quoted run;
// 2n+1 give n backslashes and a literal quote; "" inside a quoted run is a
// literal quote. Other backslashes are literal.
std::vector<std::string> SplitWindowsCommandLine(std::string_view text);

}  // namespace srdw::posix
