#include "app/GameLaunch.h"

#include "log/RunLog.h"
#include "platform/Desktop.h"

namespace srdw {

bool RunAndWait(const std::string& file, const std::string& parameters,
                const std::string& directory) {
    LogWrite("\nExecuting 'ShellExecuteEx()'");
    LogWrite("\n > App: ");
    LogWrite(file);
    LogWrite("\n > Command: ");
    LogWrite(parameters);
    LogWrite("\n > Path: ");
    LogWrite(directory);
    LogWrite("\n");
    // The game may run for hours: whatever happens meanwhile, the log so far is kept.
    LogFlush();
    return Host().StartAndWait(file, parameters, directory);
}

}  // namespace srdw
