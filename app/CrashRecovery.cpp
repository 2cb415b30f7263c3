#include "app/CrashRecovery.h"

#include "app/LaunchPaths.h"
#include "log/TextFile.h"
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

void WriteMarker(const std::string& scriptPath) {
    if (auto marker = Os().CreateOutputFile(Paths().MarkerFile)) {
        if (marker->Write(ToCrLf(scriptPath))) {
            marker->SyncToDisk();
        }
    }
}

}  // namespace srdw
