// The two stages of reading a script: cleaning the file's bytes down to the
// significant characters, and cutting the clean text into calls.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace srdw {

// Further arguments are ignored.
inline constexpr std::size_t kMaxArguments = 16;

// One parsed call. Name and arguments are views into the clean text, quotes
// included.
struct ScriptCommand {
    std::string_view name;
    std::span<const std::string_view> args;

    // Empty when the call had fewer.
    std::string_view Arg(std::size_t index) const {
        return index < args.size() ? args[index] : std::string_view();
    }
};

// Walks a script's bytes the way the launcher reads them and tells `reader`
// what becomes of each: reader.Keep(at) for a significant byte, reader.Quoted(at,
// length) for a quoted run, kept whole with its quotes, reader.Comment(at, end)
// for a "//" comment with the line end that goes with it. Blanks, control
// characters and bytes at or above 0x80 are dropped silently. A quote that is
// never closed ends the walk: returns its offset then.
template <typename Reader>
std::optional<std::size_t> ScanScriptText(std::string_view source, Reader& reader) {
    const std::size_t size = source.size();
    // Where the next LF at or after a comment is (size: none). A script of CR
    // line ends has none, and one search says so for every comment after it.
    std::size_t nextLineFeed = 0;
    bool lineFeedKnown = false;
    std::size_t i = 0;
    while (i < size) {
        const auto byte = static_cast<unsigned char>(source[i]);
        if (byte == '"') {
            const auto closing = source.find('"', i + 1);
            if (closing == std::string_view::npos) {
                return i;
            }
            reader.Quoted(i, closing + 1 - i);
            i = closing + 1;
        } else if (byte == '/' && i + 1 < size && source[i + 1] == '/') {
            // A comment runs to the first CR or LF, which goes with it: the LF
            // found with one memchr, a CR before it with a second.
            const std::size_t from = i + 2;
            if (!lineFeedKnown || nextLineFeed < from) {
                const void* lf = std::memchr(source.data() + from, '\n', size - from);
                nextLineFeed =
                    lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - source.data())
                       : size;
                lineFeedKnown = true;
            }
            const void* cr = std::memchr(source.data() + from, '\r', nextLineFeed - from);
            const std::size_t lineEnd =
                cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - source.data())
                   : nextLineFeed;
            const std::size_t end = lineEnd < size ? lineEnd + 1 : size;
            reader.Comment(i, end);
            i = end;
        } else {
            if (byte > 0x20 && byte < 0x80) {
                reader.Keep(i);
            }
            ++i;
        }
    }
    return std::nullopt;
}

// Drops blanks, control characters, bytes at or above 0x80 and "//" comments,
// keeping quoted runs unchanged. Writes at most source.size() bytes to `out` and
// returns how many; none when a quoted run is not closed. `out` may be
// source.data() itself: no byte is written before it has been read.
std::optional<std::size_t> CleanScriptText(std::string_view source, char* out);

// Replaces `commands` with the calls of clean text, "name(arg,arg,...)" separated
// by optional ";". An argument ends at its first NUL byte.
// The commands' arguments are stored in `arguments`, which must not change while
// the commands are used. Returns how far the calls reach: the end of the text,
// or the start of a call without "(" or ")", where the parse stops and the
// calls before it are kept.
std::size_t ParseCalls(std::string_view text, std::vector<ScriptCommand>& commands,
                       std::vector<std::string_view>& arguments);

}  // namespace srdw
