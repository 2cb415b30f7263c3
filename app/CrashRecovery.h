// The two records that undo an interrupted run: the recovery marker beside the
// launcher, naming the installed script, and a one-shot start-up entry that
// starts the launcher with "/recover" at the next log-in.
#pragma once

#include <string>

namespace srdw {

inline constexpr const char* kStartupEntryName = "SrdwLaunch";

void RegisterStartupEntry();
void RemoveStartupEntry();
// Writes the script's path into the marker and through to the disk, so that a
// power loss after the install began still finds it. Failures are silent.
void WriteMarker(const std::string& scriptPath);
// The start-up entry's command: the launcher's short path (quoted when it has
// blanks) followed by " /recover".
std::string RecoveryCommand();

}  // namespace srdw
