#include "app/GameLaunch.h"

#include "app/Messages.h"
#include "log/RunLog.h"

namespace srdw {

ProgramRun RunAndWait(const std::string& file, const std::string& parameters,
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
    ProgramRun run = Host().StartAndWait(file, parameters, directory);
    if (!run) {
        LogWrite("ERROR: failed to start '");
        LogWrite(file);
        LogWrite("': ");
        LogWrite(run.reason);
        LogWrite("!\n");
    }
    return run;
}

void ReportGameNotStarted(const std::string& file, const ProgramRun& run) {
    Host().ShowMessageBox(Host().LoadText(IDS_GAME_NOT_STARTED) + "\n" + file + ": " + run.reason,
                          0);
}

}  // namespace srdw
