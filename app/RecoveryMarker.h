// The recovery marker "restore.mod" beside the launcher names the script that is
// installed while the game runs; a later start that finds it restores that script.
#pragma once

#include <string>

namespace srdw {

// Writes the script's path into the marker and through to the disk, so that a
// power loss after the install began still finds it. Failures are silent.
void WriteMarker(const std::string& markerPath, const std::string& scriptPath);

// The marker's first line as a text-mode line read takes it, at most 259
// characters, without the CR and LF that end it. Empty when the marker is missing
// or unreadable.
std::string ReadRestoreScript(const std::string& markerPath);

// Renames a journal that is not to be undone to a free name beside it
// ("restore.jnl.stale-1", "-2", ...), so that nothing in it is lost; the new
// name, or the old one when it could not be renamed.
std::string KeepJournalAside(const std::string& journalPath);

}  // namespace srdw
