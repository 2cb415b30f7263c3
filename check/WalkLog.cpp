#include "check/WalkLog.h"

#include <algorithm>

#include "script/CommandTable.h"

namespace srdw::check {

namespace {

bool IsAnnouncement(std::string_view line) {
    const auto table = CommandTable();
    return std::any_of(table.begin(), table.end(), [line](const CommandDefinition& c) {
        return c.announcement.size() == line.size() + 1 && c.announcement.starts_with(line) &&
               c.announcement.back() == '\n';
    });
}

class TapFile final : public OutputFile {
  public:
    explicit TapFile(WalkLog*& walk) : walk_(walk) {}
    OsResult Write(std::string_view bytes) override {
        if (walk_) {
            walk_->Write(bytes);
        }
        return OsResult::Ok();
    }
    OsResult SyncToDisk() override { return OsResult::Ok(); }

  private:
    WalkLog*& walk_;
};

}  // namespace

WalkLog::WalkLog(std::string_view heading, std::size_t listedLines, FailureSink failed)
    : skip_(heading.size()), listedLines_(listedLines), failed_(std::move(failed)) {}

void WalkLog::Write(std::string_view bytes) {
    for (const char c : bytes) {
        if (carriageReturn_) {
            carriageReturn_ = false;
            if (c != '\n') {
                Receive('\r');
            }
        }
        if (c == '\r') {
            carriageReturn_ = true;
        } else {
            Receive(c);
        }
    }
}

void WalkLog::Finish() {
    if (carriageReturn_) {
        carriageReturn_ = false;
        Receive('\r');
    }
    if (!line_.empty()) {
        Line(line_, false);
        line_.clear();
    }
    EndCommand();
    inCommand_ = false;
}

void WalkLog::Receive(char c) {
    if (skip_ > 0) {
        --skip_;
    } else if (c == '\n') {
        Line(line_, true);
        line_.clear();
    } else {
        line_.push_back(c);
    }
}

void WalkLog::Line(std::string_view line, bool ended) {
    if (lines_++ < listedLines_) {
        text_.append(line);
        text_.append(ended ? "\n" : "");
    } else {
        ++leftOut_;
    }
    if (IsAnnouncement(line)) {
        EndCommand();
        inCommand_ = true;
        return;
    }
    // The expansions are checked on their own.
    if (!inCommand_ || line.empty() || line.starts_with("- Parsing path: ") ||
        line.starts_with("ERROR: the expanded path")) {
        return;
    }
    failing_ =
        failing_ || line.find("FAILED!") != std::string_view::npos || line.starts_with("ERROR");
    const auto text = line.find_first_not_of(' ');
    verdict_ += verdict_.empty() ? "" : " ";
    verdict_ += text == std::string_view::npos ? std::string_view() : line.substr(text);
}

void WalkLog::EndCommand() {
    if (!inCommand_) {
        return;
    }
    if (failing_ && failed_) {
        failed_(command_, std::move(verdict_));
    }
    ++command_;
    failing_ = false;
    verdict_.clear();
}

std::unique_ptr<OutputFile> LogTap::CreateOutputFile(const std::string& path) {
    if (path != logPath_) {
        return inner_.CreateOutputFile(path);
    }
    return std::make_unique<TapFile>(walk_);
}

}  // namespace srdw::check
