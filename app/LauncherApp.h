// The launcher: one run of the process is one call of LauncherMain.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace srdw {

// How long the programs the game left running (a tray icon, an overlay, a
// store's client) are waited for once its process has ended or its window
// has closed; when nothing is left and no window was seen, how long its
// window may take to open (a store's client takes a few seconds to start it).
inline constexpr unsigned kGraceTime = 15000;

// The one-shot start-up entry that starts the launcher with "/recover" at the
// next log-in, so that an interrupted run is undone even when nobody starts the
// launcher by hand. The recovery marker beside the launcher is the other record.
inline constexpr const char* kStartupEntryName = "SrdwLaunch";

// The start-up entry's command: the launcher's short path (quoted as one argument
// of a Windows command line when it has blanks or quotes) followed by " /recover".
std::string RecoveryCommand(LauncherProcess& process);

// Does the whole job, and removes the recovery marker and the journal where no
// restore is still to come; the log is closed as it returns the exit code, 0.
int LauncherMain(const Platform& platform);

}  // namespace srdw
