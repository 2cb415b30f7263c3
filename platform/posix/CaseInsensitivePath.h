// Game files and scripts are written for Windows: backslashes separate, and names
// match without regard to letter case. These turn such a path into the POSIX path
// of what exists.
#pragma once

#include <string>
#include <string_view>

namespace srdw::posix {

// Whether two names are the same when A to Z count as a to z (and nothing else).
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Backslashes become slashes; nothing else changes.
std::string NativePath(std::string_view path);

// The native path with each component that does not exist as spelled replaced by
// an entry of its directory with the same name in another letter case (ASCII). An
// exact match is tried first, so the common case costs one lookup. Components
// from the first one that exists in no letter case on are kept as spelled.
std::string ResolveCase(std::string_view path);

}  // namespace srdw::posix
