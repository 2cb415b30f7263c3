// The launcher: one run of the process is one call of Startup and one of Shutdown.
#pragma once

#include <string>

#include "log/RunLog.h"
#include "log/RunLogObserver.h"
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

// What one run of the launcher works with, handed from part to part: the
// system it runs on, its log, its paths, and the script engine over the two.
struct Launch {
    Platform platform;
    RunLog& log;
    LaunchPaths& paths;
    const Engine& engine;        // the platform's files, told to the log
    const RunLogObserver& told;  // the engine's listener, which counts what did not go in

    FileSystem& Files() const { return platform.files; }
    PlayerDialogs& Player() const { return platform.player; }
    // What "@rootdir" and "@cmdline" stand for now.
    Placeholders Values() const { return {paths.RootDir, paths.CommandLine}; }
};

// How long the game is given once it seems to have ended: once its own
// process has ended, or its window has closed, the programs it left running
// (a tray icon, an overlay, an updater, a store's client) are waited for this
// long and no longer; when nothing is left and no window was seen, this is
// how long its window may take to open (a store's client that was asked to
// start the game takes a few seconds to do so).
inline constexpr unsigned kGraceTime = 15000;

class LauncherApp {
  public:
    explicit LauncherApp(const Platform& platform)
        : log_(platform.files),
          told_(log_),
          engine_{platform.files, told_},
          launch_{platform, log_, paths_, engine_, told_} {}

    // Does the whole job; always false, since the launcher has no message loop.
    bool Startup();
    // Removes the recovery marker and closes the log; returns the exit code.
    int Shutdown();

    const LaunchPaths& Paths() const { return paths_; }

  private:
    LaunchPaths paths_;
    RunLog log_;
    RunLogObserver told_;
    Engine engine_;
    Launch launch_;
    // The marker stays for a run whose restore is still to come.
    bool keepMarker_ = false;
};

}  // namespace srdw
