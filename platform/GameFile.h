// The game's executable, as the choosers of every platform accept it.
#pragma once

#include <string_view>

#include "platform/AsciiCase.h"

namespace srdw {

// Whether the path's file name (after its last slash or backslash, if any) is
// the game's, in any letter case. Only A to Z are folded: the answer must not
// depend on the user's locale, and the game's name has no other letters.
constexpr bool IsGameFileName(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return EqualIgnoringCase(slash == std::string_view::npos ? path : path.substr(slash + 1),
                             "srend.exe");
}

}  // namespace srdw
