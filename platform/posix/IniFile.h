// A plain INI file, read and written the way Windows' profile functions do:
// sections and keys match without regard to letter case, only the first section
// of a name counts, a UTF-8 byte-order mark is skipped, CR and LF each end a
// line, and writing one key keeps every other line of the file as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace srdw::posix {

// The value of `key` in `[section]` of the text as GetPrivateProfileString
// gives it: blanks and Ctrl-Z around it trimmed, cut at a NUL, and one pair of
// matching quotes around it removed.
std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key);
// The text with `key` in `[section]` set to `value`, added when missing.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace srdw::posix
