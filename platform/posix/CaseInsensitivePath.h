// Game files and scripts are written for Windows: backslashes separate, and names
// match without regard to letter case. These turn such a path into the POSIX path
// of what exists.
#pragma once

#include <sys/stat.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace srdw::posix {

// Backslashes become slashes; nothing else changes.
std::string NativePath(std::string_view path);

// The native path with each component that does not exist as spelled replaced by
// an entry of its directory with the same name in another letter case (ASCII); of
// several such entries the first in byte order. An exact match is tried first, so
// the common case costs one lookup. Components from the first one that exists in
// no letter case on are kept as spelled.
//
// A directory's names are read once and then kept, so that a script of thousands
// of commands, each of which asks after a backup name that does not exist yet,
// does not read a large directory thousands of times. What is kept follows every
// change of the directory, whoever makes it: changes on this machine are seen
// through the kernel's change notices, and a directory whose identity or
// modification time differs without such a notice (a network file system) is
// read again.
std::string ResolveCase(std::string_view path);

// ResolveCase's path with what is there, so that a caller need not ask again:
// the lookup already made the one call that says whether (and what) it is.
struct PathLookup {
    std::string path;
    bool exists = false;    // something is there, a link that leads nowhere too
    struct stat status {};  // lstat of it, when it exists
};
PathLookup LookUpPath(std::string_view path);

// LookUpPath of several paths at once, for one command: each directory they
// share is resolved once, the change notices are read once, and a name that
// its directory's listing does not hold in any letter case costs no call at all.
std::vector<PathLookup> LookUpPaths(std::span<const std::string> paths);

// Forgets every kept directory listing; the next lookups read the directories
// again. Nothing else needs it: for tests and measurements.
void ForgetDirectoryListings();

}  // namespace srdw::posix
