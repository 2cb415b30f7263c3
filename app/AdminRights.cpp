#include "app/AdminRights.h"

#include "app/LauncherApp.h"
#include "app/Messages.h"
#include "platform/FileSystem.h"
#include "platform/LauncherProcess.h"

namespace srdw {

bool MayChange(const std::string& folder) {
    const OsResult probe = OwnProcess().ProbeNewFile(folder);
    if (probe || probe.error != OsError::AccessDenied) {
        return true;
    }
    OwnProcess().ReleaseMutex(kLauncherMutex);
    if (OwnProcess().RestartElevated(OwnProcess().OwnPath(), OwnProcess().CommandLineTail(),
                                     Files().WorkingDirectory()) != Elevation::Started) {
        ShowMessage(IDS_NEEDS_ADMIN, 0);
    }
    return false;
}

}  // namespace srdw
