#include "platform/posix/CaseInsensitivePath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace srdw::posix {

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// The entry of `directory` named `name` in another letter case; the first in
// byte order when several match, so the choice does not depend on the disk.
std::optional<std::string> FindIgnoringCase(const std::string& directory, std::string_view name) {
    DIR* stream = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!stream) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string_view candidate(entry->d_name);
        if (EqualIgnoringCase(candidate, name) && (!found || candidate < *found)) {
            found = std::string(candidate);
        }
    }
    ::closedir(stream);
    return found;
}

std::string Join(const std::string& directory, std::string_view name) {
    if (directory.empty()) {
        return std::string(name);
    }
    std::string joined = directory;
    if (joined.back() != '/') {
        joined.push_back('/');
    }
    joined.append(name);
    return joined;
}

}  // namespace

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&lower](char x, char y) { return lower(x) == lower(y); });
}

std::string NativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string ResolveCase(std::string_view path) {
    std::string native = NativePath(path);
    if (native.empty() || Exists(native)) {
        return native;
    }
    std::string resolved = native.front() == '/' ? "/" : "";
    std::string_view rest(native);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty()) {
            continue;
        }
        std::string exact = Join(resolved, component);
        if (component == "." || component == ".." || Exists(exact)) {
            resolved = std::move(exact);
        } else if (auto match = FindIgnoringCase(resolved, component)) {
            resolved = Join(resolved, *match);
        } else {
            // Nothing deeper can exist: keep the rest as spelled.
            resolved = std::move(exact);
            if (!rest.empty()) {
                resolved = Join(resolved, rest);
            }
            break;
        }
    }
    if (native.back() == '/' && resolved.back() != '/') {
        resolved.push_back('/');
    }
    return resolved;
}

}  // namespace srdw::posix
