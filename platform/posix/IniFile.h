// A plain INI file, read and written the way Windows' profile functions do:
// sections and keys match without regard to letter case; writing one key keeps
// every other line of the file as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace srdw::posix {

// The value of `key` in `[section]` of the text, blanks around it trimmed.
std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key);
// The text with `key` in `[section]` set to `value`, added when missing.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace srdw::posix
