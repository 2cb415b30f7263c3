#include "app/LauncherApp.h"

#include <string>

#include "app/CrashRecovery.h"
#include "app/LaunchCycle.h"
#include "app/LaunchMode.h"
#include "app/LaunchPaths.h"
#include "app/Messages.h"
#include "app/PathText.h"
#include "app/RecoveryMarker.h"
#include "log/RunLog.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "script/ModScript.h"

namespace srdw {

bool LauncherApp::Startup() {
    Paths() = {};        // every run starts from nothing, also a second one in a process (tests)
    keepMarker_ = true;  // until the run may touch it
    // A cut or unusable own path would put the log, the marker and the script
    // somewhere else: nothing is written anywhere.
    const std::string ownPath = Host().OwnPath();
    if (ownPath.empty()) {
        ShowMessage(IDS_OWN_PATH_UNUSABLE, 0);
        return false;
    }
    // Taken before anything else, so that a launcher started while another one
    // runs, or one that cannot tell, ends at once and touches neither the log,
    // the marker nor the game.
    const MutexState guard = Host().AcquireMutex(kLauncherMutex);
    if (guard != MutexState::Acquired) {
        if (guard == MutexState::Failed) {
            ShowMessage(IDS_NO_GUARD, 0);
        }
        return false;
    }
    keepMarker_ = false;
    const std::string logPath = LogPathFor(ownPath);
    if (!LogOpen(logPath) && Files().IsLink(logPath)) {
        ShowMessage(IDS_LOG_IS_LINK, 0);
    }
    logOpened_ = true;
    ModScript script;

    const std::string launcherDirectory = DirectoryOf(ownPath);
    Paths().MarkerFile = launcherDirectory + "\\restore.mod";
    const std::string firstCandidate = ReplaceExtension(ownPath, "dat");
    const std::string secondCandidate = launcherDirectory + "\\DWSR.dat";

    const std::string restoreScript = ReadRestoreScript(Paths().MarkerFile);
    LaunchMode mode = restoreScript.empty() ? LaunchMode::InstallMode : LaunchMode::RecoverMode;

    if (mode == LaunchMode::RecoverMode && !script.Load(restoreScript)) {
        const Answer answer = Host().AskYesNoCancel(Host().LoadText(IDS_REINSTALL_QUESTION));
        LogWrite("ERROR: Failed to load restore script!\n");
        switch (answer) {
            case Answer::NoAnswer:
                // Nobody to ask: the mod stays as it is, and the next start, by
                // hand or at the next log-in, asks again.
                LogWrite("No answer: nothing is changed; the next start asks again.\n");
                RegisterStartupEntry();
                keepMarker_ = true;
                return false;
            case Answer::Cancel:
                return false;
            case Answer::Yes:
                mode = LaunchMode::InstallMode;
                break;
            case Answer::No:
                // The script keeps what the failed load parsed, for a "/recover".
                mode = LaunchMode::PlainMode;
                break;
        }
    }
    if (mode == LaunchMode::InstallMode && !script.Load(firstCandidate) &&
        !script.Load(secondCandidate)) {
        ShowMessage(IDS_SCRIPT_NOT_LOADED, 0);
        LogWrite("ERROR: Failed to load script!\n");
        return false;
    }
    // A game already running stops the run before anything changed; a marker
    // found now belongs to an earlier run whose restore is still to come.
    keepMarker_ = LaunchCycle(mode, script) == CycleEnd::GameRunning;
    return false;
}

int LauncherApp::Shutdown() {
    if (!keepMarker_ && !Paths().MarkerFile.empty()) {
        // A marker that stays only makes the next start offer a restore.
        static_cast<void>(Files().RemoveFile(Paths().MarkerFile));
    }
    if (logOpened_) {
        LogClose();
    }
    return 0;
}

}  // namespace srdw
