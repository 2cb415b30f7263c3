#include "check/WalkLog.h"

namespace srdw::check {

WalkLog::WalkLog(std::string_view heading, std::size_t listedLines)
    : skip_(heading.size()), listedLines_(listedLines) {}

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
}

}  // namespace srdw::check
