// Game files and scripts are written for Windows: backslashes separate, and names
// match without regard to letter case. These turn such a path into the POSIX path
// of what exists.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace srdw::posix {

// What a Windows-spelled path names here, its "." and ".." parts folded by the
// text first, as Windows folds them. The native path as spelled when
// something is there so: one lstat, and no directory is read. Otherwise each
// component that is not there as spelled is replaced by an entry of its
// directory with the same name in another letter case (A to Z); of several
// such entries the first in byte order. Components from the first one that is
// there in no letter case on are kept as spelled. A link to a directory leads
// into the directory, as a junction does on Windows.
struct PathLookup {
    std::string path;
    bool exists = false;    // something is there, a link that leads nowhere too
    struct stat status {};  // lstat of it, when it exists
};
PathLookup LookUpPath(std::string_view path);

// A directory is read at the first name it lacks as spelled, and its names are
// kept from then on: while the launcher works, it holds the lock of the folders
// it works in, so the changes there are its own. The backend tells each name it
// makes here (`made`, a native path that is now there); a name gone is dropped
// when a look-up finds it missing on the disk. A folder moved or a link removed,
// which other spellings may lead through, has every listing forgotten instead.
void FollowNewName(const std::string& made);

// Forgets every kept listing, so that each directory is read anew: for when
// others may have changed the folders (the game has run), and for tests.
void ForgetDirectoryListings();

}  // namespace srdw::posix
