#include "app/AdminRights.h"

#include "app/LauncherApp.h"
#include "app/Messages.h"

namespace srdw {

bool MayChange(const Launch& launch, const std::string& folder) {
    LauncherProcess& process = launch.platform.process;
    const OsResult probe = process.ProbeNewFile(folder);
    if (probe || probe.error != OsError::AccessDenied) {
        return true;
    }
    process.ReleaseMutex(kLauncherMutex);
    if (process.RestartElevated(process.OwnPath(), process.CommandLineTail(),
                                launch.Files().WorkingDirectory()) != Elevation::Started) {
        ShowMessage(launch.Player(), IDS_NEEDS_ADMIN, 0);
    }
    return false;
}

}  // namespace srdw
