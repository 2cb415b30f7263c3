// Small text operations on launcher paths.
#pragma once

#include <string>
#include <string_view>

namespace srdw {

// Paths are cut to what a 260-character buffer holds with its terminator.
inline constexpr std::size_t kMaxPath = 259;

// The directory part of a path: cut at the last backslash or, when there is none,
// at the last slash; empty when there is no separator. At most 259 characters of
// the path are looked at.
inline std::string DirectoryOf(std::string_view path) {
    path = path.substr(0, kMaxPath);
    auto separator = path.rfind('\\');
    if (separator == std::string_view::npos) {
        separator = path.rfind('/');
    }
    return separator == std::string_view::npos ? std::string()
                                               : std::string(path.substr(0, separator));
}

// The path with the extension of its file name replaced by `extension`; a file
// name without "." gets "." and the extension appended. A "." in a directory
// name is never taken for an extension.
inline std::string ReplaceExtension(std::string_view path, std::string_view extension) {
    const auto nameStart = path.find_last_of("\\/") + 1;  // 0 without a separator
    const auto dot = path.rfind('.');
    const auto stem = dot != std::string_view::npos && dot >= nameStart ? dot : path.size();
    return std::string(path.substr(0, stem)).append(".").append(extension);
}

// The directory to make current for `directory`: a bare drive ("C:") is its
// root ("C:\"), not the drive's current directory.
inline std::string DirectoryToEnter(const std::string& directory) {
    return directory.size() == 2 && directory[1] == ':' ? directory + "\\" : directory;
}

}  // namespace srdw
