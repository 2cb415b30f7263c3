#include "platform/posix/WindowsCommandLine.h"

#include <algorithm>
#include <utility>

namespace srdw::posix {

std::vector<std::string> SplitWindowsCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (std::exchange(inArgument, false)) {
                arguments.push_back(std::exchange(current, {}));
            }
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            const std::size_t end = std::min(text.find_first_not_of('\\', i), text.size());
            const bool beforeQuote = end < text.size() && text[end] == '"';
            current.append(beforeQuote ? (end - i) / 2 : end - i, '\\');
            const bool literalQuote = beforeQuote && (end - i) % 2 == 1;
            if (literalQuote) {
                current.push_back('"');
            }
            i = literalQuote ? end : end - 1;  // an even run leaves the quote to open or close
        } else if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
            current.push_back('"');
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            current.push_back(c);
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

}  // namespace srdw::posix
