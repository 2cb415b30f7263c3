#include "app/CrashRecovery.h"

#include "platform/Platform.h"

namespace srdw {

std::string RecoveryCommand() {
    std::string launcher = Os().ShortPathOf(Os().OwnPath());
    if (launcher.find(' ') != std::string::npos) {
        launcher = '"' + launcher + '"';  // no short form: keep the path one argument
    }
    return launcher + " /recover";
}

void RegisterStartupEntry() {
    Os().WriteStartupEntry(kStartupEntryName, RecoveryCommand());
}

void RemoveStartupEntry() {
    Os().DeleteStartupEntry(kStartupEntryName);
}

}  // namespace srdw
