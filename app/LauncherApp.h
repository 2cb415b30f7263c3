// The launcher: one run of the process is one call of Startup and one of Shutdown.
#pragma once

#include "app/Launch.h"

namespace srdw {

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
