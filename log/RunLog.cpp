#include "log/RunLog.h"

#include <cstdio>

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

// Appends the text with every "\n" as CR LF.
void AppendCrLf(std::string& out, std::string_view text) {
    for (auto lineEnd = text.find('\n'); lineEnd != std::string_view::npos;
         lineEnd = text.find('\n')) {
        out.append(text.substr(0, lineEnd));
        out.append("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
    out.append(text);
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
    AppendCrLf(pending_, text);
    lineOpen_ = text.back() != '\n';
    if (pending_.size() >= kBufferSize) {
        Flush();
    }
}

void RunLog::Write(std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
        Write(piece);
    }
}

void RunLog::EndLine() {
    if (lineOpen_) {
        Write("\n");
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

}  // namespace srdw
