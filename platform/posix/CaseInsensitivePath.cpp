#include "platform/posix/CaseInsensitivePath.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "platform/AsciiCase.h"
#include "platform/NameCase.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

// As a listing matches a name: other bytes, UTF-8's among them, are themselves.
std::string FoldNameCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
    return text;
}

}  // namespace srdw

namespace srdw::posix {

namespace {

// Backslashes become slashes; nothing else changes.
std::string NativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string Join(std::string_view directory, std::string_view name) {
    std::string joined(directory);
    if (!joined.empty() && joined.back() != '/') {
        joined.push_back('/');
    }
    return joined.append(name);
}

// A path and its last part: "/a/b" is "/a" and "b", "/b" is "/" and "b".
std::pair<std::string_view, std::string_view> Split(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {{}, path};
    }
    return {path.substr(0, std::max<std::size_t>(slash, 1)), path.substr(slash + 1)};
}

// The spelling a directory's listing is kept under: absolute, without empty
// or "." parts. A ".." stays: the system resolves it past links.
std::string Key(std::string_view path) {
    std::string key = path.starts_with('/') ? std::string() : WorkingDirectory();
    if (key == "/") {
        key.clear();
    }
    key.reserve(key.size() + path.size() + 1);
    for (std::string_view rest = path; !rest.empty();) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (!part.empty() && part != ".") {
            key.append("/").append(part);
        }
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return key.empty() ? "/" : key;
}

bool IsAtOrBelow(std::string_view path, std::string_view key) {
    return path.starts_with(key) &&
           (path.size() == key.size() || key == "/" || path[key.size()] == '/');
}

// A name as a listing keeps it: after its folded spelling, so that the
// spellings of one name stand together, in byte order.
using Entry = std::pair<std::string, std::string>;

Entry EntryOf(std::string_view name) {
    return {FoldNameCase(std::string(name)), std::string(name)};
}

// The names of one directory.
struct Listing {
    std::set<Entry> names;
    dev_t device = 0;  // the directory itself, which more than one path may lead to
    ino_t inode = 0;

    // `name` as spelled when it is there, else its first spelling.
    std::optional<std::string> Find(std::string_view name) const {
        Entry wanted = EntryOf(name);
        if (names.contains(wanted)) {
            return wanted.second;
        }
        wanted.second.clear();
        const auto first = names.lower_bound(wanted);
        return first != names.end() && first->first == wanted.first
                   ? std::optional<std::string>(first->second)
                   : std::nullopt;
    }
};

// A directory as found: its path with each part as stored (from the first
// one that is there in no letter case on, as spelled), and its names; none
// where it is no directory that can be read.
struct Folder {
    std::string path;
    Listing* listing = nullptr;
};

// The launcher works in a handful of directories; a process that wanders
// through many starts afresh rather than keeping them all.
constexpr std::size_t kMaxListings = 64;

std::map<std::string, Listing> listings;  // by the key of the directory's path

// The names of the directory, read now when they are not kept yet; none,
// with errno set, where it is no directory that can be read.
Listing* ListingOf(const std::string& directory) {
    std::string key = Key(directory);
    if (const auto kept = listings.find(key); kept != listings.end()) {
        return &kept->second;
    }
    UniqueFd fd(sys::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    struct stat info;
    if (!fd.IsValid() || sys::fstat(fd.Get(), &info) != 0) {
        return nullptr;
    }
    DIR* stream = sys::fdopendir(fd.Get());
    if (!stream) {
        return nullptr;
    }
    fd.Release();  // the stream owns it now
    Listing listing{{}, info.st_dev, info.st_ino};
    while (const dirent* entry = sys::readdir(stream)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            listing.names.insert(EntryOf(name));
        }
    }
    sys::closedir(stream);
    return &listings.emplace(std::move(key), std::move(listing)).first->second;
}

// The absolute `directory`: as spelled where it is there so, else its
// parent's entry of the same name in another letter case.
Folder FolderOf(std::string_view directory) {
    while (directory.size() > 1 && directory.back() == '/') {
        directory.remove_suffix(1);  // "a//b" has a part "a/" above "b"
    }
    Folder folder{std::string(directory), ListingOf(std::string(directory))};
    if (folder.listing || errno != ENOENT || directory == "/") {
        return folder;
    }
    const auto [above, name] = Split(directory);
    const Folder parent = FolderOf(above);
    std::optional<std::string> match;
    if (parent.listing) {
        match = name == "." || name == ".." ? std::string(name) : parent.listing->Find(name);
    }
    folder.path = Join(parent.path, match ? std::string_view(*match) : name);
    if (match) {
        folder.listing = ListingOf(folder.path);
    }
    return folder;
}

// The absolute `native`, which is not there as spelled.
PathLookup LookUpAbsolute(const std::string& native) {
    PathLookup found{native};
    std::string_view spelled = native;
    while (spelled.size() > 1 && spelled.back() == '/') {
        spelled.remove_suffix(1);
    }
    const std::string_view trailing = std::string_view(native).substr(spelled.size());
    const auto [directory, name] = Split(spelled);
    Folder folder = FolderOf(directory);
    const bool dots = name == "." || name == "..";
    while (folder.listing) {
        const auto match = dots ? std::optional<std::string>(name) : folder.listing->Find(name);
        if (!match) {
            break;
        }
        found.path = Join(folder.path, *match).append(trailing);
        if (found.path != native && sys::lstat(found.path.c_str(), &found.status) == 0) {
            found.exists = true;
            return found;
        }
        if (dots || (found.path != native && errno != ENOENT)) {
            return found;
        }
        // Gone since the listing was read.
        folder.listing->names.erase(EntryOf(*match));
    }
    found.path = Join(folder.path, name).append(trailing);
    return found;
}

}  // namespace

std::string WorkingDirectory() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

PathLookup LookUpPath(std::string_view path) {
    if (listings.size() > kMaxListings) {
        ForgetDirectoryListings();
    }
    PathLookup found{NativePath(path)};
    if (found.path.empty()) {
        return found;
    }
    // A name there as spelled needs no listing, nor the working directory.
    if (sys::lstat(found.path.c_str(), &found.status) == 0) {
        found.exists = true;
        return found;
    }
    if (errno != ENOENT) {
        return found;
    }
    if (found.path.front() == '/') {
        return LookUpAbsolute(found.path);
    }
    const std::string base = WorkingDirectory();
    if (base.empty()) {
        return found;
    }
    // Resolving never changes what is there as spelled: the result still
    // begins with the working directory.
    PathLookup resolved = LookUpAbsolute(Join(base, found.path));
    resolved.path.erase(0, base == "/" ? 1 : base.size() + 1);
    return resolved;
}

std::string ResolveCase(std::string_view path) {
    return std::move(LookUpPath(path).path);
}

void FollowChange(const std::string& gone, const std::string& made, bool folder) {
    if (folder) {
        ForgetDirectoryListings();  // its listings, and those of every other path to it
    }
    if (listings.empty()) {
        return;
    }
    for (const bool added : {false, true}) {
        const std::string& path = added ? made : gone;
        if (path.empty()) {
            continue;
        }
        // What a change at `key` makes wrong: the listings at and below it.
        const std::string key = Key(path);
        std::erase_if(listings, [&key](const auto& kept) { return IsAtOrBelow(kept.first, key); });
        const auto [directory, name] = Split(key);
        struct stat info {};
        if (const auto changed = listings.find(std::string(directory)); changed != listings.end()) {
            info.st_dev = changed->second.device;
            info.st_ino = changed->second.inode;
        } else if (sys::stat(std::string(directory).c_str(), &info) != 0) {
            continue;  // else a spelling not known: a link, or a ".." in it
        }
        // The directory by any path that leads to it.
        for (auto& [where, listing] : listings) {
            if (listing.device == info.st_dev && listing.inode == info.st_ino) {
                if (added) {
                    listing.names.insert(EntryOf(name));
                } else {
                    listing.names.erase(EntryOf(name));
                }
            }
        }
    }
}

void ForgetDirectoryListings() {
    listings.clear();
}

}  // namespace srdw::posix
