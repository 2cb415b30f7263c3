// The launcher as it ships, with faults in its system-call table, for the crash,
// I/O-error and power-loss trials. Only the tests build it. Set by the
// environment:
//   SRDW_FAULT_MODE   kill | once | always | short   (none: count only)
//   SRDW_FAULT_AT     N, counting from 1
//   SRDW_FAULT_ERROR  access | sharing | full | xdev | io   (for once and always)
//   SRDW_FAULT_COUNT  a file that receives the number of changes of a whole run
//   SRDW_FAULT_TRACE  a file that receives the trace of the run's changes (POSIX)
//   SRDW_FAULT_ENTRY  a file that receives "yes" when a start-up entry is left
//                     in the registry after the run, else "no" (Windows)
#include <cstdlib>
#include <fstream>
#include <string>

#include "SystemCallFaults.h"
#include "app/LauncherApp.h"
#include "ui/Dialogs.h"

#ifdef _WIN32
#include <windows.h>
#endif

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

#ifdef _WIN32
// Nobody answers a box in the trials: the player is away, as the POSIX trials'
// player is without a terminal.
class NobodyThere final : public srdw::PlayerDialogs {
  public:
    std::string LoadText(unsigned) override { return {}; }
    int ShowMessageBox(const std::string&, unsigned) override { return 0; }
    srdw::Answer AskYesNoCancel(const std::string&) override { return srdw::Answer::NoAnswer; }
    srdw::Answer AskYesNo(const std::string&) override { return srdw::Answer::NoAnswer; }
    std::optional<std::string> ChooseGameFile() override { return std::nullopt; }
};

bool StartupEntryLeft() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (RegGetValueA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                         "SrdwLaunch", RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            return true;
        }
    }
    return false;
}
#endif

}  // namespace

int main() {
    const std::string at = Setting("SRDW_FAULT_AT");
    srdw::test::InstallSystemCallFaults({ModeSetting(), at.empty() ? 0 : std::stoi(at),
                                         Setting("SRDW_FAULT_ERROR"), Setting("SRDW_FAULT_TRACE")});
    int exitCode = 0;
    {
#ifdef _WIN32
        NobodyThere player;
#else
        srdw::PlayerDialogs& player = srdw::ui::NativeDialogs();
#endif
        exitCode = srdw::LauncherMain({srdw::NativeFileSystem(), srdw::NativeLauncherProcess(),
                                       srdw::NativeRecords(), srdw::NativeGameProcess(), player});
    }
    if (const std::string countFile = Setting("SRDW_FAULT_COUNT"); !countFile.empty()) {
        std::ofstream(countFile, std::ios::binary) << srdw::test::SystemCallChanges() << "\n";
    }
#ifdef _WIN32
    if (const std::string entryFile = Setting("SRDW_FAULT_ENTRY"); !entryFile.empty()) {
        std::ofstream(entryFile, std::ios::binary) << (StartupEntryLeft() ? "yes" : "no") << "\n";
    }
#endif
    return exitCode;
}
