#include "script/PathExpansion.h"

#include <algorithm>

#include "platform/AsciiCase.h"

namespace srdw {

std::optional<std::string> ExpandArgument(std::string_view source, std::string_view rootDir,
                                          std::string_view commandLine) {
    constexpr std::size_t kPlaceholderLength = 8;
    std::string result;
    result.reserve(source.size() + rootDir.size());  // one placeholder's worth, as most have
    for (std::size_t i = 0; i < source.size();) {
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
            // Up to the next quote or "@", in one piece.
            const auto* const end = std::find_if(rest.begin() + 1, rest.end(),
                                                 [](char c) { return c == '"' || c == '@'; });
            result.append(rest.begin(), end);
            i += static_cast<std::size_t>(end - rest.begin());
        }
        if (result.size() > kMaxExpandedPath) {
            return std::nullopt;
        }
    }
    return result;
}

}  // namespace srdw
