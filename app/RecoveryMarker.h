// The recovery marker "restore.mod" beside the launcher names the script that is
// installed while the game runs; a later start that finds it restores that script.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace srdw {

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
