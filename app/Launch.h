// What one run of the launcher works with, handed from part to part: the
// system it runs on, its log, its paths, and the script engine over the two.
#pragma once

#include <string>

#include "log/RunLog.h"
#include "platform/Platform.h"
#include "script/Engine.h"
#include "script/PathExpansion.h"

namespace srdw {

// The paths of one launcher run, empty when it starts.
struct LaunchPaths {
    std::string GameExe;      // full path of the game executable
    std::string RootDir;      // the directory holding it; the value of "@rootdir"
    std::string CommandLine;  // trimmed and lower-cased; the value of "@cmdline"
    std::string MarkerFile;   // the launcher's directory followed by "\restore.mod"
    std::string JournalFile;  // beside it, "restore.jnl": the install's undo journal
};

struct Launch {
    Platform platform;
    RunLog& log;
    LaunchPaths& paths;
    const Engine& engine;  // the platform's files, told to the log

    FileSystem& Files() const { return platform.files; }
    PlayerDialogs& Player() const { return platform.player; }
    // What "@rootdir" and "@cmdline" stand for now.
    Placeholders Values() const { return {paths.RootDir, paths.CommandLine}; }
};

}  // namespace srdw
