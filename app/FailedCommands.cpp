#include "app/FailedCommands.h"

#include <string>

#include "app/Messages.h"
#include "app/PathText.h"

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

bool PlayDespite(const Launch& launch, const FailedCommands& failed) {
    if (failed.Count() == 0) {
        return true;
    }
    RunLog& log = launch.log;
    log.Flush();  // the log the question names holds the install's lines
    const std::string count = std::to_string(failed.Count());
    const Answer answer = launch.Player().AskYesNo(MessageText(
        launch.Player(), IDS_COMMANDS_FAILED,
        {count, std::to_string(failed.Of()), LogPathFor(launch.platform.process.OwnPath())}));
    if (answer == Answer::Yes || answer == Answer::No) {
        log.Write(answer == Answer::Yes
                      ? "The player chose to play although "
                      : "The player chose to have every file put back without playing, as ");
        log.Write(count);
        log.Write(" of the script's commands did not go in.\n");
    }
    return answer != Answer::No;
}

}  // namespace srdw
