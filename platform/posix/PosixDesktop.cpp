// The POSIX desktop: messages and questions on the terminal, the settings file
// and the start-up entry in the user's configuration, the mutex as a file lock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/GameFile.h"
#include "platform/posix/Autostart.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/ProcessWait.h"
#include "platform/posix/SystemCalls.h"
#include "platform/posix/UniqueFd.h"
#include "platform/posix/WindowsCommandLine.h"
#include "res/resource.h"

namespace srdw {

namespace sys = posix::sys;

namespace {

using posix::LastError;
using posix::ResolveCase;
using posix::UniqueFd;

constexpr const char* kProbeName = "SrdwLaunch.probe";

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
        sys::mkdir(path.substr(0, slash).c_str(), 0755);
    }
    sys::mkdir(path.c_str(), 0755);
}

// One line from standard input: y or Y answers Yes, n or N No, anything else
// `otherwise`. The end of input, or no input at all, is no answer.
Answer AskOnTerminal(const std::string& text, const char* choices, Answer otherwise) {
    std::cerr << TEXT_APP_TITLE ": " << text << ' ' << choices << ' ' << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::cerr << std::endl;
        return Answer::NoAnswer;
    }
    switch (line.empty() ? '\0' : line.front()) {
        case 'y':
        case 'Y':
            return Answer::Yes;
        case 'n':
        case 'N':
            return Answer::No;
        default:
            return otherwise;
    }
}

class PosixDesktop final : public Desktop {
  public:
    std::string OwnPath() override {
        char buffer[4096];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
        if (length <= 0 || length > 259) {
            return {};  // none, or longer than the launcher's paths hold
        }
        std::string path(buffer, static_cast<std::size_t>(length));
        // The start-up entry that recovers a crashed run must name the launcher.
        unusablePath_ = posix::ShownInDesktopEntry(path);
        if (unusablePath_ != path) {
            return {};
        }
        unusablePath_.clear();
        // A backslash separates on every platform, so a name holding one splits.
        return path.find('\\') == std::string::npos ? path : std::string();
    }

    std::string UnusablePath() override { return unusablePath_; }

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
            case IDS_NO_GUARD:
                return TEXT_NO_GUARD;
            case IDS_OWN_PATH_UNUSABLE:
                return TEXT_OWN_PATH_UNUSABLE;
            case IDS_GAME_NOT_STARTED:
                return TEXT_GAME_NOT_STARTED;
            case IDS_LOG_IS_LINK:
                return TEXT_LOG_IS_LINK;
            case IDS_NEEDS_ADMIN:
                return TEXT_NEEDS_ADMIN;
            case IDS_LAUNCHER_WAITING:
                return TEXT_LAUNCHER_WAITING;
            case IDS_PATH_CHARACTERS:
                return TEXT_PATH_CHARACTERS;
            case IDS_RESTORE_UNFINISHED:
                return TEXT_RESTORE_UNFINISHED;
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

    Answer AskYesNoCancel(const std::string& text) override {
        return AskOnTerminal(text, "[y/n/c]", Answer::Cancel);
    }

    Answer AskYesNo(const std::string& text) override {
        return AskOnTerminal(text, "[y/n]", Answer::No);
    }

    // Asks on standard input until the answer names an existing srend.exe (any
    // letter case); a refused answer rings the bell. An empty line or the end of
    // input cancels.
    std::optional<std::string> ChooseGameFile() override {
        FileSystem& disk = NativeFileSystem();
        for (;;) {
            std::cerr << TEXT_APP_TITLE ": path of srend.exe (empty to cancel): " << std::flush;
            std::string line;
            if (!std::getline(std::cin, line) || line.empty()) {
                return std::nullopt;
            }
            const auto attributes = disk.Attributes(line);
            if (IsGameFileName(line) && attributes && !attributes->directory) {
                return line.front() == '/' ? line : disk.WorkingDirectory() + "/" + line;
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
        const auto text = NativeFileSystem().ReadWholeFile(SettingsDirectory() + "/" + file);
        return text ? posix::IniValue(*text, section, key).value_or("") : "";
    }

    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        const std::string directory = SettingsDirectory();
        CreateDirectories(directory);
        const std::string path = ResolveCase(directory + "/" + file);
        const std::string old = NativeFileSystem().ReadWholeFile(path).value_or("");
        return posix::ReplaceFileContent(path, posix::WithIniValue(old, section, key, value));
    }

    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        const std::string path = AutostartEntryPath(name);
        CreateDirectories(ConfigHome() + "/autostart");
        return posix::ReplaceFileContent(
            path, posix::RunOnceDesktopEntry(path, posix::SplitWindowsCommandLine(command)));
    }

    OsResult DeleteStartupEntry(const std::string& name) override {
        return sys::unlink(AutostartEntryPath(name).c_str()) == 0 ? OsResult::Ok() : LastError();
    }

    // The autostart folder is the user's own: both entries are the one there.
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override {
        return WriteStartupEntry(name, command);
    }
    OsResult DeleteUserStartupEntry(const std::string& name) override {
        return DeleteStartupEntry(name);
    }

    // A file without a name, which is gone with the descriptor however the
    // process ends. Where the file system makes none, a named one: always the
    // same name, so that one left by a killed launcher is the next one's.
    OsResult ProbeNewFile(const std::string& folder) override {
        const std::string place = ResolveCase(folder);
        UniqueFd fd(sys::open(place.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600));
        if (fd.IsValid()) {
            return OsResult::Ok();
        }
        if (errno != EOPNOTSUPP && errno != EISDIR) {
            return LastError();
        }
        const std::string probe = place + "/" + kProbeName;
        sys::unlink(probe.c_str());
        fd.Reset(
            sys::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.IsValid()) {
            return LastError();
        }
        sys::unlink(probe.c_str());
        return OsResult::Ok();
    }

    // Linux asks for no rights in a box: the player starts the launcher with sudo.
    Elevation RestartElevated(const std::string&, const std::string&, const std::string&) override {
        return Elevation::Unavailable;
    }

    // A lock on a file named after the mutex, held for the life of the process;
    // the system drops it when the process ends, however it ends. The file lives
    // in the runtime directory (or /tmp) and is left there, readable to all, so
    // that a launcher started by another user locks the same file. Where it
    // cannot be had there, the file beside the launcher serves, and goes when
    // the lock does.
    MutexState AcquireMutex(const std::string& name) override {
        if (locks_.contains(name)) {
            return MutexState::Acquired;
        }
        const std::string runtime = Environment("XDG_RUNTIME_DIR");
        std::vector<std::string> places = {runtime.empty() ? "/tmp" : runtime};
        const std::string own = OwnPath();
        if (const auto slash = own.rfind('/'); slash != std::string::npos) {
            places.push_back(own.substr(0, slash));
        }
        for (std::size_t index = 0; index < places.size(); ++index) {
            const std::string path = places[index] + "/" + name + ".lock";
            UniqueFd fd(sys::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
            if (!fd.IsValid() && errno == ENOENT) {
                fd.Reset(
                    sys::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
            }
            struct stat status = {};
            if (!fd.IsValid() || sys::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
                continue;
            }
            if (sys::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
                if (errno == EWOULDBLOCK) {
                    return MutexState::HeldElsewhere;
                }
                continue;
            }
            locks_.emplace(name, HeldLock{std::move(fd), index > 0 ? path : std::string()});
            return MutexState::Acquired;
        }
        return MutexState::Failed;
    }

    void ReleaseMutex(const std::string& name) override {
        locks_.erase(name);
        folderLocks_.clear();
    }

    // A lock on the folder itself, which every launcher there sees whatever
    // its environment, and which needs no file.
    MutexState LockFolder(const std::string& folder) override {
        UniqueFd fd(sys::open(ResolveCase(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
        struct stat status = {};
        if (!fd.IsValid() || sys::fstat(fd.Get(), &status) != 0) {
            return MutexState::Failed;
        }
        const auto identity = std::make_pair(status.st_dev, status.st_ino);
        if (folderLocks_.contains(identity)) {
            return MutexState::Acquired;
        }
        if (sys::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            return errno == EWOULDBLOCK ? MutexState::HeldElsewhere : MutexState::Failed;
        }
        folderLocks_.emplace(identity, std::move(fd));
        return MutexState::Acquired;
    }

    bool HasWindows() override { return false; }
    bool WindowExists(const std::string&, const std::string&) override { return false; }

    // The launcher is the subreaper of what the game starts: a child the game
    // hands over to, even one that left its parent, ends as the launcher's own
    // child. There are no windows to watch meanwhile.
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override {
        std::vector<std::string> arguments = posix::SplitWindowsCommandLine(parameters);
        arguments.insert(arguments.begin(), ResolveCase(file));
        return posix::RunAndReap(std::move(arguments), ResolveCase(directory), whileRunning);
    }

  private:
    // A lock file whose name goes before the lock, where it is the launcher's
    // own: whoever opened it meanwhile holds a lock nobody else can see, and a
    // new launcher makes a new one.
    struct HeldLock {
        UniqueFd fd;
        std::string removeOnRelease;

        HeldLock(UniqueFd held, std::string remove)
            : fd(std::move(held)), removeOnRelease(std::move(remove)) {}
        HeldLock(HeldLock&&) = default;
        HeldLock& operator=(HeldLock&&) = default;
        HeldLock(const HeldLock&) = delete;
        HeldLock& operator=(const HeldLock&) = delete;
        ~HeldLock() {
            if (fd.IsValid() && !removeOnRelease.empty()) {
                sys::unlink(removeOnRelease.c_str());
            }
        }
    };

    std::map<std::string, HeldLock> locks_;                    // by mutex name
    std::map<std::pair<dev_t, ino_t>, UniqueFd> folderLocks_;  // by the folder's identity
    std::string unusablePath_;
};

}  // namespace

Desktop& NativeDesktop() {
    static PosixDesktop desktop;
    return desktop;
}

}  // namespace srdw
