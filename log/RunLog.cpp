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

struct OpenLog {
    std::unique_ptr<OutputFile> file;
    std::string pending;    // already converted to CR LF
    bool lineOpen = false;  // the last text written did not end its line
};

std::unique_ptr<OpenLog> g_log;

void WritePending() {
    if (!g_log->pending.empty()) {
        // A failed write is not the run's concern.
        static_cast<void>(g_log->file->Write(g_log->pending));
        g_log->pending.clear();
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
    g_log = std::make_unique<OpenLog>();
    g_log->file = std::move(file);
    g_log->pending.reserve(kBufferSize);
    LogWrite("Skyrend II: Duskwarden\nLog started: ");
    LogWrite(TimeStamp());
    LogWrite("\n");
    LogWrite(kRule);
    LogWrite("\n");
    return true;
}

void LogWrite(std::string_view text) {
    if (!g_log || text.empty()) {
        return;
    }
    AppendCrLf(g_log->pending, text);
    g_log->lineOpen = text.back() != '\n';
    if (g_log->pending.size() >= kBufferSize) {
        WritePending();
    }
}

void LogEndLine() {
    if (g_log && g_log->lineOpen) {
        LogWrite("\n");
    }
}

void LogFlush() {
    if (g_log) {
        WritePending();
    }
}

void LogClose() {
    if (!g_log) {
        return;
    }
    LogWrite("\n");
    LogWrite(kRule);
    LogWrite("\nLog finished: ");
    LogWrite(TimeStamp());
    LogWrite("\n");
    WritePending();
    g_log.reset();
}

}  // namespace srdw
