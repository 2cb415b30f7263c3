#include "platform/posix/CaseInsensitivePath.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/posix/ListingCache.h"
#include "platform/posix/SystemCalls.h"

namespace srdw::posix {

namespace {

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

bool IsDirectory(const std::string& path, struct stat& info) {
    return sys::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A native path taken apart at its separators; empty parts ("a//b") are left out.
struct PathParts {
    explicit PathParts(std::string_view native)
        : spelling(native),
          absolute(!native.empty() && native.front() == '/'),
          trailingSlash(!native.empty() && native.back() == '/') {
        for (std::string_view rest = native; !rest.empty();) {
            const auto slash = rest.find('/');
            if (slash != 0) {
                parts.push_back(rest.substr(0, slash));
            }
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
    }

    // The first `count` parts as the path spells them.
    std::string_view Leading(std::size_t count) const {
        if (count == 0) {
            return absolute ? "/" : "";
        }
        const std::string_view last = parts[count - 1];
        return spelling.substr(
            0, static_cast<std::size_t>(last.data() - spelling.data()) + last.size());
    }

    std::string_view spelling;
    bool absolute;
    bool trailingSlash;
    std::vector<std::string_view> parts;
};

// The look-ups of one batch. A directory is resolved once, however many of the
// batch's paths lie in it or below it.
class Resolver {
  public:
    PathLookup LookUp(std::string_view path) {
        const std::string native = NativePath(path);
        const PathParts parts(native);
        PathLookup found;
        if (parts.parts.empty()) {  // "" or the root
            found.path = native;
            found.exists = !native.empty() && sys::lstat(native.c_str(), &found.status) == 0;
            return found;
        }
        const Directory& directory = DirectoryOf(parts, parts.parts.size() - 1);
        const std::string_view leaf = parts.parts.back();
        const auto match = Match(directory, leaf);
        found.path = Join(directory.resolved, match ? std::string_view(*match) : leaf);
        if (parts.trailingSlash) {
            found.path.push_back('/');
        }
        // The listing is right as of the last notice; the file system as of now.
        found.exists = match && sys::lstat(found.path.c_str(), &found.status) == 0;
        return found;
    }

  private:
    struct Directory {
        std::string resolved;  // empty for the current directory
        bool listed = false;   // it is a directory, or a link to one
        struct stat info {};   // stat of it, when listed
    };

    // The directory that the path's first `count` parts name. Mostly it is
    // there as spelled, and one stat says so; else its parent is resolved and
    // the last part looked up there.
    const Directory& DirectoryOf(const PathParts& parts, std::size_t count) {
        std::string spelled(parts.Leading(count));
        if (const auto known = directories_.find(spelled); known != directories_.end()) {
            return known->second;
        }
        Directory directory;
        if (count == 0) {
            directory.listed = IsDirectory(parts.absolute ? "/" : ".", directory.info);
            directory.resolved = spelled;
        } else if (sys::stat(spelled.c_str(), &directory.info) == 0) {
            directory.listed = S_ISDIR(directory.info.st_mode);
            directory.resolved = spelled;
        } else {
            const Directory& parent = DirectoryOf(parts, count - 1);
            const std::string_view part = parts.parts[count - 1];
            const auto match = Match(parent, part);
            directory.resolved = Join(parent.resolved, match ? std::string_view(*match) : part);
            directory.listed = match && IsDirectory(directory.resolved, directory.info);
        }
        // The map's elements stay where they are as it grows.
        return directories_.emplace(std::move(spelled), std::move(directory)).first->second;
    }

    // The entry of `directory` that `name` means; none when nothing can be
    // below the directory or it holds the name in no letter case.
    std::optional<std::string> Match(const Directory& directory, std::string_view name) {
        if (!directory.listed) {
            return std::nullopt;
        }
        if (name == "." || name == "..") {
            return std::string(name);
        }
        return listings_.Find(directory.resolved.empty() ? "." : directory.resolved, directory.info,
                              name);
    }

    ListingPass listings_;
    std::unordered_map<std::string, Directory> directories_;  // by their spelling
};

}  // namespace

std::string NativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::vector<PathLookup> LookUpPaths(std::span<const std::string> paths) {
    Resolver resolver;
    std::vector<PathLookup> found;
    found.reserve(paths.size());
    for (const std::string& path : paths) {
        found.push_back(resolver.LookUp(path));
    }
    return found;
}

PathLookup LookUpPath(std::string_view path) {
    const std::string one(path);
    return std::move(LookUpPaths(std::span(&one, 1)).front());
}

std::string ResolveCase(std::string_view path) {
    return std::move(LookUpPath(path).path);
}

}  // namespace srdw::posix
