#include "script/ScriptText.h"

#include <cstring>

namespace srdw {

namespace {

// Copies what the scan keeps into the working buffer.
struct CleanTextWriter {
    const char* source;
    char* cursor;

    void Keep(std::size_t at) { *cursor++ = source[at]; }
    void Quoted(std::size_t at, std::size_t length) {
        std::memcpy(cursor, source + at, length);
        cursor += length;
    }
    void Comment(std::size_t, std::size_t) {}
    void UnclosedQuote(std::size_t) {}
};

}  // namespace

std::optional<std::size_t> CleanScriptText(std::string_view source, char* out) {
    CleanTextWriter writer{source.data(), out};
    if (!ScanScriptText(source, writer)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(writer.cursor - out);
}

bool ParseCalls(std::string_view text, std::vector<ScriptCommand>& commands,
                std::vector<std::string_view>& arguments) {
    commands.clear();
    arguments.clear();
    // Spans are bound once all arguments are stored, since storing moves them.
    std::vector<std::size_t> firstArgument;
    const auto bindArguments = [&] {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            const std::size_t end =
                c + 1 < commands.size() ? firstArgument[c + 1] : arguments.size();
            commands[c].args =
                std::span(arguments).subspan(firstArgument[c], end - firstArgument[c]);
        }
    };

    std::size_t position = 0;
    while (position < text.size()) {
        const auto open = text.find('(', position);
        if (open == std::string_view::npos) {
            bindArguments();
            return false;
        }
        const auto close = text.find(')', open + 1);
        if (close == std::string_view::npos) {
            bindArguments();
            return false;
        }
        commands.push_back(ScriptCommand{text.substr(position, open - position), {}});
        firstArgument.push_back(arguments.size());

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
        position = close + 1;
        while (position < text.size() && text[position] == ';') {
            ++position;
        }
    }
    bindArguments();
    return true;
}

}  // namespace srdw
