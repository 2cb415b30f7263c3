// The launcher: one run of the process is one call of Startup and one of Shutdown.
#pragma once

#include "app/LaunchPaths.h"
#include "platform/Installed.h"
#include "platform/LauncherProcess.h"

namespace srdw {

inline constexpr const char* kLauncherMutex = "Skyrend 2 - Duskwarden";

// True when this launcher holds the guard; otherwise the player is told why
// the launcher ends: another one is at work, or the guard could not be had.
bool Guarded(MutexState guard);

class LauncherApp {
  public:
    // Does the whole job; always false, since the launcher has no message loop.
    bool Startup();
    // Removes the recovery marker and closes the log; returns the exit code.
    int Shutdown();

  private:
    // The run's own paths, installed for as long as the launcher lives.
    LaunchPaths paths_;
    Installed<LaunchPaths> usingPaths_{paths_};
    // A launcher stopped by another one leaves that one's log alone.
    bool logOpened_ = false;
    // The marker stays for a run whose restore is still to come.
    bool keepMarker_ = false;
};

}  // namespace srdw
