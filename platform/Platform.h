// The system one run of the launcher works on, handed in whole: the file
// system, the launcher's own process, what the system keeps between runs, the
// game's process and the player's dialogs (from the layer above, ui/). The
// program's entry point hands in the backend's, a test or a trial its own.
#pragma once

#include "platform/FileSystem.h"
#include "platform/GameProcess.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"
#include "platform/SystemRecords.h"

namespace srdw {

struct Platform {
    FileSystem& files;
    LauncherProcess& process;
    SystemRecords& records;
    GameProcess& game;
    PlayerDialogs& player;
};

}  // namespace srdw
