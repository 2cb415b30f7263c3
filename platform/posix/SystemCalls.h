// The system calls the POSIX backend makes on files, reached through one table
// (platform/SystemCalls.h).
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <ctime>

#include "platform/SystemCalls.h"

// Each call: its name, result, parameters and the arguments that pass them on.
#define SRDW_POSIX_SYSTEM_CALLS(X)                                                                \
    X(open, int, (const char* path, int flags, mode_t mode), (path, flags, mode))                 \
    X(close, int, (int fd), (fd))                                                                 \
    X(read, ssize_t, (int fd, void* buffer, size_t size), (fd, buffer, size))                     \
    X(write, ssize_t, (int fd, const void* bytes, size_t size), (fd, bytes, size))                \
    X(fsync, int, (int fd), (fd))                                                                 \
    X(stat, int, (const char* path, struct stat* info), (path, info))                             \
    X(lstat, int, (const char* path, struct stat* info), (path, info))                            \
    X(fstat, int, (int fd, struct stat* info), (fd, info))                                        \
    X(statvfs, int, (const char* path, struct statvfs* info), (path, info))                       \
    X(rename, int, (const char* from, const char* to), (from, to))                                \
    X(renameat2, int, (int fromDir, const char* from, int toDir, const char* to, unsigned flags), \
      (fromDir, from, toDir, to, flags))                                                          \
    X(link, int, (const char* from, const char* to), (from, to))                                  \
    X(unlink, int, (const char* path), (path))                                                    \
    X(fchmodat, int, (int dir, const char* path, mode_t mode, int flags),                         \
      (dir, path, mode, flags))                                                                   \
    X(mkdir, int, (const char* path, mode_t mode), (path, mode))                                  \
    X(chdir, int, (const char* path), (path))                                                     \
    X(getcwd, char*, (char* buffer, size_t size), (buffer, size))                                 \
    X(readlink, ssize_t, (const char* path, char* target, size_t size), (path, target, size))     \
    X(opendir, DIR*, (const char* path), (path))                                                  \
    X(readdir, struct dirent*, (DIR * directory), (directory))                                    \
    X(closedir, int, (DIR * directory), (directory))                                              \
    X(flock, int, (int fd, int operation), (fd, operation))                                       \
    X(nanosleep, int, (const timespec* pause, timespec* left), (pause, left))

// The backend calls these; each goes to the table's current entry.
namespace srdw::posix::sys {
SRDW_POSIX_SYSTEM_CALLS(SRDW_DECLARE_SYSTEM_CALL)
}  // namespace srdw::posix::sys
