// The back half of a launcher run: find the game, then either only restore, or
// install, play and restore.
#pragma once

#include <optional>

#include "app/Launch.h"
#include "app/LaunchMode.h"
#include "script/UndoJournal.h"

namespace srdw {

class ModScript;

enum class CycleEnd {
    Completed,    // the cycle ran (or the game was not found): the records can go
    GameRunning,  // stopped before any change because the game is already running
    Unfinished,   // something the install moved is not back: the records stay
    NeedsRights,  // stopped before any change: the game folder needs administrator rights
    FolderInUse,  // stopped before any change: another launcher works on the game folder
};

// How the restore knows what to undo.
struct RestoreSource {
    // A crashed run's journal; without it a recovery restores from the script.
    std::optional<JournalContents> journal;
    // A journal file is there, but nothing in it can be read: no restore can
    // know what to undo, and the script cannot say what the install did.
    bool unreadableJournal = false;
    // The player chose to install again over a mod that could not be restored:
    // the restore then undoes the script, as far as the disk allows.
    bool fromScript = false;
};

CycleEnd LaunchCycle(const Launch& launch, LaunchMode mode, ModScript& script,
                     const RestoreSource& source);

}  // namespace srdw
