#include "app/FailedCommands.h"

#include <string>

#include "app/Messages.h"
#include "app/PathText.h"
#include "log/RunLog.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"

namespace srdw {

void FailedCommands::WalkStarted(Walk walk) {
    ScriptObserverRelay::WalkStarted(walk);
    installing_ = walk == Walk::Install;
}

void FailedCommands::CommandStarted(const CommandDefinition& command) {
    ScriptObserverRelay::CommandStarted(command);
    commands_ += installing_ ? 1 : 0;
}

void FailedCommands::CommandFinished(Verdict verdict) {
    ScriptObserverRelay::CommandFinished(verdict);
    failed_ += installing_ && (verdict == Verdict::Failed || verdict == Verdict::Skipped) ? 1 : 0;
}

bool PlayDespite(const FailedCommands& failed) {
    if (failed.Count() == 0) {
        return true;
    }
    LogFlush();  // the log the question names holds the install's lines
    const std::string count = std::to_string(failed.Count());
    const Answer answer =
        Player().AskYesNo(MessageText(IDS_COMMANDS_FAILED, {count, std::to_string(failed.Of()),
                                                            LogPathFor(OwnProcess().OwnPath())}));
    if (answer == Answer::Yes || answer == Answer::No) {
        LogWrite(answer == Answer::Yes
                     ? "The player chose to play although "
                     : "The player chose to have every file put back without playing, as ");
        LogWrite(count);
        LogWrite(" of the script's commands did not go in.\n");
    }
    return answer != Answer::No;
}

}  // namespace srdw
