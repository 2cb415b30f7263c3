// The launcher's desktop, by concern: its own process (LauncherProcess.h),
// what the system keeps between runs (SystemRecords.h), the game's process
// (GameProcess.h) and the player's dialogs (PlayerDialogs.h). Each is
// installed on its own; the backends in win32/ and posix/ provide the first
// three, the layer above (ui/) the dialogs. A test replaces one concern, or
// through the proxies of DesktopProxy.h a single operation.
#pragma once

#include "platform/GameProcess.h"
#include "platform/Installed.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"
#include "platform/SystemRecords.h"

namespace srdw {

// Installs one object that plays the whole desktop (a test's, a benchmark's)
// for the life of a scope.
class InstalledDesktop {
  public:
    template <class WholeDesktop>
    explicit InstalledDesktop(WholeDesktop& desktop)
        : process_(desktop), records_(desktop), game_(desktop), player_(desktop) {}

  private:
    Installed<LauncherProcess> process_;
    Installed<SystemRecords> records_;
    Installed<GameProcess> game_;
    Installed<PlayerDialogs> player_;
};

}  // namespace srdw
