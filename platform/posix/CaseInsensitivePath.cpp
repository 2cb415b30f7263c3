#include "platform/posix/CaseInsensitivePath.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
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

std::string Join(std::string_view directory, std::string_view name) {
    std::string joined(directory);
    if (!joined.empty() && joined.back() != '/') {
        joined.push_back('/');
    }
    return joined.append(name);
}

// A path and its last part: "/a/b" is "/a" and "b", "/b" is "/" and "b".
std::pair<std::string_view, std::string_view> Split(std::string_view path) {
    const auto at = path.rfind('/');
    if (at == std::string_view::npos) {
        return {{}, path};
    }
    return {path.substr(0, std::max<std::size_t>(at, 1)), path.substr(at + 1)};
}

// A name as a listing keeps it: after its spelling with A to Z as a to z, so
// that the spellings of one name are neighbours, in byte order.
std::pair<std::string, std::string> Entry(std::string_view name) {
    return {FoldNameCase(std::string(name)), std::string(name)};
}

// The names of one directory.
struct Listing {
    std::set<std::pair<std::string, std::string>> names;
    dev_t device = 0;  // the directory itself, which more than one path may lead to
    ino_t inode = 0;

    // `name` as spelled when it is there, else the first of its spellings in
    // byte order; none when it is there in no letter case.
    const std::string* Find(std::string_view name) const {
        auto entry = Entry(name);
        if (const auto exact = names.find(entry); exact != names.end()) {
            return &exact->second;
        }
        entry.second.clear();
        const auto first = names.lower_bound(entry);
        return first != names.end() && first->first == entry.first ? &first->second : nullptr;
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

// By the absolute path the directory was read by. Another spelling of it (a
// link, a "." part) may have a listing of its own: each name made goes to
// every listing of the directory.
std::map<std::string, Listing, std::less<>> listings;

// The names of the absolute `directory`, read now when they are not kept yet;
// none, with errno set, where it is no directory that can be read.
Listing* ListingOf(std::string_view directory) {
    if (const auto kept = listings.find(directory); kept != listings.end()) {
        return &kept->second;
    }
    std::string path(directory);
    const std::unique_ptr<DIR, int (*)(DIR*)> stream(sys::opendir(path.c_str()), sys::closedir);
    struct stat info;
    if (!stream || sys::fstat(::dirfd(stream.get()), &info) != 0) {
        return nullptr;
    }
    // "." and ".." among them, so that such a part is found as any other name is.
    Listing listing{{}, info.st_dev, info.st_ino};
    while (const dirent* entry = sys::readdir(stream.get())) {
        listing.names.insert(Entry(entry->d_name));
    }
    return &listings.emplace(std::move(path), std::move(listing)).first->second;
}

PathLookup LookUpAbsolute(const std::string& native);

// The absolute `directory`: as spelled where it is there so, else as a look-up
// of it in its parent's listing finds it.
Folder FolderOf(std::string_view directory) {
    while (directory.size() > 1 && directory.back() == '/') {
        directory.remove_suffix(1);  // "a//b" has a part "a/" above "b"
    }
    Folder folder{std::string(directory), ListingOf(directory)};
    if (folder.listing || errno != ENOENT || directory == "/") {
        return folder;
    }
    PathLookup found = LookUpAbsolute(folder.path);
    folder.path = std::move(found.path);
    // A link that leads nowhere has no listing, and is there all the same.
    folder.listing = found.exists ? ListingOf(folder.path) : nullptr;
    return folder;
}

// The absolute `native` as its directory's listing spells it: for a path that
// is not there as spelled, or a directory that cannot be read as spelled.
PathLookup LookUpAbsolute(const std::string& native) {
    PathLookup found;
    std::string_view spelled = native;
    while (spelled.size() > 1 && spelled.back() == '/') {
        spelled.remove_suffix(1);
    }
    const std::string_view trailing = std::string_view(native).substr(spelled.size());
    const auto [directory, name] = Split(spelled);
    const Folder folder = FolderOf(directory);
    while (const std::string* match = folder.listing ? folder.listing->Find(name) : nullptr) {
        found.path = Join(folder.path, *match).append(trailing);
        found.exists = sys::lstat(found.path.c_str(), &found.status) == 0;
        if (found.exists || errno != ENOENT) {
            return found;
        }
        folder.listing->names.erase(Entry(*match));  // gone since the listing was read
    }
    found.path = Join(folder.path, name).append(trailing);
    return found;
}

}  // namespace

PathLookup LookUpPath(std::string_view path) {
    if (listings.size() > kMaxListings) {
        ForgetDirectoryListings();
    }
    // Backslashes become slashes; nothing else changes.
    PathLookup found{std::string(path)};
    std::replace(found.path.begin(), found.path.end(), '\\', '/');
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
    const std::string base = NativeFileSystem().WorkingDirectory();
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

void FollowNewName(const std::string& made) {
    if (listings.empty()) {
        return;
    }
    std::string_view path = made;
    std::string absolute;
    if (!path.starts_with('/')) {
        absolute = Join(NativeFileSystem().WorkingDirectory(), path);
        path = absolute;
    }
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const auto [directory, name] = Split(path);
    struct stat info {};
    if (const auto changed = listings.find(directory); changed != listings.end()) {
        info.st_dev = changed->second.device;
        info.st_ino = changed->second.inode;
    } else if (sys::stat(std::string(directory).c_str(), &info) != 0) {
        return;  // no such directory, so no listing of it either
    }
    // The directory by any path that leads to it.
    for (auto& [where, listing] : listings) {
        if (listing.device == info.st_dev && listing.inode == info.st_ino) {
            listing.names.insert(Entry(name));
        }
    }
}

void ForgetDirectoryListings() {
    listings.clear();
}

}  // namespace srdw::posix
