#include "log/RunLogObserver.h"

#include "script/CommandTable.h"

namespace srdw {

void RunLogObserver::WalkStarted(Walk walk) {
    installing_ = walk == Walk::Install;
    if (installing_) {
        commands_ = failed_ = 0;  // what one install did not put in
        log_.Write({kInstallHeading, "\n"});
    } else {
        log_.Write("\nRestoring script...\n");
    }
}

void RunLogObserver::CommandStarted(const CommandDefinition& command) {
    commands_ += installing_ ? 1 : 0;
    log_.Write(command.announcement);
}

void RunLogObserver::PathExpanded(std::string_view source,
                                  std::optional<std::string_view> expanded) {
    if (source.empty()) {
        return;
    }
    log_.Write({"- Parsing path: '", source, "' -> '"});
    if (!expanded) {
        log_.Write(
            "'\nERROR: the expanded path would be longer than 511 characters; it is left "
            "empty and its command does nothing!\n");
        return;
    }
    log_.Write({*expanded, "'\n"});
}

// Whole lines, so that the verdict after them, an ERROR or FAILED! among
// them, begins a line as every verdict does.
void RunLogObserver::MoveHeld(const std::string& path, unsigned pause) {
    log_.EndLine();
    log_.Write({" > '", path, "' is in use by another program; trying again in ",
                std::to_string(pause), " ms...\n"});
}

void RunLogObserver::CommandFinished(Verdict verdict) {
    failed_ += installing_ && (verdict == Verdict::Failed || verdict == Verdict::Skipped) ? 1 : 0;
}

}  // namespace srdw
