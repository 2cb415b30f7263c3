// The launcher with a fault at its N-th change to the system, for the crash and
// I/O-error trials. Only the tests build it; the shipped launcher has no such
// switch. Set by the environment:
//   SRDW_FAULT_MODE   kill | once | always   (none: count only)
//   SRDW_FAULT_AT     N, counting from 1
//   SRDW_FAULT_ERROR  access | sharing | full | xdev   (for once and always)
//   SRDW_FAULT_COUNT  a file that receives the number of changes of a whole run
#include <cstdlib>
#include <fstream>
#include <string>

#include "FaultInjectingPlatform.h"
#include "app/LauncherApp.h"

namespace {

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

srdw::test::FaultMode ModeSetting() {
    const std::string mode = Setting("SRDW_FAULT_MODE");
    using srdw::test::FaultMode;
    return mode == "kill"     ? FaultMode::Kill
           : mode == "once"   ? FaultMode::FailOnce
           : mode == "always" ? FaultMode::FailFromThenOn
                              : FaultMode::None;
}

srdw::OsError ErrorSetting() {
    const std::string error = Setting("SRDW_FAULT_ERROR");
    using srdw::OsError;
    return error == "sharing" ? OsError::SharingViolation
           : error == "full"  ? OsError::DiskFull
           : error == "xdev"  ? OsError::CrossDevice
                              : OsError::AccessDenied;
}

}  // namespace

int main() {
    const std::string at = Setting("SRDW_FAULT_AT");
    srdw::test::FaultInjectingPlatform platform(srdw::NativeFileSystem(), srdw::NativeDesktop(),
                                                ModeSetting(), at.empty() ? 0 : std::stoi(at),
                                                ErrorSetting());
    srdw::SetFiles(&platform);
    srdw::SetHost(&platform);
    int exitCode = 0;
    {
        srdw::LauncherApp app;
        app.Startup();
        exitCode = app.Shutdown();
    }
    if (const std::string countFile = Setting("SRDW_FAULT_COUNT"); !countFile.empty()) {
        std::ofstream(countFile) << platform.Changes() << "\n";
    }
    srdw::SetHost(nullptr);
    srdw::SetFiles(nullptr);
    return exitCode;
}
