// Running a program and waiting for it and for everything it starts, as the
// subreaper of them all.
#pragma once

#include <string>
#include <vector>

#include "platform/GameProcess.h"

namespace srdw::posix {

// Starts arguments[0] with `arguments` in `workingDirectory` (the current one
// when empty) and reaps it and every process below it until none is left, or
// until `whileRunning` ends the wait; it is called every kWatchInterval
// milliseconds. A process that leaves its parent comes to this one, so a
// helper that was made a daemon is waited for as well.
ProgramRun RunAndReap(std::vector<std::string> arguments, const std::string& workingDirectory,
                      const WatchWhileRunning& whileRunning);

// The processes below this one that still run, by process id.
std::vector<RunningProcess> Descendants();

}  // namespace srdw::posix
