#include "app/PathText.h"

#include <algorithm>

namespace srdw {

std::string DirectoryOf(std::string_view path) {
    path = path.substr(0, std::min(path.size(), kMaxPath));
    auto separator = path.rfind('\\');
    if (separator == std::string_view::npos) {
        separator = path.rfind('/');
    }
    if (separator == std::string_view::npos) {
        return {};
    }
    return std::string(path.substr(0, separator));
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
    const auto nameStart = path.find_last_of("\\/");
    const auto dot = path.rfind('.');
    std::string result;
    if (dot != std::string_view::npos && (nameStart == std::string_view::npos || dot > nameStart)) {
        result.assign(path.substr(0, dot + 1));
    } else {
        result.assign(path);
        result.push_back('.');
    }
    result.append(extension);
    return result;
}

}  // namespace srdw
