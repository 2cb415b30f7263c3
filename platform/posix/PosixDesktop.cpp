// The launcher's own process on POSIX: its path from /proc, the guards as file
// locks, and no elevation (the player starts the launcher with sudo). What the
// system keeps for it: the game's settings file where Wine keeps it (WINDIR)
// or in the user's configuration, and the start-up entry as an autostart
// desktop entry that removes itself.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/LauncherProcess.h"
#include "platform/SystemRecords.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

namespace posix {

std::string ShownInDesktopEntry(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t' && c != '\r') || byte == 0x7f) {
            c = '?';
        }
    }
    return text;
}

namespace {

// The variable's value; `otherwise` where it is unset or empty.
std::string Environment(const char* name, const std::string& otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? value : otherwise;
}

class PosixProcess final : public LauncherProcess {
  public:
    std::string OwnPath() override {
        const std::string path = LinkTarget("/proc/self/exe");
        if (path.empty() || path.size() > 259) {
            return {};  // none, or longer than the launcher's paths hold
        }
        // The start-up entry that recovers a crashed run must name the launcher.
        unusablePath_ = ShownInDesktopEntry(path);
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

    // A file without a name, which is gone with the descriptor however the
    // process ends. Where the file system makes none, a named one: always the
    // same name, so that one left by a killed launcher is the next one's.
    OsResult ProbeNewFile(const std::string& folder) override {
        const std::string place = LookUpPath(folder).path;
        UniqueFd fd(sys::open(place.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600));
        if (!fd.IsValid() && (errno == EOPNOTSUPP || errno == EISDIR)) {
            const std::string probe = place + "/SrdwLaunch.probe";
            sys::unlink(probe.c_str());
            fd.Reset(sys::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               0600));
            if (fd.IsValid()) {
                sys::unlink(probe.c_str());
            }
        }
        return fd.IsValid() ? OsResult::Ok() : LastError();
    }

    // Linux asks for no rights in a box: the player starts the launcher with sudo.
    Elevation RestartElevated(const std::string&, const std::string&, const std::string&) override {
        return Elevation::Unavailable;
    }

    // A lock on a file named after the mutex, held for the life of the process;
    // the system drops it when the process ends, however it ends. The file lives
    // in the runtime directory (or /tmp) and is left there, readable to all, so
    // that a launcher started by another user locks the same file. Where it
    // cannot be had there, the launcher's own program serves: every launcher of
    // this copy locks it, and nothing is left behind by a kill.
    MutexState AcquireMutex(const std::string& name) override {
        const std::string lockFile = Environment("XDG_RUNTIME_DIR", "/tmp") + "/" + name + ".lock";
        for (const std::string& path : {lockFile, OwnPath()}) {
            UniqueFd fd(sys::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
            if (!fd.IsValid() && errno == ENOENT && path == lockFile) {
                fd.Reset(
                    sys::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
                if (fd.IsValid()) {
                    FollowNewName(path);
                }
            }
            const MutexState state = Lock(std::move(fd), S_IFREG);
            if (state == MutexState::Acquired) {
                lockFile_ = path;
            }
            if (state != MutexState::Failed) {
                return state;
            }
        }
        return MutexState::Failed;
    }

    void ReleaseMutex(const std::string&) override {
        lockFile_.clear();
        locks_.clear();
    }

    // A lock on the folder itself, which every launcher there sees whatever
    // its environment, and which needs no file.
    MutexState LockFolder(const std::string& folder) override {
        return Lock(UniqueFd(sys::open(LookUpPath(folder).path.c_str(),
                                       O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0)),
                    S_IFDIR);
    }

    std::vector<std::string> LockFiles() override {
        return lockFile_.empty() ? std::vector<std::string>() : std::vector<std::string>{lockFile_};
    }

  private:
    // Locks what `fd` is open on, a file of the `type` asked for: once for any
    // number of paths to it, held until released or the process ends.
    MutexState Lock(UniqueFd fd, mode_t type) {
        struct stat status = {};
        if (!fd.IsValid() || sys::fstat(fd.Get(), &status) != 0 ||
            (status.st_mode & S_IFMT) != type) {
            return MutexState::Failed;
        }
        const auto identity = std::make_pair(status.st_dev, status.st_ino);
        if (locks_.contains(identity)) {
            return MutexState::Acquired;
        }
        if (sys::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
            return errno == EWOULDBLOCK ? MutexState::HeldElsewhere : MutexState::Failed;
        }
        locks_.emplace(identity, std::move(fd));
        return MutexState::Acquired;
    }

    std::string lockFile_;  // the mutex's
    std::map<std::pair<dev_t, ino_t>, UniqueFd>
        locks_;  // the mutex's and the folders', by identity
    std::string unusablePath_;
};

// ${XDG_CONFIG_HOME:-~/.config}; without HOME, the user's home as the system
// has it, not the root folder.
std::string ConfigHome() {
    const passwd* user = ::getpwuid(::geteuid());
    const std::string home = Environment("HOME", user && user->pw_dir ? user->pw_dir : "");
    return Environment("XDG_CONFIG_HOME", home + "/.config");
}

// Where Windows keeps the game's settings file: WINDIR when it is set.
std::string SettingsDirectory() {
    return Environment("WINDIR", ConfigHome());
}

// Text as one word of a POSIX shell, in single quotes.
std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted.append("'\\''");
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('\'');
    return quoted;
}

// One argument of an Exec key: in double quotes, with the characters the
// desktop entry format reserves escaped, then escaped again as a string value,
// which holds no control character but as the escapes \n, \t and \r. The
// launcher refuses a path with any other (see ShownInDesktopEntry).
std::string ExecArgument(const std::string& text) {
    std::string value = "\"";
    for (const char c : text) {
        if (c == '"' || c == '`' || c == '$') {
            value.append("\\\\").push_back(c);
        } else if (c == '\\') {
            value.append("\\\\\\\\");
        } else if (c == '\n') {
            value.append("\\n");
        } else if (c == '\t') {
            value.append("\\t");
        } else if (c == '\r') {
            value.append("\\r");
        } else if (c == '%') {
            value.append("%%");
        } else {
            value.push_back(c);
        }
    }
    return value + "\"";
}

// The start-up entry on Linux: an XDG autostart desktop entry that runs its
// command at the next log-in and, like Windows' RunOnce, only once: the entry
// removes itself before the command starts.
std::string RunOnceDesktopEntry(const std::string& entryPath,
                                const std::vector<std::string>& arguments) {
    std::string script = "rm -f -- " + ShellQuote(entryPath) + "; exec";
    for (const auto& argument : arguments) {
        script += " " + ShellQuote(argument);
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Skyrend 2: Duskwarden recovery\n"
           "Comment=Undoes the Duskwarden changes of an interrupted game, once\n"
           "Exec=sh -c " +
           ExecArgument(script) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// Each folder of the path that is missing, the last one too.
void CreateDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (sys::mkdir(folder.c_str(), 0755) == 0) {
            FollowNewName(folder);
        }
        if (slash == std::string::npos) {
            return;
        }
    }
}

class PosixRecords final : public SystemRecords {
  public:
    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override {
        const auto text = NativeFileSystem().ReadWholeFile(SettingsDirectory() + "/" + file);
        return text ? IniValue(*text, section, key).value_or("") : "";
    }

    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        // WINDIR as Windows takes it, letter case aside: a folder there in
        // another case is the one, and no second, empty one is made beside it.
        const std::string directory = LookUpPath(SettingsDirectory()).path;
        CreateDirectories(directory);
        const std::string path = LookUpPath(directory + "/" + file).path;
        const std::string old = NativeFileSystem().ReadWholeFile(path).value_or("");
        return ReplaceFileContent(path, WithIniValue(old, section, key, value));
    }

    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        const std::string path = StartupEntryFile(name);
        CreateDirectories(ConfigHome() + "/autostart");
        return ReplaceFileContent(path,
                                  RunOnceDesktopEntry(path, SplitWindowsCommandLine(command)));
    }

    // A kill while the entry was written may have left its temporary file.
    OsResult DeleteStartupEntry(const std::string& name) override {
        const std::string path = StartupEntryFile(name);
        sys::unlink(TemporaryFileOf(path).c_str());
        return sys::unlink(path.c_str()) == 0 ? OsResult::Ok() : LastError();
    }

    std::string StartupEntryFile(const std::string& name) override {
        return ConfigHome() + "/autostart/" + name + ".desktop";
    }

    // The autostart folder is the user's own: both entries are the one there.
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override {
        return WriteStartupEntry(name, command);
    }
    OsResult DeleteUserStartupEntry(const std::string& name) override {
        return DeleteStartupEntry(name);
    }
};

}  // namespace

}  // namespace posix

LauncherProcess& NativeLauncherProcess() {
    static posix::PosixProcess process;
    return process;
}

SystemRecords& NativeRecords() {
    static posix::PosixRecords records;
    return records;
}

}  // namespace srdw
