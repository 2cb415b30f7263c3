// The launcher's own process on POSIX: its path from /proc, the guards as file
// locks, and no elevation (the player starts the launcher with sudo).
#include <fcntl.h>
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
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

namespace sys = posix::sys;

namespace {

using posix::LastError;
using posix::ResolveCase;
using posix::UniqueFd;

constexpr const char* kProbeName = "SrdwLaunch.probe";

class PosixProcess final : public LauncherProcess {
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
    // cannot be had there, the launcher's own program serves: every launcher of
    // this copy locks it, and nothing is left behind by a kill.
    MutexState AcquireMutex(const std::string& name) override {
        if (locks_.contains(name)) {
            return MutexState::Acquired;
        }
        const char* runtimeVariable = std::getenv("XDG_RUNTIME_DIR");
        const std::string runtime = runtimeVariable ? runtimeVariable : "";
        const std::string lockFile = (runtime.empty() ? "/tmp" : runtime) + "/" + name + ".lock";
        for (const std::string& path : {lockFile, OwnPath()}) {
            UniqueFd fd(sys::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
            if (!fd.IsValid() && errno == ENOENT && path == lockFile) {
                fd.Reset(
                    sys::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
                posix::FollowChange({}, fd.IsValid() ? path : std::string());
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
            locks_.emplace(name, HeldLock{std::move(fd), path});
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

    std::vector<std::string> LockFiles() override {
        std::vector<std::string> files;
        for (const auto& [name, lock] : locks_) {
            files.push_back(lock.path);
        }
        return files;
    }

  private:
    struct HeldLock {
        UniqueFd fd;
        std::string path;
    };

    std::map<std::string, HeldLock> locks_;                    // by mutex name
    std::map<std::pair<dev_t, ino_t>, UniqueFd> folderLocks_;  // by the folder's identity
    std::string unusablePath_;
};

}  // namespace

LauncherProcess& NativeLauncherProcess() {
    static PosixProcess process;
    return process;
}

}  // namespace srdw
