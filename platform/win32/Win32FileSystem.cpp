// The Win32 file system: each operation is the Windows call the launcher was
// designed around. The backend's table of system calls is defined here too.
#include <windows.h>

#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Memory.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Win32Error.h"

namespace srdw {

SRDW_DEFINE_SYSTEM_CALLS(win32, SRDW_WIN32_SYSTEM_CALLS)

// Windows gives large pages only to a process holding the right to lock memory
// (SeLockMemoryPrivilege), which a player's account does not have, and only
// through VirtualAlloc; ordinary pages it is.
void PreferHugePages(void*, std::size_t) {}

}  // namespace srdw

namespace srdw::win32 {

namespace {

class Win32OutputFile final : public OutputFile {
  public:
    explicit Win32OutputFile(KernelHandle file) : file_(std::move(file)) {}

    OsResult Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!sys::WriteFile(file_.Get(), bytes.data(), chunk, &written, nullptr)) {
                return Check(FALSE);
            }
            // No byte taken and no error named: trying again would never end.
            if (written == 0) {
                return {OsError::DiskFull};
            }
            bytes.remove_prefix(written);
        }
        return OsResult::Ok();
    }

    OsResult SyncToDisk() override { return Check(sys::FlushFileBuffers(file_.Get())); }

  private:
    KernelHandle file_;
};

// Attribute bits that SetFileAttributesA accepts.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Opened as it is, a reparse point itself rather than its target, which is
// refused; a file that may be created is emptied only once it is known to be
// none. None when refused, and then `why`, when given, says why.
std::unique_ptr<OutputFile> OpenOutput(const std::string& path, DWORD access, DWORD sharing,
                                       DWORD disposition, OsError* why) {
    KernelHandle file(sys::CreateFileA(path.c_str(), access, sharing, nullptr, disposition,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    const bool opened = file.IsValid() && sys::GetFileInformationByHandle(file.Get(), &info);
    if (opened && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        (disposition == OPEN_EXISTING || sys::SetEndOfFile(file.Get()))) {
        return std::make_unique<Win32OutputFile>(std::move(file));
    }
    if (why) {
        *why = opened ? OsError::AccessDenied : Check(FALSE).error;
    }
    return nullptr;
}

// The folder of an absolute path, with its separator; empty for a relative
// path, whose folder is the working directory's.
std::string_view AbsoluteFolder(std::string_view path) {
    const bool absolute = path.starts_with("\\\\") || (path.size() > 2 && path[1] == ':' &&
                                                       (path[2] == '\\' || path[2] == '/'));
    return absolute ? path.substr(0, path.find_last_of("/\\") + 1) : std::string_view();
}

class Win32FileSystem final : public FileSystem {
  public:
    std::optional<FileAttributes> Attributes(const std::string& path) override {
        const DWORD bits = sys::GetFileAttributesA(path.c_str());
        if (bits == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
        return FileAttributes{bits,
                              (bits & FILE_ATTRIBUTE_DIRECTORY) != 0,
                              (bits & FILE_ATTRIBUTE_READONLY) != 0,
                              {}};
    }

    OsResult SetNormalAttributes(const std::string& path) override {
        return Check(sys::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }

    // Only the read-only bit: the others are as the file has them now.
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override {
        const DWORD current = sys::GetFileAttributesA(path.c_str());
        if (current == INVALID_FILE_ATTRIBUTES) {
            return Check(FALSE);
        }
        const DWORD bits = (current & kSettableAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) |
                           (attributes.readOnly ? DWORD{FILE_ATTRIBUTE_READONLY} : DWORD{0});
        if (bits == (current & kSettableAttributes)) {
            return OsResult::Ok();
        }
        return Check(sys::SetFileAttributesA(path.c_str(), bits ? bits : FILE_ATTRIBUTE_NORMAL));
    }

    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        if (NamesStream(from) || NamesStream(to)) {
            return {OsError::NotFound};  // as ERROR_INVALID_NAME
        }
        return Check(sys::MoveFileA(from.c_str(), to.c_str()));
    }

    // A folder moved may bring a mount point or another volume's folder under
    // the name of the folder whose volume is known, and changes the names
    // below it. A file moved into or out of the listed folder keeps its listing
    // current, where the folder had no other change since it was read.
    OsResult MoveLookedUp(const PathState& from, const PathState& to) override {
        if (from.attributes && from.attributes->directory) {
            volumeFolder_.clear();
            listing_ = Listing{};
        }
        const auto listed = [this](std::string_view path) {
            return listing_.read && AbsoluteFolder(path) == listing_.folder
                       ? std::optional(std::string(path.substr(listing_.folder.size())))
                       : std::nullopt;
        };
        const auto gone = listed(from.native);
        const auto made = listed(to.native);
        if ((gone || made) && LastChange(listing_.folder) != listing_.changed) {
            listing_ = Listing{};
        }
        const OsResult moved = MoveNoReplace(from.native, to.native);
        if (moved && listing_.read && (gone || made)) {
            if (gone) {
                listing_.numbers.erase(*gone);
            }
            const FileIdentity identity =
                from.attributes ? from.attributes->identity : FileIdentity{};
            if (made && identity.known && identity.volume == listing_.volume) {
                listing_.numbers.insert_or_assign(*made, identity.file);
            } else if (made) {
                listing_.numbers.erase(*made);
            }
            listing_.changed = LastChange(listing_.folder);
        }
        return moved;
    }

    static std::string StoredName(const std::string& path) {
        // A drive-relative path ("C:Sky.pak") keeps its drive.
        const auto separator = path.find_last_of("/\\:");
        const std::size_t name = separator == std::string::npos ? 0 : separator + 1;
        // A pattern would find another file; "." and ".." have no name of their
        // own, and Wine finds the folder they lead to, whose name here would be
        // another path.
        const std::string_view last = std::string_view(path).substr(name);
        WIN32_FIND_DATAA found;
        const FindHandle search(path.find_first_of("*?") != std::string::npos || last == "." ||
                                        last == ".."
                                    ? INVALID_HANDLE_VALUE
                                    : sys::FindFirstFileA(path.c_str(), &found));
        return search.IsValid() ? path.substr(0, name) + found.cFileName : path;
    }

    // Asked of the read-only bit before a file is removed or emptied: Windows
    // refuses to delete or overwrite a read-only file; Wine running as root would
    // not, so the launcher asks first and behaves the same under both.
    OsResult RemoveFile(const std::string& path) override {
        if (const auto found = Attributes(path); found && found->readOnly) {
            return {OsError::AccessDenied};
        }
        return Check(sys::DeleteFileA(path.c_str()));
    }

    OsResult ChangeDirectory(const std::string& path) override {
        return Check(sys::SetCurrentDirectoryA(path.c_str()));
    }

    // A folder the code page cannot name is none: its look-alike would be another.
    std::string WorkingDirectory() override {
        std::wstring buffer(kLongPathBuffer, L'\0');
        const DWORD length = sys::GetCurrentDirectoryW(kLongPathBuffer, buffer.data());
        if (length == 0 || length >= kLongPathBuffer) {
            return {};
        }
        const AnsiPath path = ToAnsi(std::wstring_view(buffer.data(), length));
        return path.whole && path.text.size() < kPathBuffer ? path.text : std::string();
    }

    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        const KernelHandle file(sys::CreateFileA(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (!file.IsValid() || !sys::GetFileSizeEx(file.Get(), &size) ||
            size.QuadPart > 0x7fffffff) {
            return std::nullopt;
        }
        // A file's read gives every byte asked for; fewer only where its end came first.
        std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        if (!sys::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                           nullptr) ||
            read != bytes.size()) {
            return std::nullopt;
        }
        return bytes;
    }

    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, OsError* why) override {
        if (const auto found = Attributes(path); found && found->readOnly) {
            if (why) {
                *why = OsError::AccessDenied;
            }
            return nullptr;
        }
        return OpenOutput(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS,
                          why);
    }

    // A folder opened for writing, as FlushFileBuffers needs it, writes its
    // entries through.
    OsResult SyncFolder(const std::string& path) override {
        const KernelHandle folder(
            sys::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return Check(folder.IsValid() && sys::FlushFileBuffers(folder.Get()));
    }

    // Each identity on the volume of the folder before. An entry of an absolute
    // path's folder is known from the folder's listing by its name as stored:
    // the path's own, or the one FindFirstFileA gives.
    std::vector<PathState> LookUp(std::span<const std::string> paths, bool storedNames) override {
        std::vector<PathState> states;
        for (const std::string& path : paths) {
            PathState& state = states.emplace_back(PathState{path, path, path, Attributes(path)});
            if (!state.attributes || !storedNames) {
                continue;
            }
            const bool link = (state.attributes->bits & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            auto number = link ? std::nullopt : Listed(state.path);
            if (!number) {
                state.stored = state.native = StoredName(state.path);
                number = link || state.stored == state.path ? std::nullopt : Listed(state.stored);
            }
            state.attributes->identity =
                number
                    ? FileIdentity{listing_.volume, *number, true}
                    : Identity(state.path, link ? std::string_view() : AbsoluteFolder(state.path));
        }
        return states;
    }

    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override {
        return OpenOutput(path, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_EXISTING, nullptr);
    }

    DirectoryListing ListDirectory(const std::string& path) override {
        WIN32_FIND_DATAA found;
        const FindHandle search(sys::FindFirstFileA((path + "\\*").c_str(), &found));
        if (!search.IsValid()) {
            // A drive's root has no "." entry to find: empty, it has nothing at all.
            return {GetLastError() == ERROR_FILE_NOT_FOUND ? OsError::None : Check(FALSE).error,
                    {}};
        }
        DirectoryListing listing;
        do {
            const std::string_view name = found.cFileName;
            if (name != "." && name != "..") {
                listing.names.emplace_back(name);
            }
        } while (sys::FindNextFileA(search.Get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES) {
            listing.error = Check(FALSE).error;
        }
        return listing;
    }

    bool IsLink(const std::string& path) override {
        const auto found = Attributes(path);
        return found && (found->bits & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }

    LocalTime Now() override {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }

    void Sleep(unsigned milliseconds) override { sys::Sleep(milliseconds); }

  private:
    // A file is known by its volume and file index, which a rename keeps and no
    // other file has, at the cost of an open. Its times and size would not do: a
    // mod's file unpacked beside the game's within one tick of the clock, and of
    // the same size, has the same. Every entry of a folder but a link (whose
    // identity is its target's) is on the folder's volume: given the folder,
    // the volume is asked once for all of them.
    FileIdentity Identity(const std::string& path, std::string_view folder) {
        const KernelHandle file(sys::CreateFileA(
            path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.IsValid()) {
            return {};
        }
        // Then the file index alone, through ntdll: GetFileInformationByHandle asks
        // the volume's serial number as well, which Wine answers through its mount
        // manager, at about a millisecond a file.
        if (!folder.empty() && folder == volumeFolder_) {
            using Query =
                NTSTATUS(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, FILE_INFORMATION_CLASS);
            static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
            FILE_INTERNAL_INFORMATION index;
            IO_STATUS_BLOCK status;
            if (query(file.Get(), &status, &index, sizeof index, FileInternalInformation) == 0) {
                return {volume_, static_cast<std::uint64_t>(index.IndexNumber.QuadPart), true};
            }
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!sys::GetFileInformationByHandle(file.Get(), &info)) {
            return {};
        }
        volumeFolder_ = folder;
        volume_ = info.dwVolumeSerialNumber;
        return {volume_, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, true};
    }

    // When the folder's entries last changed; none where that cannot be asked.
    static std::optional<std::uint64_t> LastChange(std::string_view folder) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!sys::GetFileAttributesExA(std::string(folder).c_str(), GetFileExInfoStandard, &data)) {
            return std::nullopt;
        }
        return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
               data.ftLastWriteTime.dwLowDateTime;
    }

    // The file number of what the absolute path names, spelled as stored, from
    // its folder's listing; none where the listing does not hold it. The listing
    // is read at the folder's second look-up in a row while it did not change,
    // so that a folder looked at once costs no listing, and one that others
    // keep changing is asked as before.
    std::optional<std::uint64_t> Listed(std::string_view path) {
        const std::string_view folder = AbsoluteFolder(path);
        const std::string_view name = path.substr(folder.size());
        if (folder.empty() || name.empty() || name == "." || name == ".." ||
            name.find_first_of("*?<>\"") != std::string_view::npos) {
            return std::nullopt;  // a pattern, or no entry of the folder
        }
        const auto changed = LastChange(folder);
        if (!changed || folder != listing_.folder || changed != listing_.changed) {
            listing_ = Listing{std::string(folder), changed, false, 0, {}};
            return std::nullopt;
        }
        if (!listing_.read) {
            ReadListing();
        }
        const auto found = listing_.numbers.find(std::string(name));
        return found == listing_.numbers.end() ? std::nullopt : std::optional(found->second);
    }

    // What stays unread (a name the code page cannot spell, a file system
    // without file numbers in its listings, FAT) is asked of the file itself.
    void ReadListing() {
        listing_.read = true;
        const KernelHandle listed(
            sys::CreateFileA(listing_.folder.c_str(), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        using Query =
            NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, void*, IO_STATUS_BLOCK*, void*, ULONG,
                             FILE_INFORMATION_CLASS, BOOLEAN, UNICODE_STRING*, BOOLEAN);
        static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryDirectoryFile")));
        BY_HANDLE_FILE_INFORMATION info;
        if (!listed.IsValid() || !query || !sys::GetFileInformationByHandle(listed.Get(), &info)) {
            return;
        }
        listing_.volume = info.dwVolumeSerialNumber;
        constexpr ULONG kBytes = 1 << 16;
        std::vector<std::uint64_t> buffer(kBytes / sizeof(std::uint64_t));  // aligned for entries
        IO_STATUS_BLOCK status;
        for (BOOLEAN first = TRUE;
             query(listed.Get(), nullptr, nullptr, nullptr, &status, buffer.data(), kBytes,
                   FileIdBothDirectoryInformation, FALSE, nullptr, first) == 0;
             first = FALSE) {
            const auto* bytes = reinterpret_cast<const char*>(buffer.data());
            for (ULONG next = 1; next != 0; bytes += next) {
                const auto& entry = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(bytes);
                const AnsiPath name = ToAnsi(
                    std::wstring_view(entry.FileName, entry.FileNameLength / sizeof(wchar_t)));
                if (name.whole && entry.FileId.QuadPart != 0) {
                    listing_.numbers.emplace(name.text, entry.FileId.QuadPart);
                }
                next = entry.NextEntryOffset;
            }
        }
    }

    std::string volumeFolder_;  // where every entry but a link is on volume_
    DWORD volume_ = 0;
    // The folder looked up last and, once read, its entries' file numbers by
    // their names as stored: under Wine an open costs a fifth of a
    // millisecond, a name in the listing nothing. It is trusted while the
    // folder's last change is the one seen then, so that a change by another
    // program is seen; the launcher's own moves keep it current.
    struct Listing {
        std::string folder;
        std::optional<std::uint64_t> changed;
        bool read = false;
        DWORD volume = 0;
        std::unordered_map<std::string, std::uint64_t> numbers;
    } listing_;
};

}  // namespace

}  // namespace srdw::win32

srdw::FileSystem& srdw::NativeFileSystem() {
    static win32::Win32FileSystem files;
    return files;
}
