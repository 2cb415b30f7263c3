// The system calls the POSIX backend makes on files, reached through one table,
// as SQLite's os_unix.c reaches its own through aSyscall: a test puts its own
// function in place of any one of them by name, and the backend around it runs
// as it ships. The kill, I/O-error and power-loss trials inject there.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>

#include <string_view>

// Each call: its name, result, parameters and the arguments that pass them on.
#define SRDW_POSIX_SYSTEM_CALLS(X)                                                                \
    X(open, int, (const char* path, int flags, mode_t mode), (path, flags, mode))                 \
    X(openat, int, (int dir, const char* path, int flags, mode_t mode), (dir, path, flags, mode)) \
    X(close, int, (int fd), (fd))                                                                 \
    X(read, ssize_t, (int fd, void* buffer, size_t size), (fd, buffer, size))                     \
    X(write, ssize_t, (int fd, const void* bytes, size_t size), (fd, bytes, size))                \
    X(pwrite, ssize_t, (int fd, const void* bytes, size_t size, off_t at), (fd, bytes, size, at)) \
    X(ftruncate, int, (int fd, off_t size), (fd, size))                                           \
    X(fsync, int, (int fd), (fd))                                                                 \
    X(fdatasync, int, (int fd), (fd))                                                             \
    X(stat, int, (const char* path, struct stat* info), (path, info))                             \
    X(lstat, int, (const char* path, struct stat* info), (path, info))                            \
    X(fstat, int, (int fd, struct stat* info), (fd, info))                                        \
    X(fstatat, int, (int dir, const char* path, struct stat* info, int flags),                    \
      (dir, path, info, flags))                                                                   \
    X(rename, int, (const char* from, const char* to), (from, to))                                \
    X(renameat2, int, (int fromDir, const char* from, int toDir, const char* to, unsigned flags), \
      (fromDir, from, toDir, to, flags))                                                          \
    X(link, int, (const char* from, const char* to), (from, to))                                  \
    X(unlink, int, (const char* path), (path))                                                    \
    X(chmod, int, (const char* path, mode_t mode), (path, mode))                                  \
    X(fchmod, int, (int fd, mode_t mode), (fd, mode))                                             \
    X(fchmodat, int, (int dir, const char* path, mode_t mode, int flags),                         \
      (dir, path, mode, flags))                                                                   \
    X(mkdir, int, (const char* path, mode_t mode), (path, mode))                                  \
    X(chdir, int, (const char* path), (path))                                                     \
    X(opendir, DIR*, (const char* path), (path))                                                  \
    X(fdopendir, DIR*, (int fd), (fd))                                                            \
    X(readdir, struct dirent*, (DIR * directory), (directory))                                    \
    X(closedir, int, (DIR * directory), (directory))                                              \
    X(flock, int, (int fd, int operation), (fd, operation))                                       \
    X(nanosleep, int, (const timespec* pause, timespec* left), (pause, left))

namespace srdw::posix {

// Any entry of the table, whatever its type; the typed ones are in `sys`.
using AnySystemCall = void (*)();

template <class Call>
AnySystemCall Erased(Call call) {
    return reinterpret_cast<AnySystemCall>(call);
}

// The backend calls these; each goes to the table's current entry.
namespace sys {
// A parameter list and a type cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define SRDW_DECLARE_SYSTEM_CALL(name, result, parameters, arguments) \
    using name##_call = result(*) parameters;                         \
    result name parameters;
SRDW_POSIX_SYSTEM_CALLS(SRDW_DECLARE_SYSTEM_CALL)
// NOLINTEND(bugprone-macro-parentheses)
#undef SRDW_DECLARE_SYSTEM_CALL
}  // namespace sys

// Puts `call` in place of the named entry; nullptr puts the system's own back.
// False for a name the table does not have.
bool SetSystemCall(std::string_view name, AnySystemCall call);
// The named entry as it stands now, or nullptr for an unknown name.
AnySystemCall GetSystemCall(std::string_view name);
// The system's own function for the name, whatever stands in the table.
AnySystemCall OriginalSystemCall(std::string_view name);
// Every entry back to the system's own.
void ResetSystemCalls();
// The name after `name` in the table (the first for an empty name), or empty.
std::string_view NextSystemCall(std::string_view name);

}  // namespace srdw::posix
