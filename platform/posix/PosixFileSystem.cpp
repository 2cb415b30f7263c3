// The POSIX file system: the launcher on Linux behaves as it does on Windows,
// with backslash paths, letter case ignored, read-only as the owner's missing
// write bit, and moves that never replace their target.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>

#include "platform/Memory.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

SRDW_DEFINE_SYSTEM_CALLS(posix, SRDW_POSIX_SYSTEM_CALLS)

void PreferHugePages(void* block, std::size_t bytes) {
    // Only the whole huge pages inside the block can be such.
    constexpr std::uintptr_t kHugePage = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first) {
        // Refused (no transparent huge pages), the pages stay ordinary ones.
        static_cast<void>(
            ::madvise(static_cast<char*>(block) + (first - start), end - first, MADV_HUGEPAGE));
    }
}

namespace posix {

OsResult LastError() {
    switch (errno) {
        case 0:
            return {OsError::None};
        case ENOENT:
        case ENOTDIR:
            return {OsError::NotFound};
        case EEXIST:
        case ENOTEMPTY:
            return {OsError::AlreadyExists};
        case EACCES:
        case EPERM:
        case EROFS:
            return {OsError::AccessDenied};
        case EBUSY:
        case ETXTBSY:
            return {OsError::SharingViolation};
        case ENOSPC:
        case EDQUOT:
            return {OsError::DiskFull};
        case EXDEV:
            return {OsError::CrossDevice};
        default:
            return {OsError::Other};
    }
}

namespace {

bool IsWritable(const struct stat& info) {
    return (info.st_mode & S_IWUSR) != 0;
}

// The path with its file name spelled as the resolved path's: in another letter case at most.
// A last part "." or ".." has no name of its own: the path stays as written.
std::string WithStoredName(std::string path, std::string_view resolved) {
    if (const std::string_view last = std::string_view(path).substr(path.find_last_of("\\/") + 1);
        last == "." || last == "..") {
        return path;
    }
    // So as long: found by memrchr, many bytes at a time, and copied over in the path's own bytes.
    const auto* slash = static_cast<const char*>(::memrchr(resolved.data(), '/', resolved.size()));
    const std::string_view name =
        resolved.substr(slash ? static_cast<std::size_t>(slash - resolved.data()) + 1 : 0);
    std::copy(name.begin(), name.end(), path.end() - static_cast<std::ptrdiff_t>(name.size()));
    return path;
}

// The directory a native path names its file in.
std::string NativeFolderOf(const std::string& native) {
    const auto slash = native.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
}

// Makes the directory's entries survive a power loss.
OsResult SyncDirectory(const std::string& native) {
    const UniqueFd fd(sys::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!fd.IsValid()) {
        return LastError();
    }
    return sys::fsync(fd.Get()) == 0 ? OsResult::Ok() : LastError();
}

class PosixOutputFile final : public OutputFile {
  public:
    PosixOutputFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    OsResult Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = sys::write(fd_.Get(), bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return LastError();
            }
            // No byte taken and no error named: trying again would never end.
            if (written == 0) {
                return {OsError::DiskFull};
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return OsResult::Ok();
    }

    OsResult SyncToDisk() override {
        if (sys::fsync(fd_.Get()) != 0) {
            return LastError();
        }
        // The file's new entry in its directory too, once: it stays as it is
        // while the file is open.
        if (!path_.empty()) {
            static_cast<void>(SyncDirectory(NativeFolderOf(path_)));
            path_.clear();
        }
        return OsResult::Ok();
    }

  private:
    UniqueFd fd_;
    std::string path_;  // while its entry is not known to be on the disk
};

class PosixFileSystem final : public FileSystem {
    // The attributes of what a look-up found, of what a link leads to where it
    // is one, with the identity of the found entry itself: a rename moves the
    // link, so the link is what is known again. A link that leads nowhere is
    // there as itself, as Windows sees one: a link moved away from what it
    // names moves back. None where nothing is.
    std::optional<FileAttributes> AttributesFound(const PathLookup& lookup) {
        if (!lookup.exists) {
            return std::nullopt;
        }
        struct stat info = lookup.status;
        if (S_ISLNK(info.st_mode) && sys::stat(lookup.path.c_str(), &info) != 0) {
            info = lookup.status;
        }
        FileAttributes attributes;
        attributes.bits = info.st_mode & 07777;
        attributes.directory = S_ISDIR(info.st_mode);
        attributes.readOnly = !IsWritable(info);
        attributes.identity = {VolumeOf(lookup), static_cast<std::uint64_t>(lookup.status.st_ino),
                               true};
        return attributes;
    }

    // The volume as its file system names it, which stays when the drive comes
    // back under another device number (a USB drive on another port, volumes
    // mounted in another order at boot): by the device number, every file a
    // crashed run's journal names, and the game folder, would be another. The
    // device number where the file system names none.
    std::uint64_t VolumeOf(const PathLookup& lookup) {
        const dev_t device = lookup.status.st_dev;
        const auto [known, added] = volumes_.try_emplace(device, device);
        if (added) {
            // A link is on the file system of the folder that holds it.
            const std::string on =
                S_ISLNK(lookup.status.st_mode) ? NativeFolderOf(lookup.path) : lookup.path;
            struct statvfs info {};
            if (sys::statvfs(on.c_str(), &info) == 0 && info.f_fsid != 0) {
                known->second = info.f_fsid;
            }
        }
        return known->second;
    }

    std::map<dev_t, std::uint64_t> volumes_;  // by device number, as found

  public:
    std::optional<FileAttributes> Attributes(const std::string& path) override {
        return AttributesFound(LookUpPath(path));
    }

    OsResult SetNormalAttributes(const std::string& path) override {
        return RestoreAttributes(path, {});
    }

    // Only the owner's write bit, which is what read-only means here: whatever
    // else a record says is not the launcher's to set. A link is refused, never
    // followed.
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override {
        const std::string native = LookUpPath(path).path;
        struct stat info;
        if (sys::lstat(native.c_str(), &info) != 0) {
            return LastError();
        }
        if (S_ISLNK(info.st_mode)) {
            return {OsError::AccessDenied};
        }
        const mode_t bits = info.st_mode & 07777;
        const mode_t mode = attributes.readOnly ? bits & ~S_IWUSR : bits | S_IWUSR;
        if (mode == bits) {
            return OsResult::Ok();
        }
        return sys::fchmodat(AT_FDCWD, native.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0
                   ? OsResult::Ok()
                   : LastError();
    }

    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        const auto states = LookUp(std::vector<std::string>{from, to}, false);
        return MoveLookedUp(states[0], states[1]);
    }

    // One lstat a name there as spelled; the attributes are those of what a
    // link leads to, as Attributes gives them.
    std::vector<PathState> LookUp(std::span<const std::string> paths, bool) override {
        std::vector<PathState> states(paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            PathState& state = states[i];
            PathLookup lookup = LookUpPath(paths[i]);
            state.path = paths[i];
            state.attributes = AttributesFound(lookup);
            state.native = std::move(lookup.path);
            state.stored = lookup.exists ? WithStoredName(state.path, state.native) : state.path;
        }
        return states;
    }

    // The look-up found the target free in every letter case, or not. A move
    // that fails instead of replacing: atomic where the file system knows
    // RENAME_NOREPLACE, else a hard link (which refuses an existing name) and
    // unlink. Once linked, the file has its new name also where the old one
    // cannot go, and the listings are told so.
    OsResult MoveLookedUp(const PathState& from, const PathState& to) override {
        if (to.Exists()) {
            return {OsError::AlreadyExists};
        }
        const char* source = from.native.c_str();
        const char* target = to.native.c_str();
        const bool renamed =
            sys::renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE) == 0;
        if (!renamed && ((errno != EINVAL && errno != ENOSYS) || sys::link(source, target) != 0)) {
            return LastError();
        }
        const OsResult moved = renamed || sys::unlink(source) == 0 ? OsResult::Ok() : LastError();
        // A move that fails changes nothing: the new name goes again, unless
        // that is refused too.
        if (!moved && sys::unlink(target) == 0) {
            return moved;
        }
        if (from.attributes && from.attributes->directory) {
            ForgetDirectoryListings();  // its listings, and those of every other path to it
        } else {
            FollowNewName(to.native);
        }
        return moved;
    }

    OsResult RemoveFile(const std::string& path) override {
        const std::string native = LookUpPath(path).path;
        struct stat info;
        if (sys::lstat(native.c_str(), &info) != 0) {
            return LastError();
        }
        if (S_ISDIR(info.st_mode) || !IsWritable(info)) {
            return {OsError::AccessDenied};  // as for a directory or a read-only file on Windows
        }
        if (sys::unlink(native.c_str()) != 0) {
            return LastError();
        }
        // A link may lead to a folder, whose listings are kept under its spelling.
        if (S_ISLNK(info.st_mode)) {
            ForgetDirectoryListings();
        }
        return OsResult::Ok();
    }

    OsResult ChangeDirectory(const std::string& path) override {
        return sys::chdir(LookUpPath(path).path.c_str()) == 0 ? OsResult::Ok() : LastError();
    }

    std::string WorkingDirectory() override {
        char buffer[4096];
        return sys::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
    }

    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        const UniqueFd fd(sys::open(LookUpPath(path).path.c_str(), O_RDONLY | O_CLOEXEC, 0));
        if (!fd.IsValid()) {
            return std::nullopt;
        }
        struct stat info;
        if (sys::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return std::nullopt;
        }
        std::string bytes;
        bytes.reserve(static_cast<std::size_t>(info.st_size));
        PreferHugePages(bytes.data(), bytes.capacity());
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = sys::read(fd.Get(), bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return std::nullopt;
            }
            done += static_cast<std::size_t>(n);
        }
        return bytes;
    }

    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, OsError* why) override {
        const PathLookup lookup = LookUpPath(path);
        OsError refused =
            OsError::AccessDenied;  // a read-only file is not overwritten, as on Windows
        if (!lookup.exists || S_ISLNK(lookup.status.st_mode) || IsWritable(lookup.status)) {
            // O_NOFOLLOW: a link, also one to nowhere, is refused, so its target is
            // never created or emptied.
            UniqueFd fd(sys::open(lookup.path.c_str(),
                                  O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (fd.IsValid()) {
                if (!lookup.exists) {
                    FollowNewName(lookup.path);
                }
                return std::make_unique<PosixOutputFile>(std::move(fd), lookup.path);
            }
            refused = LastError().error;
        }
        if (why) {
            *why = refused;
        }
        return nullptr;
    }

    OsResult SyncFolder(const std::string& path) override {
        return SyncDirectory(LookUpPath(path).path);
    }

    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override {
        const std::string native = LookUpPath(path).path;
        UniqueFd fd(sys::open(native.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0));
        if (!fd.IsValid()) {
            return nullptr;
        }
        return std::make_unique<PosixOutputFile>(std::move(fd), native);
    }

    DirectoryListing ListDirectory(const std::string& path) override {
        const std::unique_ptr<DIR, int (*)(DIR*)> directory(
            sys::opendir(LookUpPath(path).path.c_str()), sys::closedir);
        if (!directory) {
            return {LastError().error, {}};
        }
        DirectoryListing listing;
        errno = 0;
        while (const dirent* entry = sys::readdir(directory.get())) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") {
                listing.names.emplace_back(name);
            }
        }
        listing.error = LastError().error;
        return listing;
    }

    bool IsLink(const std::string& path) override {
        const PathLookup lookup = LookUpPath(path);
        return lookup.exists && S_ISLNK(lookup.status.st_mode);
    }

    LocalTime Now() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    }

    void Sleep(unsigned milliseconds) override {
        timespec pause{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
        // A signal cuts the pause short; what is left of it is slept on.
        for (timespec left{}; sys::nanosleep(&pause, &left) != 0 && errno == EINTR;) {
            pause = left;
        }
    }
};

}  // namespace

OsResult ReplaceFileContent(const std::string& path, std::string_view content) {
    const std::string temporary = TemporaryFileOf(path);
    UniqueFd fd(sys::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.IsValid()) {
        return LastError();
    }
    // The entry that counts is the one the rename makes: it is synced after it.
    PosixOutputFile file(std::move(fd), {});
    OsResult result = file.Write(content);
    if (result) {
        result = file.SyncToDisk();
    }
    if (result && sys::rename(temporary.c_str(), path.c_str()) != 0) {
        result = LastError();
    }
    if (!result) {
        sys::unlink(temporary.c_str());
    } else {
        FollowNewName(path);
        static_cast<void>(SyncDirectory(NativeFolderOf(path)));
    }
    return result;
}

}  // namespace posix

FileSystem& NativeFileSystem() {
    static posix::PosixFileSystem files;
    return files;
}

}  // namespace srdw
