#include "SystemCallFaults.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/posix/SystemCalls.h"

namespace srdw::test {

namespace {

namespace sys = posix::sys;

FaultPlan plan;
int changes = 0;
std::FILE* trace = nullptr;

// Counts one change; true, with errno set, when it is to fail. Does not return
// when it is to kill: no destructor runs, no buffer is written.
bool Fails() {
    switch (NextChange(plan, changes)) {
        case FaultAction::Pass:
            return false;
        case FaultAction::Kill:
            std::_Exit(kKilledExitCode);
        case FaultAction::Fail:
            break;
    }
    errno = plan.mode == FaultMode::ShortThenFull ? ENOSPC
            : plan.error == "sharing"             ? EBUSY
            : plan.error == "full"                ? ENOSPC
            : plan.error == "xdev"                ? EXDEV
            : plan.error == "io"                  ? EIO
                                                  : EACCES;
    return true;
}

std::string Absolute(int directory, const char* path) {
    if (path[0] == '/') {
        return path;
    }
    char buffer[PATH_MAX];
    ssize_t length = 0;
    if (directory == AT_FDCWD) {
        length = ::getcwd(buffer, sizeof buffer) ? static_cast<ssize_t>(std::strlen(buffer)) : 0;
    } else {
        const std::string link = "/proc/self/fd/" + std::to_string(directory);
        length = std::max<ssize_t>(0, ::readlink(link.c_str(), buffer, sizeof buffer));
    }
    const std::string base(buffer, static_cast<std::size_t>(length));
    return path[0] == '\0' ? base : base + "/" + path;  // AT_EMPTY_PATH: the descriptor's own
}

std::string Hex(const void* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<const unsigned char*>(bytes)[i];
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// One line per call: "+" for a change made, "-" for one the system refused
// (counted all the same), "." for an open or close the changes refer to; the
// fields after the name are tab-separated.
enum Kind : char { kMade = '+', kRefused = '-', kReferred = '.' };

void Record(Kind kind, const char* name, std::initializer_list<std::string> fields) {
    if (!trace) {
        return;
    }
    std::string line = static_cast<char>(kind) + std::string(name);
    for (const std::string& field : fields) {
        line += "\t" + field;
    }
    line += "\n";
    std::fputs(line.c_str(), trace);
    std::fflush(trace);
}

std::string Number(long long value) {
    return std::to_string(value);
}

bool Changes(int flags) {
    return (flags & (O_CREAT | O_TRUNC | O_WRONLY | O_RDWR)) != 0;
}

int Open(const char* path, int flags, mode_t mode) {
    if (Changes(flags) && Fails()) {
        return -1;
    }
    const int fd = Original<sys::open_call>("open")(path, flags, mode);
    if (fd >= 0 || Changes(flags)) {
        Record(fd < 0           ? kRefused
               : Changes(flags) ? kMade
                                : kReferred,
               "open", {Number(fd), Absolute(AT_FDCWD, path), Number(flags), Number(mode)});
    }
    return fd;
}

int Close(int fd) {
    Record(kReferred, "close", {Number(fd)});
    return Original<sys::close_call>("close")(fd);
}

ssize_t Write(int fd, const void* bytes, size_t size) {
    if (Fails()) {
        if (plan.mode != FaultMode::ShortThenFull || changes != plan.at || size < 2) {
            return -1;
        }
        size /= 2;  // a disk that fills up in the middle of the write
    }
    const ssize_t written = Original<sys::write_call>("write")(fd, bytes, size);
    Record(written > 0 ? kMade : kRefused, "write",
           {Number(fd), Hex(bytes, static_cast<std::size_t>(std::max<ssize_t>(written, 0)))});
    return written;
}

// The calls whose arguments the trace gives as they are, paths made absolute.
template <class Call, Call (*Get)(), class... Arguments>
int Forward(const char* name, std::initializer_list<std::string> fields, Arguments... arguments) {
    if (Fails()) {
        return -1;
    }
    const int result = Get()(arguments...);
    Record(result == 0 ? kMade : kRefused, name, fields);
    return result;
}

#define SRDW_ORIGINAL(name)                       \
    sys::name##_call Original_##name() {          \
        return Original<sys::name##_call>(#name); \
    }
SRDW_ORIGINAL(rename)
SRDW_ORIGINAL(renameat2)
SRDW_ORIGINAL(link)
SRDW_ORIGINAL(unlink)
SRDW_ORIGINAL(fchmodat)
SRDW_ORIGINAL(mkdir)
#undef SRDW_ORIGINAL

// A kill keeps what the system holds, and the power-loss explorer decides
// itself what a sync made durable: the trials count and trace the syncs but do
// not wait for the disk. Nor do they wait for a held file to be let go.
int NoSync(int) {
    return 0;
}
sys::fsync_call Original_sync() {
    return &NoSync;
}
int NoPause(const timespec*, timespec*) {
    return 0;
}

int Sync(int fd) {
    return Forward<sys::fsync_call, Original_sync>("fsync", {Number(fd)}, fd);
}
int Rename(const char* from, const char* to) {
    return Forward<sys::rename_call, Original_rename>(
        "rename", {Absolute(AT_FDCWD, from), Absolute(AT_FDCWD, to)}, from, to);
}
int RenameAt(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned flags) {
    return Forward<sys::renameat2_call, Original_renameat2>(
        "rename", {Absolute(fromDirectory, from), Absolute(toDirectory, to)}, fromDirectory, from,
        toDirectory, to, flags);
}
int Link(const char* from, const char* to) {
    return Forward<sys::link_call, Original_link>(
        "link", {Absolute(AT_FDCWD, from), Absolute(AT_FDCWD, to)}, from, to);
}
int Unlink(const char* path) {
    return Forward<sys::unlink_call, Original_unlink>("unlink", {Absolute(AT_FDCWD, path)}, path);
}
int ChmodAt(int directory, const char* path, mode_t mode, int flags) {
    return Forward<sys::fchmodat_call, Original_fchmodat>(
        "chmod", {Absolute(directory, path), Number(mode)}, directory, path, mode, flags);
}
int MakeDirectory(const char* path, mode_t mode) {
    return Forward<sys::mkdir_call, Original_mkdir>(
        "mkdir", {Absolute(AT_FDCWD, path), Number(mode)}, path, mode);
}

}  // namespace

void InstallSystemCallFaults(const FaultPlan& faults) {
    plan = faults;
    if (!plan.tracePath.empty()) {
        trace = std::fopen(plan.tracePath.c_str(), "w");
    }
    SetSystemCall("open", Erased(&Open));
    SetSystemCall("close", Erased(&Close));
    SetSystemCall("write", Erased(&Write));
    SetSystemCall("fsync", Erased(&Sync));
    SetSystemCall("rename", Erased(&Rename));
    SetSystemCall("renameat2", Erased(&RenameAt));
    SetSystemCall("link", Erased(&Link));
    SetSystemCall("unlink", Erased(&Unlink));
    SetSystemCall("fchmodat", Erased(&ChmodAt));
    SetSystemCall("mkdir", Erased(&MakeDirectory));
    SetSystemCall("nanosleep", Erased(&NoPause));
}

int SystemCallChanges() {
    return changes;
}

}  // namespace srdw::test
