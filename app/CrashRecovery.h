// The one-shot start-up entry that starts the launcher with "/recover" at the
// next log-in, so that an interrupted run is undone even when nobody starts the
// launcher by hand. The recovery marker beside the launcher is the other record.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace srdw {

inline constexpr const char* kStartupEntryName = "SrdwLaunch";

// The start-up entry's command: the launcher's short path (quoted as one argument
// of a Windows command line when it has blanks or quotes) followed by " /recover".
std::string RecoveryCommand(LauncherProcess& process);

}  // namespace srdw
