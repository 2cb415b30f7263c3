#include "log/RunLogObserver.h"

#include "script/CommandTable.h"

namespace srdw {

void RunLogObserver::WalkStarted(Walk walk) {
    log_.Write(walk == Walk::Install ? "\nInstalling script...\n" : "\nRestoring script...\n");
}

void RunLogObserver::CommandStarted(const CommandDefinition& command) {
    log_.Write(command.announcement);
}

void RunLogObserver::PathExpanded(std::string_view source,
                                  std::optional<std::string_view> expanded) {
    if (source.empty()) {
        return;
    }
    log_.Write("- Parsing path: '");
    log_.Write(source);
    log_.Write("' -> '");
    if (!expanded) {
        log_.Write(
            "'\nERROR: the expanded path would be longer than 511 characters; it is left "
            "empty and its command does nothing!\n");
        return;
    }
    log_.Write(*expanded);
    log_.Write("'\n");
}

// Whole lines, so that the verdict after them, an ERROR or FAILED! among
// them, begins a line as every verdict does.
void RunLogObserver::MoveHeld(const std::string& path, unsigned pause) {
    log_.EndLine();
    log_.Write(" > '");
    log_.Write(path);
    log_.Write("' is in use by another program; trying again in ");
    log_.Write(std::to_string(pause));
    log_.Write(" ms...\n");
}

}  // namespace srdw
