// The two records that let an interrupted run be undone. The recovery marker
// "restore.mod" beside the launcher names the script that is installed while
// the game runs; a later start that finds it restores that script. The
// one-shot start-up entry starts the launcher with "/recover" at the next
// log-in, so that this happens even when nobody starts the launcher by hand.
#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace srdw {

inline constexpr const char* kStartupEntryName = "SrdwLaunch";

void RegisterStartupEntry(const Platform& platform);
void RemoveStartupEntry(const Platform& platform);
// The start-up entry's command: the launcher's short path (quoted as one argument
// of a Windows command line when it has blanks or quotes) followed by " /recover".
std::string RecoveryCommand(LauncherProcess& process);

// Writes the script's path into the marker and through to the disk, so that a
// power loss after the install began still finds it; the reason when it could
// not be made, written or written through.
OsResult WriteMarker(FileSystem& files, const std::string& markerPath,
                     const std::string& scriptPath);

// The marker's first line as a text-mode line read takes it, at most 259
// characters, without the CR and LF that end it. Empty when the marker is missing
// or unreadable.
std::string ReadRestoreScript(FileSystem& files, const std::string& markerPath);

// Why a file of the launcher's could not be written, for its log.
std::string_view ReasonOf(OsError error);

}  // namespace srdw
