// Paths as the system under the launcher resolves them, for the engine and for
// every model of a folder: relative to the current directory, "." and ".."
// folded, either slash a separator, letter case ignored as the file system
// ignores it. On Windows a path may start with a drive ("C:\", "C:"), a UNC
// share ("\\server\share") or a lone separator (the current drive's root);
// elsewhere only a leading separator makes it absolute, and "C:" is a name.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace srdw {

#ifdef _WIN32
inline constexpr bool kWindowsPaths = true;
#else
inline constexpr bool kWindowsPaths = false;
#endif

inline constexpr char kSeparator = kWindowsPaths ? '\\' : '/';

struct ResolvedPath {
    std::string root;  // "C:", "\\server\share" or "" (the POSIX root)
    std::vector<std::string> parts;

    std::string Text() const;  // with the platform's separator
};

// `path` made absolute against `directory`, itself absolute.
ResolvedPath Resolve(const ResolvedPath& directory, std::string_view path);
ResolvedPath ResolveAbsolute(std::string_view path);

// "C:\Games" or "C:Games".
bool NamesDrive(std::string_view path);

// `path` relative to `base` when it lies below it ("Data\\Sky.pak"), empty for
// `base` itself, and the whole path when it lies elsewhere.
std::string RelativePath(const ResolvedPath& path, const ResolvedPath& base);
bool IsWithin(const ResolvedPath& path, const ResolvedPath& directory);
// The same for two resolved texts compared as given: keys, or paths as spelled.
inline bool IsAtOrBelow(std::string_view path, std::string_view folder) {
    return path.starts_with(folder) &&
           (path.size() == folder.size() || folder.ends_with(kSeparator) ||
            path[folder.size()] == kSeparator);
}
// Whether two names are one to the file system when only one of them is there.
bool SameName(std::string_view a, std::string_view b);
// Whether two names of things that are there are the same name as the file
// system holding them compares names: letter case aside on Windows, byte for
// byte elsewhere, where the launcher only finds names as Windows would.
inline bool SameFileSystemName(std::string_view a, std::string_view b) {
    return kWindowsPaths ? SameName(a, b) : a == b;
}

// Where the last part of a path as written starts: after its last separator
// of either kind, 0 without one.
inline std::size_t NameStart(std::string_view path) {
    // Looked for byte by byte from the end: find_last_of asks memchr of each byte.
    const auto last =
        std::find_if(path.rbegin(), path.rend(), [](char c) { return c == '\\' || c == '/'; });
    return static_cast<std::size_t>(path.rend() - last);
}

// Letter case folded, and in a path as written separators too.
std::string PathKey(const ResolvedPath& path);
std::string PathKey(std::string_view path);

// Joined as written; a path this system takes as absolute stays as it is.
bool IsFullPath(std::string_view path);
std::string FullPath(const std::string& path, const std::string& directory);
std::string FullPathWithSeparators(const std::string& path, const std::string& directory);

}  // namespace srdw
