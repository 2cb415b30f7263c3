#include "script/PathExpansion.h"

#include "platform/AsciiCase.h"

namespace srdw {

namespace {

constexpr std::size_t kPlaceholderLength = 8;

}  // namespace

std::optional<std::string> ExpandArgument(std::string_view source, std::string_view rootDir,
                                          std::string_view commandLine) {
    std::string result;
    for (std::size_t i = 0; i < source.size();) {
        const std::string_view rest = source.substr(i);
        if (rest.front() == '"') {
            ++i;
        } else if (rest.front() == '@' && StartsWithIgnoringCase(rest, "@rootdir")) {
            result.append(rootDir);
            i += kPlaceholderLength;
        } else if (rest.front() == '@' && StartsWithIgnoringCase(rest, "@cmdline")) {
            result.append(commandLine);
            i += kPlaceholderLength;
        } else {
            result.push_back(rest.front());
            ++i;
        }
        if (result.size() > kMaxExpandedPath) {
            return std::nullopt;
        }
    }
    return result;
}

}  // namespace srdw
