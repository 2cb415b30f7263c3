#include "script/ScriptText.h"

#include <cstring>

#include "platform/Memory.h"

namespace srdw {

namespace {

// Copies what the scan keeps into the working buffer.
struct CleanTextWriter {
    const char* source;
    char* cursor;

    void Keep(std::size_t at) { *cursor++ = source[at]; }
    void Quoted(std::size_t at, std::size_t length) {
        std::memmove(cursor, source + at, length);  // cleaning in place overlaps
        cursor += length;
    }
    void Comment(std::size_t, std::size_t) {}
};

// Room for `count` elements in one block, asked for in huge pages before it is
// first touched: grown step by step, a vector touches about twice its final
// memory, and in a fresh process every page of it costs a fault.
template <typename T>
void ReserveFresh(std::vector<T>& elements, std::size_t count) {
    if (count > elements.capacity()) {
        elements.reserve(count);
        PreferHugePages(elements.data(), elements.capacity() * sizeof(T));
    }
}

// How often `c` occurs in the text, found by memchr: scripts hold it a few
// times a line, and a byte-by-byte count would take longer than the parse.
std::size_t Occurrences(std::string_view text, char c) {
    std::size_t count = 0;
    const char* end = text.data() + text.size();
    for (const char* at = text.data();
         (at = static_cast<const char*>(std::memchr(at, c, static_cast<std::size_t>(end - at))));
         ++at) {
        ++count;
    }
    return count;
}

}  // namespace

std::optional<std::size_t> CleanScriptText(std::string_view source, char* out) {
    CleanTextWriter writer{source.data(), out};
    if (ScanScriptText(source, writer)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(writer.cursor - out);
}

std::size_t ParseCalls(std::string_view text, std::vector<ScriptCommand>& commands,
                       std::vector<std::string_view>& arguments) {
    commands.clear();
    arguments.clear();
    // Every call has a "(", and every argument after a call's first a ",":
    // counted first, so that each list is made once, at its full size. Never
    // grown after, the arguments stay where the commands' spans view them.
    const std::size_t calls = Occurrences(text, '(');
    ReserveFresh(commands, calls);
    ReserveFresh(arguments, calls + Occurrences(text, ','));

    std::size_t position = 0;
    while (position < text.size()) {
        const auto open = text.find('(', position);
        const auto close = text.find(')', open + 1);
        if (open == std::string_view::npos || close == std::string_view::npos) {
            break;
        }
        const std::size_t firstArgument = arguments.size();

        std::string_view list = text.substr(open + 1, close - open - 1);
        if (close > open + 1) {
            std::size_t count = 0;
            for (;;) {
                const auto comma = list.find(',');
                if (count++ < kMaxArguments) {
                    // An argument ends at a NUL, which only a quoted run keeps.
                    const std::string_view argument = list.substr(0, comma);
                    arguments.push_back(argument.substr(0, argument.find('\0')));
                }
                if (comma == std::string_view::npos) {
                    break;
                }
                list.remove_prefix(comma + 1);
            }
        }
        commands.push_back(ScriptCommand{text.substr(position, open - position),
                                         std::span(arguments).subspan(firstArgument)});
        position = close + 1;
        while (position < text.size() && text[position] == ';') {
            ++position;
        }
    }
    return position;
}

}  // namespace srdw
