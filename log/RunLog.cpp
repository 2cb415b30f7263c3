#include "log/RunLog.h"

#include <cstdio>
#include <memory>

#include "log/TextFile.h"
#include "platform/FileSystem.h"

namespace srdw {

namespace {

constexpr std::string_view kRule = "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";
// Written in pieces of this size, so a long install costs few system calls.
constexpr std::size_t kBufferSize = std::size_t{64} * 1024;

RunLog& Current() {
    static RunLog processLog;
    RunLog* installed = Installed<RunLog>::Current();
    return installed ? *installed : processLog;
}

bool IsOpen() {
    return Current().file != nullptr;
}

void WritePending() {
    RunLog& log = Current();
    if (!log.pending.empty()) {
        // A failed write is not the run's concern.
        static_cast<void>(log.file->Write(log.pending));
        log.pending.clear();
    }
}

}  // namespace

std::string TimeStamp() {
    const LocalTime t = Files().Now();
    char stamp[128];
    const int n = std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d", t.month,
                                t.day, t.year % 100, t.hour, t.minute, t.second);
    return n > 0 ? std::string(stamp, static_cast<std::size_t>(n)) : std::string();
}

bool LogOpen(const std::string& path) {
    LogClose();
    auto file = Files().CreateOutputFile(path);
    if (!file) {
        return false;
    }
    RunLog& log = Current();
    log.file = std::move(file);
    log.pending.clear();
    log.pending.reserve(kBufferSize);
    log.lineOpen = false;
    LogWrite("Skyrend II: Duskwarden\nLog started: ");
    LogWrite(TimeStamp());
    LogWrite("\n");
    LogWrite(kRule);
    LogWrite("\n");
    return true;
}

void LogWrite(std::string_view text) {
    if (!IsOpen() || text.empty()) {
        return;
    }
    RunLog& log = Current();
    AppendCrLf(log.pending, text);
    log.lineOpen = text.back() != '\n';
    if (log.pending.size() >= kBufferSize) {
        WritePending();
    }
}

void LogEndLine() {
    if (IsOpen() && Current().lineOpen) {
        LogWrite("\n");
    }
}

void LogFlush() {
    if (IsOpen()) {
        WritePending();
    }
}

void LogClose() {
    if (!IsOpen()) {
        return;
    }
    LogWrite("\n");
    LogWrite(kRule);
    LogWrite("\nLog finished: ");
    LogWrite(TimeStamp());
    LogWrite("\n");
    WritePending();
    Current().file.reset();
}

}  // namespace srdw
