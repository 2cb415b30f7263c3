// The launcher: one run of the process is one call of Startup and one of Shutdown.
#pragma once

#include "app/Launch.h"
#include "log/RunLogObserver.h"

namespace srdw {

inline constexpr const char* kLauncherMutex = "Skyrend 2 - Duskwarden";

// True when this launcher holds the guard; otherwise the player is told why
// the launcher ends: another one is at work, or the guard could not be had.
bool Guarded(PlayerDialogs& player, MutexState guard);

class LauncherApp {
  public:
    explicit LauncherApp(const Platform& platform)
        : log_(platform.files),
          told_(log_),
          engine_{platform.files, told_},
          launch_{platform, log_, paths_, engine_} {}

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
    // A launcher stopped by another one leaves that one's log alone.
    bool logOpened_ = false;
    // The marker stays for a run whose restore is still to come.
    bool keepMarker_ = false;
};

}  // namespace srdw
