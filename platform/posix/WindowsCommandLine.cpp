#include "platform/posix/WindowsCommandLine.h"

namespace srdw::posix {

std::vector<std::string> SplitWindowsCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument) {
                arguments.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t backslashes = 0;
            while (i < text.size() && text[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < text.size() && text[i] == '"') {
                current.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    current.push_back('"');
                    ++i;
                }
            } else {
                current.append(backslashes, '\\');
            }
        } else if (c == '"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                current.push_back('"');
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            current.push_back(c);
            ++i;
        }
    }
    if (inArgument) {
        arguments.push_back(std::move(current));
    }
    return arguments;
}

}  // namespace srdw::posix
