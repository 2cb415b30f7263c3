// Small text operations on launcher paths.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace srdw {

// Paths are cut to what a 260-character buffer holds with its terminator.
inline constexpr std::size_t kMaxPath = 259;

// The directory part of a path: cut at the last backslash or, when there is none,
// at the last slash; empty when there is no separator. At most 259 characters of
// the path are looked at.
inline std::string DirectoryOf(std::string_view path) {
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

// The path with the extension of its file name replaced by `extension`; a file
// name without "." gets "." and the extension appended. A "." in a directory
// name is never taken for an extension.
inline std::string ReplaceExtension(std::string_view path, std::string_view extension) {
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

// The directory to make current for `directory`: a bare drive ("C:") is its
// root ("C:\"), not the drive's current directory.
inline std::string DirectoryToEnter(const std::string& directory) {
    return directory.size() == 2 && directory[1] == ':' ? directory + "\\" : directory;
}

}  // namespace srdw
