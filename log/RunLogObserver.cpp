#include "log/RunLogObserver.h"

#include "log/RunLog.h"
#include "script/CommandTable.h"

namespace srdw {

void RunLogObserver::WalkStarted(Walk walk) {
    LogWrite(walk == Walk::Install ? "\nInstalling script...\n" : "\nRestoring script...\n");
}

void RunLogObserver::CommandStarted(const CommandDefinition& command) {
    LogWrite(command.announcement);
}

void RunLogObserver::PathExpanded(std::string_view source,
                                  std::optional<std::string_view> expanded) {
    if (source.empty()) {
        return;
    }
    LogWrite("- Parsing path: '");
    LogWrite(source);
    LogWrite("' -> '");
    if (!expanded) {
        LogWrite(
            "'\nERROR: the expanded path would be longer than 511 characters; it is left "
            "empty and its command does nothing!\n");
        return;
    }
    LogWrite(*expanded);
    LogWrite("'\n");
}

void RunLogObserver::Said(std::string_view words) {
    LogWrite(words);
}

// Whole lines, so that the verdict after them, an ERROR or FAILED! among
// them, begins a line as every verdict does.
void RunLogObserver::MoveHeld(const std::string& path, unsigned pause) {
    LogEndLine();
    LogWrite(" > '");
    LogWrite(path);
    LogWrite("' is in use by another program; trying again in ");
    LogWrite(std::to_string(pause));
    LogWrite(" ms...\n");
}

RunLogObserver& RunLogOutcomes() {
    static RunLogObserver observer;
    return observer;
}

}  // namespace srdw
