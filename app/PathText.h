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
std::string DirectoryOf(std::string_view path);

// The path with the extension of its file name replaced by `extension`; a file
// name without "." gets "." and the extension appended. A "." in a directory
// name is never taken for an extension.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

// The directory to make current for `directory`: a bare drive ("C:") is its
// root ("C:\"), not the drive's current directory.
inline std::string DirectoryToEnter(const std::string& directory) {
    return directory.size() == 2 && directory[1] == ':' ? directory + "\\" : directory;
}

// The run log's path for a launcher at `ownPath`: its extension replaced by "log".
inline std::string LogPathFor(std::string_view ownPath) {
    return ReplaceExtension(ownPath, "log");
}

}  // namespace srdw
