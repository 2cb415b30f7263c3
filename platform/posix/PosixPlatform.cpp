// The POSIX backend: the launcher on Linux behaves as it does on Windows, with
// backslash paths, letter case ignored, read-only as the owner's missing write
// bit, and moves that never replace their target.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <thread>

#include "platform/Platform.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "res/resource.h"

namespace srdw {

namespace {

using posix::ResolveCase;

OsError ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return OsError::None;
        case ENOENT:
        case ENOTDIR:
            return OsError::NotFound;
        case EEXIST:
        case ENOTEMPTY:
            return OsError::AlreadyExists;
        case EACCES:
        case EPERM:
        case EROFS:
            return OsError::AccessDenied;
        case EBUSY:
        case ETXTBSY:
            return OsError::SharingViolation;
        case ENOSPC:
        case EDQUOT:
            return OsError::DiskFull;
        case EXDEV:
            return OsError::CrossDevice;
        default:
            return OsError::Other;
    }
}

OsResult LastError() {
    return {ErrorFromErrno(errno)};
}

bool IsWritable(const struct stat& info) {
    return (info.st_mode & S_IWUSR) != 0;
}

// Makes a new or renamed entry of `path`'s directory survive a power loss.
void SyncParentDirectory(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

class PosixOutputFile final : public OutputFile {
  public:
    PosixOutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixOutputFile() override { ::close(fd_); }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    OsResult Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return LastError();
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return OsResult::Ok();
    }

    OsResult SyncToDisk() override {
        if (::fsync(fd_) != 0) {
            return LastError();
        }
        SyncParentDirectory(path_);
        return OsResult::Ok();
    }

  private:
    int fd_;
    std::string path_;
};

// A move that fails instead of replacing: atomic where the file system knows
// RENAME_NOREPLACE, else a hard link (which refuses an existing name) and unlink.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return -1;
    }
    return ::unlink(from.c_str());
}

class PosixPlatform final : public Platform {
  public:
    std::string OwnPath() override {
        char buffer[4096];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
        if (length <= 0) {
            return {};
        }
        return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), 259));
    }

    std::string ShortPathOf(const std::string& path) override { return path; }

    // The arguments after the program name, joined by single blanks.
    std::string CommandLineTail() override {
        std::ifstream file("/proc/self/cmdline", std::ios::binary);
        std::string tail;
        std::string argument;
        for (int index = 0; std::getline(file, argument, '\0'); ++index) {
            if (index > 1) {
                tail.push_back(' ');
            }
            if (index > 0) {
                tail.append(argument);
            }
        }
        return tail;
    }

    std::optional<FileAttributes> Attributes(const std::string& path) override {
        struct stat info;
        if (path.empty() || ::stat(ResolveCase(path).c_str(), &info) != 0) {
            return std::nullopt;
        }
        FileAttributes attributes;
        attributes.bits = info.st_mode & 07777;
        attributes.directory = S_ISDIR(info.st_mode);
        attributes.readOnly = !IsWritable(info);
        attributes.normal = IsWritable(info);
        return attributes;
    }

    OsResult SetNormalAttributes(const std::string& path) override {
        const std::string native = ResolveCase(path);
        struct stat info;
        if (::stat(native.c_str(), &info) != 0) {
            return LastError();
        }
        if (IsWritable(info)) {
            return OsResult::Ok();
        }
        return ::chmod(native.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0 ? OsResult::Ok()
                                                                              : LastError();
    }

    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override {
        return ::chmod(ResolveCase(path).c_str(), attributes.bits) == 0 ? OsResult::Ok()
                                                                        : LastError();
    }

    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        const std::string source = ResolveCase(from);
        const std::string target = ResolveCase(to);
        struct stat info;
        if (::lstat(target.c_str(), &info) == 0) {
            return {OsError::AlreadyExists};  // in some letter case
        }
        if (RenameNoReplace(source, target) != 0) {
            return LastError();
        }
        return OsResult::Ok();
    }

    OsResult RemoveFile(const std::string& path) override {
        const std::string native = ResolveCase(path);
        struct stat info;
        if (::lstat(native.c_str(), &info) != 0) {
            return LastError();
        }
        if (S_ISDIR(info.st_mode) || !IsWritable(info)) {
            return {OsError::AccessDenied};  // as for a directory or a read-only file on Windows
        }
        return ::unlink(native.c_str()) == 0 ? OsResult::Ok() : LastError();
    }

    OsResult ChangeDirectory(const std::string& path) override {
        if (path.empty()) {
            return {OsError::NotFound};
        }
        return ::chdir(ResolveCase(path).c_str()) == 0 ? OsResult::Ok() : LastError();
    }

    std::string WorkingDirectory() override {
        char buffer[4096];
        return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
    }

    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        if (path.empty()) {
            return std::nullopt;
        }
        const int fd = ::open(ResolveCase(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return std::nullopt;
        }
        std::optional<std::string> content;
        struct stat info;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
            if (done == bytes.size()) {
                content = std::move(bytes);
            }
        }
        ::close(fd);
        return content;
    }

    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) override {
        const std::string native = ResolveCase(path);
        struct stat info;
        if (::stat(native.c_str(), &info) == 0 && !IsWritable(info)) {
            return nullptr;  // a read-only file is not overwritten, as on Windows
        }
        const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<PosixOutputFile>(fd, native);
    }

    LocalTime Now() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    }

    void Sleep(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    std::string LoadText(unsigned id) override {
        switch (id) {
            case IDS_GAME_NOT_FOUND:
                return TEXT_GAME_NOT_FOUND;
            case IDS_CHOOSER_FILTER:
                return TEXT_CHOOSER_FILTER;
            case IDS_SCRIPT_NOT_LOADED:
                return TEXT_SCRIPT_NOT_LOADED;
            case IDS_GAME_RUNNING:
                return TEXT_GAME_RUNNING;
            case IDS_REINSTALL_QUESTION:
                return TEXT_REINSTALL_QUESTION;
            case IDS_APP_TITLE:
                return TEXT_APP_TITLE;
            default:
                return {};
        }
    }

    int ShowMessageBox(const std::string& text, unsigned /*style*/) override {
        std::cerr << TEXT_APP_TITLE ": " << text << std::endl;
        return 1;  // OK
    }

    // One line from standard input: y or Y answers Yes, n or N No, anything
    // else and the end of input Cancel.
    Answer AskYesNoCancel(const std::string& text) override {
        std::cerr << TEXT_APP_TITLE ": " << text << " [y/n/c] " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line) || line.empty()) {
            return Answer::Cancel;
        }
        switch (line.front()) {
            case 'y':
            case 'Y':
                return Answer::Yes;
            case 'n':
            case 'N':
                return Answer::No;
            default:
                return Answer::Cancel;
        }
    }
};

}  // namespace

Platform& NativePlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace srdw
