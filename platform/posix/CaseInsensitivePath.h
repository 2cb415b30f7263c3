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
// several such entries the first in byte order. Components from the first one
// that exists in no letter case on are kept as spelled. A directory is taken as
// spelled when it is there so, with one stat; a link to a directory leads into
// the directory, as a junction does on Windows. The last component is looked up
// in its directory's kept listing (see ListingCache.h), which holds the spelling
// itself when that is there.
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
// ResolveCase and LookUpPath are this for one path.
std::vector<PathLookup> LookUpPaths(std::span<const std::string> paths);

}  // namespace srdw::posix
