// The system calls by which the POSIX backend changes files, and the opens and
// closes those refer to, reached through one table (platform/SystemCalls.h):
// the kill, I/O-error and power-loss trials inject there. What only reads is
// called directly.
#pragma once

#include <sys/types.h>

#include <ctime>

#include "platform/SystemCalls.h"

// Each call: its name, result, parameters and the arguments that pass them on.
#define SRDW_POSIX_SYSTEM_CALLS(X)                                                                \
    X(open, int, (const char* path, int flags, mode_t mode), (path, flags, mode))                 \
    X(close, int, (int fd), (fd))                                                                 \
    X(write, ssize_t, (int fd, const void* bytes, size_t size), (fd, bytes, size))                \
    X(fsync, int, (int fd), (fd))                                                                 \
    X(rename, int, (const char* from, const char* to), (from, to))                                \
    X(renameat2, int, (int fromDir, const char* from, int toDir, const char* to, unsigned flags), \
      (fromDir, from, toDir, to, flags))                                                          \
    X(link, int, (const char* from, const char* to), (from, to))                                  \
    X(unlink, int, (const char* path), (path))                                                    \
    X(fchmodat, int, (int dir, const char* path, mode_t mode, int flags),                         \
      (dir, path, mode, flags))                                                                   \
    X(mkdir, int, (const char* path, mode_t mode), (path, mode))                                  \
    X(nanosleep, int, (const timespec* pause, timespec* left), (pause, left))

// The backend calls these; each goes to the table's current entry.
namespace srdw::posix::sys {
SRDW_POSIX_SYSTEM_CALLS(SRDW_DECLARE_SYSTEM_CALL)
}  // namespace srdw::posix::sys
