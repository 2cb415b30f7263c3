#include "log/RunLog.h"

#include <cstdio>

#include "script/CommandTable.h"

namespace srdw {

namespace {

constexpr std::string_view kRule = "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";
// Written in pieces of this size, so a long install costs few system calls.
constexpr std::size_t kBufferSize = std::size_t{64} * 1024;

// "mm/dd/yy hh:mm:ss", the stamp of the header and the footer.
std::string TimeStamp(const LocalTime& t) {
    char stamp[128];
    const int n = std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d", t.month,
                                t.day, t.year % 100, t.hour, t.minute, t.second);
    return n > 0 ? std::string(stamp, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

bool RunLog::Open(const std::string& path) {
    Open(files_.CreateOutputFile(path));
    return file_ != nullptr;
}

void RunLog::Open(std::unique_ptr<OutputFile> file) {
    Close();
    file_ = std::move(file);
    pending_.reserve(kBufferSize);
    Write({"Skyrend II: Duskwarden\nLog started: ", TimeStamp(files_.Now()), "\n", kRule, "\n"});
}

void RunLog::Write(std::string_view text) {
    if (!file_ || text.empty()) {
        return;
    }
    lineOpen_ = text.back() != '\n';
    // Every "\n" as CR LF, a line at a time: most texts are a line or a piece of one.
    for (auto lineEnd = text.find('\n'); lineEnd != std::string_view::npos;
         lineEnd = text.find('\n')) {
        pending_.append(text.substr(0, lineEnd)).append("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    pending_.append(text);
    if (pending_.size() >= kBufferSize) {
        Flush();
    }
}

void RunLog::Write(std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
        Write(piece);
    }
}

void RunLog::Flush() {
    if (file_ && !pending_.empty()) {
        // A failed write is not the run's concern.
        static_cast<void>(file_->Write(pending_));
        pending_.clear();
    }
}

void RunLog::Close() {
    if (!file_) {
        return;
    }
    Write({"\n", kRule, "\nLog finished: ", TimeStamp(files_.Now()), "\n"});
    Flush();
    file_.reset();
}

void RunLog::WalkStarted(Walk walk) {
    installing_ = walk == Walk::Install;
    if (installing_) {
        commands_ = failed_ = 0;  // what one install did not put in
        Write({kInstallHeading, "\n"});
    } else {
        Write("\nRestoring script...\n");
    }
}

void RunLog::CommandStarted(const CommandDefinition& command) {
    commands_ += installing_ ? 1 : 0;
    Write(command.announcement);
}

void RunLog::PathExpanded(std::string_view source, std::optional<std::string_view> expanded) {
    if (source.empty()) {
        return;
    }
    Write({"- Parsing path: '", source, "' -> '", expanded.value_or(""), "'\n"});
    if (!expanded) {
        Write(
            "ERROR: the expanded path would be longer than 511 characters; it is left empty and "
            "its command does nothing!\n");
    }
}

// Whole lines: a note in the middle of a line ("Swapping files...") is ended
// first, so that the verdict after them, an ERROR or FAILED! among them,
// begins a line as every verdict does.
void RunLog::MoveHeld(const std::string& path, unsigned pause) {
    if (lineOpen_) {
        Write("\n");
    }
    Write({" > '", path, "' is in use by another program; trying again in ", std::to_string(pause),
           " ms...\n"});
}

void RunLog::CommandFinished(Verdict verdict) {
    failed_ += installing_ && (verdict == Verdict::Failed || verdict == Verdict::Skipped) ? 1 : 0;
}

}  // namespace srdw
