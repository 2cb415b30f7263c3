#include "app/CrashRecovery.h"

#include "platform/Desktop.h"

namespace srdw {

std::string RecoveryCommand() {
    std::string launcher = Host().ShortPathOf(Host().OwnPath());
    if (launcher.find(' ') != std::string::npos) {
        launcher = '"' + launcher + '"';  // no short form: keep the path one argument
    }
    return launcher + " /recover";
}

void RegisterStartupEntry() {
    // Best effort: without the entry only the automatic restore after a crash is lost.
    static_cast<void>(Host().WriteStartupEntry(kStartupEntryName, RecoveryCommand()));
}

void RemoveStartupEntry() {
    // Best effort: an entry left behind starts a recovery that finds no marker.
    static_cast<void>(Host().DeleteStartupEntry(kStartupEntryName));
}

}  // namespace srdw
