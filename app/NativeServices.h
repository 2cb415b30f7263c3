// The real services of this program, installed for the life of its main():
// the backend's file system, own process, records and game process, the
// player's dialogs of ui/, and the run log.
#pragma once

#include "log/RunLog.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/Installed.h"
#include "ui/Dialogs.h"

namespace srdw {

class NativeServices {
  public:
    NativeServices() = default;
    NativeServices(const NativeServices&) = delete;
    NativeServices& operator=(const NativeServices&) = delete;

  private:
    Installed<FileSystem> files_{NativeFileSystem()};
    Installed<LauncherProcess> process_{NativeLauncherProcess()};
    Installed<SystemRecords> records_{NativeRecords()};
    Installed<GameProcess> game_{NativeGameProcess()};
    Installed<PlayerDialogs> player_{ui::NativeDialogs()};
    RunLog log_;
    Installed<RunLog> usingLog_{log_};
};

}  // namespace srdw
