// The launcher: one run of the process is one call of Startup and one of Shutdown.
#pragma once

#include "log/RunLog.h"
#include "platform/Platform.h"

namespace srdw {

// How long the programs the game left running (a tray icon, an overlay, a
// store's client) are waited for once its process has ended or its window
// has closed; when nothing is left and no window was seen, how long its
// window may take to open (a store's client takes a few seconds to start it).
inline constexpr unsigned kGraceTime = 15000;

class LauncherApp {
  public:
    explicit LauncherApp(const Platform& platform) : platform_(platform), log_(platform.files) {}

    // Does the whole job, and removes the recovery marker and the journal
    // where no restore is still to come; always false, since the launcher has
    // no message loop.
    bool Startup();
    // Closes the log; returns the exit code.
    int Shutdown();

  private:
    Platform platform_;
    RunLog log_;
};

}  // namespace srdw
