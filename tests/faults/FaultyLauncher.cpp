// The launcher as it ships, with faults in its system-call table, for the crash,
// I/O-error and power-loss trials. Only the tests build it. Set by the
// environment:
//   SRDW_FAULT_MODE   kill | once | always | short   (none: count only)
//   SRDW_FAULT_AT     N, counting from 1
//   SRDW_FAULT_ERROR  access | sharing | full | xdev | io   (for once and always)
//   SRDW_FAULT_COUNT  a file that receives the number of changes of a whole run
//   SRDW_FAULT_TRACE  a file that receives the trace of the run's changes
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "SystemCallFaults.h"
#include "app/LauncherApp.h"
#include "ui/Dialogs.h"

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
           : mode == "short"  ? FaultMode::ShortThenFull
                              : FaultMode::None;
}

int ErrorSetting() {
    const std::string error = Setting("SRDW_FAULT_ERROR");
    return error == "sharing" ? EBUSY
           : error == "full"  ? ENOSPC
           : error == "xdev"  ? EXDEV
           : error == "io"    ? EIO
                              : EACCES;
}

}  // namespace

int main() {
    const std::string at = Setting("SRDW_FAULT_AT");
    srdw::test::InstallSystemCallFaults({ModeSetting(), at.empty() ? 0 : std::stoi(at),
                                         ErrorSetting(), Setting("SRDW_FAULT_TRACE")});
    int exitCode = 0;
    {
        srdw::LauncherApp app({srdw::NativeFileSystem(), srdw::NativeLauncherProcess(),
                               srdw::NativeRecords(), srdw::NativeGameProcess(),
                               srdw::ui::NativeDialogs()});
        app.Startup();
        exitCode = app.Shutdown();
    }
    if (const std::string countFile = Setting("SRDW_FAULT_COUNT"); !countFile.empty()) {
        std::ofstream(countFile) << srdw::test::SystemCallChanges() << "\n";
    }
    return exitCode;
}
