#include "platform/posix/ListingCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/AsciiCase.h"
#include "platform/posix/SystemCalls.h"
#include "platform/posix/UniqueFd.h"

namespace srdw::posix {

namespace {

std::string Lowered(std::string_view name) {
    std::string lowered(name);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), LowerAscii);
    return lowered;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A directory as the file system knows it, whatever path leads to it.
struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId&) const = default;
};

struct DirectoryIdHash {
    std::size_t operator()(const DirectoryId& id) const {
        return std::hash<ino_t>()(id.inode) ^ (std::hash<dev_t>()(id.device) << 1);
    }
};

// The names in one directory, grouped by their lower-case spelling.
class Listing {
  public:
    void Add(std::string_view name) {
        auto& stored = names_[Lowered(name)];
        const auto at = std::lower_bound(stored.begin(), stored.end(), name);
        if (at == stored.end() || *at != name) {
            stored.emplace(at, name);
        }
    }

    void Remove(std::string_view name) {
        const auto group = names_.find(Lowered(name));
        if (group == names_.end()) {
            return;
        }
        auto& stored = group->second;
        stored.erase(std::remove(stored.begin(), stored.end(), name), stored.end());
        if (stored.empty()) {
            names_.erase(group);
        }
    }

    void Clear() { names_.clear(); }

    // The name as spelled when it is there, else the first in byte order that
    // matches it ignoring case.
    std::optional<std::string> Find(std::string_view name) const {
        const auto group = names_.find(Lowered(name));
        if (group == names_.end()) {
            return std::nullopt;
        }
        const auto& stored = group->second;
        if (std::binary_search(stored.begin(), stored.end(), name)) {
            return std::string(name);
        }
        return stored.front();
    }

    int watch = -1;                // the change notices' watch on the directory
    timespec modified{};           // the directory's modification time when last checked
    bool changedByNotice = false;  // a change notice came since then

  private:
    std::unordered_map<std::string, std::vector<std::string>> names_;
};

// Reads every name of an open directory into `listing`; closes the descriptor.
bool ReadNames(UniqueFd fd, Listing& listing) {
    DIR* stream = sys::fdopendir(fd.Get());
    if (!stream) {
        return false;
    }
    fd.Release();  // the stream owns it now
    listing.Clear();
    while (const dirent* entry = sys::readdir(stream)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            listing.Add(name);
        }
    }
    sys::closedir(stream);
    return true;
}

// The kept listings. Each is watched with inotify: every creation, removal and
// rename in the directory, by this process or any other, arrives as a notice
// that is applied to the listing before the next lookup. That is exact where a
// modification time is not: two changes within one tick of the file system's
// clock leave the same time behind, and an install changes its directories
// many times a tick. The modification time is still compared, for what no notice
// reports (changes made through a network file system by another machine).
class ListingCache {
  public:
    ListingCache() = default;
    ~ListingCache() { Reset(); }
    ListingCache(const ListingCache&) = delete;
    ListingCache& operator=(const ListingCache&) = delete;

    // The entry of `directory` (found by stat as `info`) named `name` in any
    // letter case, as the listing has it after the notices last applied.
    std::optional<std::string> Find(const std::string& directory, const struct stat& info,
                                    std::string_view name) {
        const DirectoryId id{info.st_dev, info.st_ino};
        if (const auto kept = listings_.find(id); kept != listings_.end()) {
            Listing& listing = kept->second;
            if (SameTime(listing.modified, info.st_mtim) || listing.changedByNotice) {
                listing.modified = info.st_mtim;
                listing.changedByNotice = false;
                return listing.Find(name);
            }
            // Changed behind the notices' back: read it again.
            if (Reread(directory, id, listing)) {
                return listing.Find(name);
            }
            Forget(kept);
            return FindOnce(directory, name);
        }
        if (Listing* listing = Keep(directory, id)) {
            return listing->Find(name);
        }
        return FindOnce(directory, name);
    }

    void Reset() {
        notices_.Reset();  // drops every watch with it
        listings_.clear();
        byWatch_.clear();
    }

    // Applies every change notice that has come in. Usually there is none, and
    // this costs one read that finds the queue empty.
    void ApplyNotices() {
        if (!notices_.IsValid()) {
            return;
        }
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t length = sys::read(notices_.Get(), buffer, sizeof buffer);
            if (length < 0 && errno == EINTR) {
                continue;
            }
            if (length <= 0) {
                return;  // EAGAIN: nothing more has come
            }
            for (ssize_t at = 0; at < length;) {
                const auto* notice = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
                if (notice->mask & IN_Q_OVERFLOW) {
                    Reset();  // notices were lost: nothing kept can be trusted
                    return;
                }
                Apply(*notice);
            }
            // A read that left room for another notice emptied the queue.
            if (static_cast<std::size_t>(length) + sizeof(inotify_event) + NAME_MAX + 1 <=
                sizeof buffer) {
                return;
            }
        }
    }

    // Held by a pass for as long as it lasts.
    std::mutex& Mutex() { return mutex_; }

  private:
    using Listings = std::unordered_map<DirectoryId, Listing, DirectoryIdHash>;

    // The launcher works in a handful of directories; a process that wanders
    // through many starts afresh rather than keeping them all.
    static constexpr std::size_t kMaxListings = 64;

    // Without a watch a listing could not be trusted: the directory is read for
    // this one lookup only.
    static std::optional<std::string> FindOnce(const std::string& directory,
                                               std::string_view name) {
        UniqueFd fd(sys::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
        Listing listing;
        if (!fd.IsValid() || !ReadNames(std::move(fd), listing)) {
            return std::nullopt;
        }
        return listing.Find(name);
    }

    // A new listing of `directory`, watched before it is read so that no change
    // falls between the two. None when it cannot be watched.
    Listing* Keep(const std::string& directory, const DirectoryId& id) {
        if (listings_.size() >= kMaxListings) {
            Reset();
        }
        if (!notices_.IsValid()) {
            notices_.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
            if (!notices_.IsValid()) {
                return nullptr;
            }
        }
        const int watch = ::inotify_add_watch(notices_.Get(), directory.c_str(), kWatchedChanges);
        if (watch < 0) {
            return nullptr;
        }
        Listing listing;
        listing.watch = watch;
        if (!Reread(directory, id, listing)) {
            if (!byWatch_.contains(watch)) {
                ::inotify_rm_watch(notices_.Get(), watch);
            }
            return nullptr;
        }
        byWatch_[watch] = id;
        return &(listings_[id] = std::move(listing));
    }

    // Reads the directory's names anew. False when it cannot be read, or when the
    // path has led to another directory meanwhile.
    static bool Reread(const std::string& directory, const DirectoryId& id, Listing& listing) {
        UniqueFd fd(sys::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
        if (!fd.IsValid()) {
            return false;
        }
        // Taken before the names are read: a change while they are read then
        // shows as a newer time (and as a notice).
        struct stat info;
        if (sys::fstat(fd.Get(), &info) != 0 || DirectoryId{info.st_dev, info.st_ino} != id) {
            return false;
        }
        listing.modified = info.st_mtim;
        listing.changedByNotice = false;
        return ReadNames(std::move(fd), listing);
    }

    void Forget(Listings::iterator kept) {
        ::inotify_rm_watch(notices_.Get(), kept->second.watch);
        byWatch_.erase(kept->second.watch);
        listings_.erase(kept);
    }

    void Apply(const inotify_event& notice) {
        const auto watched = byWatch_.find(notice.wd);
        if (watched == byWatch_.end()) {
            return;
        }
        const auto kept = listings_.find(watched->second);
        if (notice.mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT)) {
            // The directory is gone; its watch goes with it.
            if (kept != listings_.end()) {
                listings_.erase(kept);
            }
            byWatch_.erase(watched);
            return;
        }
        if (kept == listings_.end() || notice.len == 0) {
            return;
        }
        const std::string_view name(notice.name, ::strnlen(notice.name, notice.len));
        if (notice.mask & (IN_CREATE | IN_MOVED_TO)) {
            kept->second.Add(name);
        } else if (notice.mask & (IN_DELETE | IN_MOVED_FROM)) {
            kept->second.Remove(name);
        }
        kept->second.changedByNotice = true;
    }

    static constexpr std::uint32_t kWatchedChanges =
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;

    std::mutex mutex_;
    UniqueFd notices_;  // the inotify descriptor
    Listings listings_;
    std::unordered_map<int, DirectoryId> byWatch_;
};

ListingCache& Cache() {
    static ListingCache cache;
    return cache;
}

}  // namespace

ListingPass::ListingPass() : lock_(Cache().Mutex()) {}

ListingPass::~ListingPass() = default;

std::optional<std::string> ListingPass::Find(const std::string& directory, const struct stat& info,
                                             std::string_view name) {
    if (!noticesApplied_) {
        Cache().ApplyNotices();
        noticesApplied_ = true;
    }
    return Cache().Find(directory, info, name);
}

void ForgetDirectoryListings() {
    const std::lock_guard lock(Cache().Mutex());
    Cache().Reset();
}

}  // namespace srdw::posix
