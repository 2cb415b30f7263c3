#include "script/PathExpansion.h"

#include <algorithm>

#include "platform/AsciiCase.h"

namespace srdw {

namespace {

constexpr std::size_t kPlaceholderLength = 8;

}  // namespace

std::optional<std::string> ExpandArgument(std::string_view source, std::string_view rootDir,
                                          std::string_view commandLine) {
    std::string result;
    std::size_t i = 0;
    while (i < source.size()) {
        const auto special = std::min(source.find_first_of("\"@", i), source.size());
        result.append(source.substr(i, special - i));
        i = special;
        if (i < source.size()) {
            const std::string_view rest = source.substr(i);
            if (rest.front() == '"') {
                ++i;
            } else if (StartsWithIgnoringCase(rest, "@rootdir")) {
                result.append(rootDir);
                i += kPlaceholderLength;
            } else if (StartsWithIgnoringCase(rest, "@cmdline")) {
                result.append(commandLine);
                i += kPlaceholderLength;
            } else {
                result.push_back('@');
                ++i;
            }
        }
        if (result.size() > kMaxExpandedPath) {
            return std::nullopt;
        }
    }
    return result;
}

}  // namespace srdw
