// The process-wide paths of one launcher run.
#pragma once

#include <string>

#include "script/PathExpansion.h"

namespace srdw {

struct LaunchPaths {
    std::string GameExe;      // full path of the game executable
    std::string RootDir;      // the directory holding it; the value of "@rootdir"
    std::string CommandLine;  // trimmed and lower-cased; the value of "@cmdline"
    std::string MarkerFile;   // the launcher's directory followed by "\restore.mod"
    std::string JournalFile;  // beside it, "restore.jnl": the install's undo journal
};

// The paths of the run under way: each launcher run installs its own
// (Installed<LaunchPaths>), so a run starts from nothing; while none is
// installed, an empty set.
LaunchPaths& Paths();

// What "@rootdir" and "@cmdline" stand for now; the views follow `paths`.
inline Placeholders PlaceholdersOf(const LaunchPaths& paths) {
    return {paths.RootDir, paths.CommandLine};
}

}  // namespace srdw
