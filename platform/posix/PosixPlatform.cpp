// The POSIX backend: the launcher on Linux behaves as it does on Windows, with
// backslash paths, letter case ignored, read-only as the owner's missing write
// bit, and moves that never replace their target.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "platform/GameFile.h"
#include "platform/Platform.h"
#include "platform/posix/Autostart.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/WindowsCommandLine.h"
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

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// ${XDG_CONFIG_HOME:-~/.config}
std::string ConfigHome() {
    std::string home = Environment("XDG_CONFIG_HOME");
    return home.empty() ? Environment("HOME") + "/.config" : home;
}

// Where Windows keeps the game's settings file: WINDIR when it is set.
std::string SettingsDirectory() {
    std::string windir = Environment("WINDIR");
    return windir.empty() ? ConfigHome() : windir;
}

std::string AutostartEntryPath(const std::string& name) {
    return ConfigHome() + "/autostart/" + name + ".desktop";
}

void CreateDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    }
    ::mkdir(path.c_str(), 0755);
}

// Replaces a file's content so that a reader sees the old or the new text, never a mix.
OsResult ReplaceFileContent(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return LastError();
    }
    PosixOutputFile file(fd, temporary);
    OsResult result = file.Write(content);
    if (result) {
        result = file.SyncToDisk();
    }
    if (result && ::rename(temporary.c_str(), path.c_str()) != 0) {
        result = LastError();
    }
    if (!result) {
        ::unlink(temporary.c_str());
    }
    return result;
}

// File locks held for the life of the process; the system drops them when the
// process ends, however it ends.
class HeldLocks {
  public:
    ~HeldLocks() {
        for (const auto& [name, fd] : fds_) {
            ::close(fd);
        }
    }
    bool Holds(const std::string& name) const { return fds_.count(name) != 0; }
    void Keep(const std::string& name, int fd) { fds_[name] = fd; }

  private:
    std::map<std::string, int> fds_;
};

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

    std::string LowerCase(std::string text) override {
        std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
        return text;
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

    std::string StoredName(const std::string& path) override {
        const auto separator = path.find_last_of("/\\");
        const std::string resolved = ResolveCase(path);
        struct stat info;
        if (::lstat(resolved.c_str(), &info) != 0) {
            return path;
        }
        const std::string stored = resolved.substr(resolved.rfind('/') + 1);
        return separator == std::string::npos ? stored : path.substr(0, separator + 1) + stored;
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

    // Asks on standard input until the answer names an existing srend.exe (any
    // letter case); a refused answer rings the bell. An empty line or the end of
    // input cancels.
    std::optional<std::string> ChooseGameFile() override {
        for (;;) {
            std::cerr << TEXT_APP_TITLE ": path of srend.exe (empty to cancel): " << std::flush;
            std::string line;
            if (!std::getline(std::cin, line) || line.empty()) {
                return std::nullopt;
            }
            const auto attributes = Attributes(line);
            if (IsGameFileName(line) && attributes && !attributes->directory) {
                return line.front() == '/' ? line : WorkingDirectory() + "/" + line;
            }
            std::cerr << '\a' << std::flush;
        }
    }

    // No splash and no wait cursor on Linux.
    void ShowSplash() override {}
    void HideSplash() override {}
    void DestroySplash() override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}

    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override {
        const auto text = ReadWholeFile(SettingsDirectory() + "/" + file);
        return text ? posix::IniValue(*text, section, key).value_or("") : "";
    }

    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        const std::string directory = SettingsDirectory();
        CreateDirectories(directory);
        const std::string path = ResolveCase(directory + "/" + file);
        const std::string old = ReadWholeFile(path).value_or("");
        return ReplaceFileContent(path, posix::WithIniValue(old, section, key, value));
    }

    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        const std::string path = AutostartEntryPath(name);
        CreateDirectories(ConfigHome() + "/autostart");
        return ReplaceFileContent(
            path, posix::RunOnceDesktopEntry(path, posix::SplitWindowsCommandLine(command)));
    }

    OsResult DeleteStartupEntry(const std::string& name) override {
        return ::unlink(AutostartEntryPath(name).c_str()) == 0 ? OsResult::Ok() : LastError();
    }

    // A lock on a file named after the mutex; it dies with the process.
    MutexState AcquireMutex(const std::string& name) override {
        if (locks_.Holds(name)) {
            return MutexState::Acquired;
        }
        std::string directory = Environment("XDG_RUNTIME_DIR");
        const std::string path = (directory.empty() ? "/tmp" : directory) + "/" + name + ".lock";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return MutexState::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            return held ? MutexState::HeldElsewhere : MutexState::Failed;
        }
        locks_.Keep(name, fd);
        return MutexState::Acquired;
    }

    bool WindowExists(const std::string&, const std::string&) override { return false; }

    bool StartAndWait(const std::string& file, const std::string& parameters,
                      const std::string& directory) override {
        const std::string program = ResolveCase(file);
        std::vector<std::string> arguments = posix::SplitWindowsCommandLine(parameters);
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string workingDirectory = ResolveCase(directory);
        if (!workingDirectory.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
        }
        pid_t child = 0;
        const int error =
            ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            return false;
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return true;
    }

  private:
    HeldLocks locks_;
};

}  // namespace

Platform& NativePlatform() {
    static PosixPlatform platform;
    return platform;
}

}  // namespace srdw
