// The file system the launcher's core works on: files, directories and the
// clock, and nothing of the user.
//
// The run log, the script engine and the launch cycle reach files only through
// the one they are handed. Each backend (win32/, posix/) provides one; a test,
// a trial or a rehearsal on a model of the game folder hands in its own.
//
// Paths are byte strings in the system's ANSI code page, written as the scripts
// write them: a backslash is a separator on every platform.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace srdw {

// Whether a part of the path, between separators of either kind, is "." or
// "..": only those fold, by the text, as Windows folds them; a name such as
// ".local" stays.
inline bool HasDotPart(std::string_view path) {
    // Found by memchr: most paths hold a dot only before their extension.
    for (auto at = path.find('.'); at != std::string_view::npos; at = path.find('.', at + 1)) {
        const std::size_t end = at + (at + 1 < path.size() && path[at + 1] == '.' ? 2 : 1);
        const auto separator = [&path](std::size_t i) { return path[i] == '\\' || path[i] == '/'; };
        if ((at == 0 || separator(at - 1)) && (end == path.size() || separator(end))) {
            return true;
        }
    }
    return false;
}

// Whether a path names a file's stream ("a.pak:x"): a ':' past a drive's.
// Windows moves no file to or from such a name, which Wine would take for a
// plain one that no later call can reach again.
inline bool NamesStream(std::string_view path) {
    return path.find(':', path.size() > 1 && path[1] == ':' ? 2 : 0) != std::string_view::npos;
}

// Why an operation failed, in the few categories the launcher tells apart.
enum class OsError {
    None = 0,
    NotFound,
    AlreadyExists,
    AccessDenied,
    SharingViolation,  // another program holds the file
    DiskFull,
    CrossDevice,
    Other,
};

// Success, or the reason for a failure. Tests on it read like a bool. A caller
// that does not care says so with a cast to void.
struct [[nodiscard]] OsResult {
    OsError error = OsError::None;

    explicit operator bool() const { return error == OsError::None; }
    static OsResult Ok() { return {}; }
};

// Which file a path names, told apart from any other file on the machine, so
// that a file renamed by the launcher is known again under its new name. Two
// numbers the backend chooses (device and inode, or volume and file index);
// unknown where the look-up that found the file did not say.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    bool known = false;

    bool operator==(const FileIdentity&) const = default;
};

// What the launcher needs to know of a path that exists.
struct FileAttributes {
    std::uint32_t bits = 0;  // the platform's own attribute or mode bits, to put back as they were
    bool directory = false;
    bool readOnly = false;
    FileIdentity identity;
};

// What one look-up of a path found, kept by the engine for the rest of a command:
// its checks, its moves and the journal's records all read it instead of asking
// the file system again, and a move updates it from its own result.
struct PathState {
    std::string path;  // as the engine asked for it
    std::string
        stored;  // `path` with its last part spelled as stored; `path` when nothing is there
    // The name the backend moves, as that look-up resolved it; valid until the
    // directory changes, so it is used within the command that looked it up.
    std::string native;
    std::optional<FileAttributes> attributes;  // none when nothing is there

    bool Exists() const { return attributes.has_value(); }
};

// What a directory holds: the names of its entries as stored, "." and ".."
// left out, or why it could not be read.
struct DirectoryListing {
    OsError error = OsError::None;
    std::vector<std::string> names;
};

struct LocalTime {
    int year = 0;   // e.g. 2027
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A file opened for writing; closed by its destructor.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual OsResult Write(std::string_view bytes) = 0;
    // Writes through to the storage device, so that a power loss keeps what was written.
    virtual OsResult SyncToDisk() = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual std::optional<FileAttributes> Attributes(const std::string& path) = 0;
    virtual OsResult SetNormalAttributes(const std::string& path) = 0;  // clears read-only
    // Puts back the read-only bit of `attributes` and nothing else, on the path
    // itself: a link is refused, never followed.
    virtual OsResult RestoreAttributes(const std::string& path,
                                       const FileAttributes& attributes) = 0;
    virtual OsResult MoveNoReplace(const std::string& from, const std::string& to) = 0;
    virtual OsResult RemoveFile(const std::string& path) = 0;
    virtual OsResult ChangeDirectory(const std::string& path) = 0;
    virtual std::string WorkingDirectory() = 0;  // empty when it cannot be read
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // Creates the file, or empties an existing one; none when that is refused,
    // and then `why`, when given, says why. Never writes through a symbolic
    // link or another reparse point: such a path is refused, and its target
    // stays as it is.
    virtual std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path,
                                                         OsError* why = nullptr) = 0;
    // Opens an existing file to add to its end, never through a link; none when
    // that is refused or the file is not there.
    virtual std::unique_ptr<OutputFile> AppendToFile(const std::string& path) = 0;
    // Whether the path's last part is a symbolic link or another reparse point.
    virtual bool IsLink(const std::string& /*path*/) { return false; }
    // Makes the folder's entries as they are now survive a power loss: a move
    // into or out of it is on the disk once this returns.
    virtual OsResult SyncFolder(const std::string& /*path*/) { return OsResult::Ok(); }
    // The entries of the directory at `path`, in the system's own order. Only
    // the backends read real directories; a model of one has nothing to list.
    virtual DirectoryListing ListDirectory(const std::string& /*path*/) {
        return {OsError::Other, {}};
    }

    // Looks up several paths at once, so that a backend can resolve a directory
    // they share once. Without `storedNames` a backend may leave `stored` as the
    // path where finding the stored name costs a call of its own (Windows).
    virtual std::vector<PathState> LookUp(std::span<const std::string> paths,
                                          bool storedNames = true) = 0;
    // Moves what `from` names to `to` without replacing anything, where both were
    // looked up by LookUp just before.
    virtual OsResult MoveLookedUp(const PathState& from, const PathState& to) = 0;

    // Time lives here, as in SQLite's VFS: the run log stamps its header with it
    // and the script engine pauses between retries of a file another program holds.
    virtual LocalTime Now() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
};

// The backend built into this program.
FileSystem& NativeFileSystem();

}  // namespace srdw
