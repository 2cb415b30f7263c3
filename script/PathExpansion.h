// Script arguments become plain paths: quotes are removed and the placeholders
// "@rootdir" and "@cmdline" (in any letter case) are replaced by the launch's values.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace srdw {

// The values of the placeholders for one launch. The launch may change them
// between install and restore ("/edit" leaves the command line before the game
// starts), so they are handed over with each walk, not kept.
struct Placeholders {
    std::string_view rootDir;      // "@rootdir": the directory of the game executable
    std::string_view commandLine;  // "@cmdline": trimmed and lower-cased
};

inline constexpr std::size_t kMaxExpandedPath = 511;

// None when it would be longer than kMaxExpandedPath.
std::optional<std::string> ExpandArgument(std::string_view source, std::string_view rootDir,
                                          std::string_view commandLine);

}  // namespace srdw
