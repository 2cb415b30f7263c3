#include "script/ScriptText.h"

#include <cstring>

namespace srdw {

std::optional<std::size_t> CleanScriptText(std::string_view source, char* out) {
    const std::size_t size = source.size();
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < size) {
        const auto byte = static_cast<unsigned char>(source[i]);
        if (byte == '"') {
            const auto closing = source.find('"', i + 1);
            if (closing == std::string_view::npos) {
                return std::nullopt;
            }
            const std::size_t runLength = closing + 1 - i;
            std::memcpy(out + written, source.data() + i, runLength);
            written += runLength;
            i = closing + 1;
        } else if (byte == '/' && i + 1 < size && source[i + 1] == '/') {
            // A comment runs to the first CR or LF, which goes with it.
            std::size_t lineEnd = i + 2;
            while (lineEnd < size && source[lineEnd] != '\r' && source[lineEnd] != '\n') {
                ++lineEnd;
            }
            i = lineEnd < size ? lineEnd + 1 : size;
        } else {
            if (byte > 0x20 && byte < 0x80) {
                out[written++] = static_cast<char>(byte);
            }
            ++i;
        }
    }
    return written;
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
                    arguments.push_back(list.substr(0, comma));
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
