// The two stages of reading a script: cleaning the file's bytes down to the
// significant characters, and cutting the clean text into calls.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace srdw {

// A call has room for this many arguments; further ones are ignored.
inline constexpr std::size_t kMaxArguments = 16;

// One parsed call. Name and arguments are views into the clean text, quotes
// included.
struct ScriptCommand {
    std::string_view name;
    std::span<const std::string_view> args;

    // The argument at `index`, or empty when the call had fewer.
    std::string_view Arg(std::size_t index) const {
        return index < args.size() ? args[index] : std::string_view();
    }
};

// Drops blanks, control characters, bytes at or above 0x80 and "//" comments,
// keeping quoted runs unchanged. Writes at most source.size() bytes to `out` and
// returns how many; none when a quoted run is not closed.
std::optional<std::size_t> CleanScriptText(std::string_view source, char* out);

// Replaces `commands` with the calls of clean text, "name(arg,arg,...)" separated
// by optional ";".
// The commands' arguments are stored in `arguments`, which must not change while
// the commands are used. Returns false at a call without "(" or ")"; the calls
// before it are kept.
bool ParseCalls(std::string_view text, std::vector<ScriptCommand>& commands,
                std::vector<std::string_view>& arguments);

}  // namespace srdw
