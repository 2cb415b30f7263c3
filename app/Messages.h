// The messages the launcher shows the user, from its string table.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "app/Launch.h"
#include "app/LaunchMode.h"
#include "res/resource.h"

namespace srdw {

class ModScript;

// Shows string-table entry `id` in a message box; returns the button pressed.
int ShowMessage(PlayerDialogs& player, unsigned id, unsigned style);
// String-table entry `id` with "%1" to "%9" replaced by the inserts in that
// order, as Windows' own messages number them; a number without an insert stays.
std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts);

// Where the system gave a path in characters the launcher cannot use (see
// LauncherProcess::UnusablePath), tells the player, naming the path, and writes it to
// the log; true then, and the run is to change nothing.
bool RefuseUnusablePath(const Launch& launch);

// No script could be loaded: message 3 and its log line. The message goes on
// with where the last script read went wrong, or, where no script lies beside
// the launcher but one lies in a folder below it, with where it lies and where
// it must go (which the log says too).
void ReportScriptNotLoaded(const Launch& launch, const ModScript& script,
                           const std::string& firstCandidate, const std::string& secondCandidate);

// A recovery that put every file back, started by hand (the marker alone sent
// the run into it, without the start-up entry's "/recover"), tells the player
// what happened and that the next start plays: otherwise the start would seem
// to do nothing. The start-up entry's run at log-in stays silent.
void TellOfRecoveryByHand(const Launch& launch, LaunchMode mode);

}  // namespace srdw
