#include "platform/posix/CaseInsensitivePath.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/NameCase.h"
#include "platform/TextStore.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

namespace {

// Where a byte below 0x80 is 'A' to 'Z', adding 0x80 - 'A' sets its top bit
// and adding 0x80 - 'Z' - 1 does not, and the difference becomes its 0x20 bit:
// eight bytes fold at a time, as the engine folds whole paths on every command.
std::uint64_t FoldEight(std::uint64_t bytes) {
    constexpr std::uint64_t kEach = 0x0101010101010101;
    const std::uint64_t low = bytes & (0x7f * kEach);
    const std::uint64_t upper =
        ((low + (0x80 - 'A') * kEach) ^ (low + (0x80 - 'Z' - 1) * kEach)) & ~bytes & (0x80 * kEach);
    return bytes | upper >> 2;
}

// The eight bytes of `text` from `at` on, folded; those past its end are zero.
std::uint64_t FoldedEightAt(std::string_view text, std::size_t at) {
    std::uint64_t bytes = 0;
    if (text.size() - at >= sizeof bytes) {
        std::memcpy(&bytes, text.data() + at, sizeof bytes);  // one load, not a call
    } else {
        std::memcpy(&bytes, text.data() + at, text.size() - at);
    }
    return FoldEight(bytes);
}

}  // namespace

// As a listing matches a name: other bytes, UTF-8's among them, are themselves.
std::string FoldNameCase(std::string text) {
    std::size_t at = 0;
    for (; at + sizeof(std::uint64_t) <= text.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t bytes;
        std::memcpy(&bytes, text.data() + at, sizeof bytes);
        bytes = FoldEight(bytes);
        std::memcpy(text.data() + at, &bytes, sizeof bytes);
    }
    std::transform(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                   text.begin() + static_cast<std::ptrdiff_t>(at), LowerAscii);
    return text;
}

}  // namespace srdw

namespace srdw::posix {

namespace {

std::string Join(std::string_view directory, std::string_view name, std::string_view after = {}) {
    std::string joined;
    joined.reserve(directory.size() + 1 + name.size() + after.size());  // grown once
    joined = directory;
    if (!joined.empty() && joined.back() != '/') {
        joined.push_back('/');
    }
    joined.append(name).append(after);
    return joined;  // itself: append's reference would be copied
}

// The path without the slashes that end it, but for "/" itself.
std::string_view WithoutEndSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

// A path and its last part, each without the slashes that end it: "/a//b/" is
// "/a" and "b", "/b" is "/" and "b".
std::pair<std::string_view, std::string_view> Split(std::string_view path) {
    path = WithoutEndSlashes(path);
    // Found by memrchr, many bytes at a time: the names of a game hold many.
    const auto* slash = static_cast<const char*>(::memrchr(path.data(), '/', path.size()));
    if (!slash) {
        return {{}, path};
    }
    const auto at = static_cast<std::size_t>(slash - path.data());
    return {WithoutEndSlashes(path.substr(0, std::max<std::size_t>(at, 1))), path.substr(at + 1)};
}

// A listing's names hashed and matched as a name is looked up, A to Z as a
// to z, so that any spelling finds every other without a string made for it.
struct FoldedHash {
    std::size_t operator()(std::string_view name) const {
        std::uint64_t hash = 14695981039346656037u;  // FNV-1a, of eight bytes at a time
        for (std::size_t at = 0; at < name.size(); at += sizeof hash) {
            hash = (hash ^ FoldedEightAt(name, at)) * 1099511628211u;
        }
        return hash;
    }
};

struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const {
        return a == b || EqualIgnoringCase(a, b);  // most often the same spelling, compared whole
    }
};

using Names = std::unordered_multiset<std::string_view, FoldedHash, FoldedEqual>;

// The names of one directory.
struct Listing {
    Names names;  // views into `bytes`
    TextStore bytes{std::size_t{16} * 1024};
    std::pair<dev_t, ino_t> identity;  // the directory itself, which more than one path may lead to

    // `name` as spelled when it is there, else the first of its spellings in
    // byte order; none when it is there in no letter case.
    const std::string_view* Find(std::string_view name) const {
        const auto [first, last] = names.equal_range(name);
        const auto found = std::min_element(first, last, [name](auto a, auto b) {
            return std::pair(a != name, a) < std::pair(b != name, b);  // as spelled first
        });
        return found == last ? nullptr : &*found;
    }

    void Add(std::string_view name) {
        const auto [first, last] = names.equal_range(name);
        if (std::find(first, last, name) == last) {
            names.emplace(bytes.Keep(name));
        }
    }

    // `name`, which is there in this very spelling (as Find gave it).
    void Remove(std::string_view name) {
        const auto [first, last] = names.equal_range(name);
        names.erase(std::find(first, last, name));
    }
};

// A directory as found: its path with each part as stored (from the first
// one that is there in no letter case on, as spelled), and its names; none
// where it is no directory that can be read.
struct Folder {
    std::string_view path;  // the one asked for, or where another spelling is kept
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
    Listing listing{.names = {}, .identity = {info.st_dev, info.st_ino}};
    while (const dirent* entry = sys::readdir(stream.get())) {
        listing.names.emplace(listing.bytes.Keep(entry->d_name));
    }
    return &listings.emplace(std::move(path), std::move(listing)).first->second;
}

// The path of `name` in `folder`, with `trailing` after it: the first of its
// spellings there that `there` takes, each it refuses being gone since the
// listing was read; as spelled where none is left.
template <class There>
std::string Match(const Folder& folder, std::string_view name, std::string_view trailing,
                  There there) {
    while (const std::string_view* match = folder.listing ? folder.listing->Find(name) : nullptr) {
        std::string path = Join(folder.path, *match, trailing);
        if (there(path)) {
            return path;
        }
        folder.listing->Remove(*match);
    }
    return Join(folder.path, name, trailing);
}

// By a directory not there as spelled, its spelling as stored, where one was
// found: a script that names a folder in another letter case names it again
// and again, and each would otherwise ask for it as spelled, in vain, first.
std::map<std::string, std::string, std::less<>> spellings;

// The absolute `directory`, which ends in no slash (as Split gives it): as
// spelled where it is there so, else its parent's entry of the same name in
// another letter case, kept in `spelling` for the match that replaces it (or
// among the kept spellings, once matched).
Folder FolderOf(std::string_view directory, std::string& spelling) {
    if (const auto known = spellings.find(directory); known != spellings.end()) {
        return {known->second, ListingOf(known->second)};  // kept, as long as the spelling is
    }
    Folder folder{directory, ListingOf(directory)};
    if (folder.listing || errno != ENOENT || directory == "/") {
        return folder;
    }
    const auto [above, name] = Split(directory);
    spelling = Match(FolderOf(above, spelling), name, {}, [&folder](const std::string& path) {
        folder.listing = ListingOf(path);
        // A link that leads nowhere has no listing, and is there all the same.
        struct stat info;
        return folder.listing || errno != ENOENT || sys::lstat(path.c_str(), &info) == 0 ||
               errno != ENOENT;
    });
    folder.path = spelling;
    if (folder.listing) {
        spellings.emplace(directory, spelling);
    }
    return folder;
}

// The absolute `native`, which is not there as spelled.
PathLookup LookUpAbsolute(const std::string& native) {
    PathLookup found;
    const std::string_view spelled = WithoutEndSlashes(native);
    const auto [directory, name] = Split(spelled);
    found.path = Match(
        FolderOf(directory, found.path), name, std::string_view(native).substr(spelled.size()),
        [&found, &native](const std::string& path) {
            found.exists = path != native && sys::lstat(path.c_str(), &found.status) == 0;
            return found.exists || (path != native && errno != ENOENT);
        });
    return found;
}

// "." and ".." folded by the text, as Windows folds them before it follows a
// link or asks whether a folder is there: "lnk/../a" is "a" wherever lnk
// leads, and "gone/../a" is "a" too. A relative path keeps the ".." it begins
// with, which the working directory folds alike.
void FoldDots(std::string& path) {
    if (!HasDotPart(path)) {
        return;
    }
    const bool absolute = path.starts_with('/');
    std::vector<std::string_view> parts;
    std::size_t climbs = 0;
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = std::string_view(path).substr(at, end - at);
        at = end + 1;
        if (part == ".." && parts.size() > climbs) {
            parts.pop_back();
        } else if (part == ".." && !absolute) {
            parts.push_back(part);
            ++climbs;
        } else if (!part.empty() && part != "." && part != "..") {
            parts.push_back(part);
        }
    }
    std::string folded = absolute ? "/" : "";
    for (const std::string_view part : parts) {
        folded.append(folded.empty() || folded.ends_with('/') ? "" : "/").append(part);
    }
    if (folded.empty() || (path.ends_with('/') && !folded.ends_with('/'))) {
        folded += folded.empty() ? "." : "/";
    }
    path = std::move(folded);
}

}  // namespace

PathLookup LookUpPath(std::string_view path) {
    if (listings.size() + spellings.size() > kMaxListings) {
        ForgetDirectoryListings();
    }
    // Backslashes become slashes; nothing else changes.
    PathLookup found{std::string(path)};
    // Found by memchr: a path holds a few backslashes at most.
    for (auto at = found.path.find('\\'); at != std::string::npos; at = found.path.find('\\', at)) {
        found.path[at] = '/';
    }
    if (found.path.empty()) {
        return found;
    }
    FoldDots(found.path);
    // A name there as spelled needs no listing, nor the working directory.
    found.exists = sys::lstat(found.path.c_str(), &found.status) == 0;
    if (found.exists || errno != ENOENT) {
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
    const auto [directory, name] = Split(path);
    struct stat info;
    if (const auto changed = listings.find(directory); changed != listings.end()) {
        std::tie(info.st_dev, info.st_ino) = changed->second.identity;
    } else if (sys::stat(std::string(directory).c_str(), &info) != 0) {
        return;  // no such directory, so no listing of it either
    }
    // The directory by any path that leads to it.
    for (auto& [where, listing] : listings) {
        if (listing.identity == std::pair(info.st_dev, info.st_ino)) {
            listing.Add(name);
        }
    }
}

void ForgetDirectoryListings() {
    listings.clear();
    spellings.clear();
}

}  // namespace srdw::posix
