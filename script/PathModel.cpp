#include "script/PathModel.h"

#include <algorithm>

#include "platform/NameCase.h"

namespace srdw {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool StartsWithSeparator(std::string_view path) {
    return !path.empty() && IsSeparator(path[0]);
}

void AppendParts(ResolvedPath& resolved, std::string_view path) {
    while (!path.empty()) {
        const std::string_view part = path.substr(0, path.find_first_of("\\/"));
        if (part == "..") {
            if (!resolved.parts.empty()) {
                resolved.parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            resolved.parts.emplace_back(part);
        }
        path.remove_prefix(std::min(part.size() + 1, path.size()));
    }
}

}  // namespace

std::string ResolvedPath::Text() const {
    std::size_t size = root.size() + std::max<std::size_t>(parts.size(), 1);
    for (const auto& part : parts) {
        size += part.size();
    }
    std::string text;
    text.reserve(size);
    text = root;
    for (const auto& part : parts) {
        text += kSeparator;
        text += part;
    }
    if (parts.empty()) {
        text += kSeparator;
    }
    return text;
}

ResolvedPath Resolve(const ResolvedPath& directory, std::string_view path) {
    ResolvedPath resolved;
    if (kWindowsPaths && path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // The root is "\\server\share", the rest of the path after it.
        const auto server = path.find_first_of("\\/", 2);
        const auto end = std::min(
            server == std::string_view::npos ? server : path.find_first_of("\\/", server + 1),
            path.size());
        resolved.root = path.substr(0, end);
        std::ranges::replace(resolved.root, '/', '\\');
        path.remove_prefix(end);
    } else if (kWindowsPaths && NamesDrive(path)) {
        if (SameName(directory.root, path.substr(0, 2)) && !StartsWithSeparator(path.substr(2))) {
            resolved = directory;  // "C:name" is relative to the drive's current directory
        } else {
            resolved.root = std::string(path.substr(0, 2));
        }
        path.remove_prefix(2);
    } else if (StartsWithSeparator(path)) {
        resolved.root = directory.root;
    } else {
        resolved = directory;
    }
    AppendParts(resolved, path);
    return resolved;
}

ResolvedPath ResolveAbsolute(std::string_view path) {
    return Resolve(ResolvedPath{}, path);
}

bool NamesDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string RelativePath(const ResolvedPath& path, const ResolvedPath& base) {
    if (!IsWithin(path, base)) {
        return path.Text();
    }
    std::string text;
    for (std::size_t i = base.parts.size(); i < path.parts.size(); ++i) {
        text += text.empty() ? "" : std::string(1, kSeparator);
        text += path.parts[i];
    }
    return text;
}

bool IsWithin(const ResolvedPath& path, const ResolvedPath& directory) {
    return IsAtOrBelow(PathKey(path), PathKey(directory));
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           (a == b || FoldNameCase(std::string(a)) == FoldNameCase(std::string(b)));
}

std::string PathKey(const ResolvedPath& path) {
    return FoldNameCase(path.Text());
}

std::string PathKey(std::string_view path) {
    std::string key = FoldNameCase(std::string(path));
    // Found by memchr: a path holds a few slashes at most.
    for (auto slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash)) {
        key[slash] = '\\';
    }
    return key;
}

bool IsFullPath(std::string_view path) {
    return StartsWithSeparator(path) || (kWindowsPaths && NamesDrive(path));
}

std::string FullPath(const std::string& path, const std::string& directory) {
    if (IsFullPath(path)) {
        return path;
    }
    std::string full;
    full.reserve(directory.size() + 1 + path.size());
    full = directory;
    if (!full.empty() && !IsSeparator(full.back())) {
        full.push_back('\\');
    }
    full += path;
    return full;
}

std::string FullPathWithSeparators(const std::string& path, const std::string& directory) {
    std::string full = FullPath(path, directory);
    // Found by memchr: a path holds a few such separators at most.
    constexpr char kOther = kWindowsPaths ? '/' : '\\';
    for (auto at = full.find(kOther); at != std::string::npos; at = full.find(kOther, at)) {
        full[at] = kSeparator;
    }
    return full;
}

}  // namespace srdw
