#include "app/RecoveryMarker.h"

#include <string>
#include <string_view>

#include "app/PathText.h"
#include "log/RunLog.h"
#include "log/TextFile.h"
#include "platform/FileSystem.h"

namespace srdw {

void WriteMarker(const std::string& markerPath, const std::string& scriptPath) {
    if (auto marker = Files().CreateOutputFile(markerPath)) {
        if (marker->Write(ToCrLf(scriptPath))) {
            static_cast<void>(marker->SyncToDisk());  // written is better than nothing
        }
    } else if (Files().IsLink(markerPath)) {
        LogWrite("ERROR: the file '");
        LogWrite(markerPath);
        LogWrite("' is a link; the recovery marker is not written through it!\n");
    }
}

std::string ReadRestoreScript(const std::string& markerPath) {
    if (!Files().Attributes(markerPath)) {
        return {};
    }
    const auto bytes = Files().ReadWholeFile(markerPath);
    if (!bytes) {
        return {};
    }
    // Text mode ends the file at Ctrl-Z and reads CR LF as one "\n"; the line
    // read ends after its "\n" or at the first NUL.
    std::string_view rest(*bytes);
    rest = rest.substr(0, rest.find('\x1a'));
    std::string line;
    for (std::size_t i = 0; i < rest.size() && line.size() < kMaxPath; ++i) {
        const char c = rest[i];
        if (c == '\0') {
            break;
        }
        if (c == '\r' && i + 1 < rest.size() && rest[i + 1] == '\n') {
            continue;
        }
        line.push_back(c);
        if (c == '\n') {
            break;
        }
    }
    // An editor or a sync tool may have ended the line: the name ends before it.
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

std::string KeepJournalAside(const std::string& journalPath) {
    constexpr int kMostKept = 999;
    for (int n = 1; n <= kMostKept; ++n) {
        std::string aside = journalPath + ".stale-" + std::to_string(n);
        const OsResult moved = Files().MoveNoReplace(journalPath, aside);
        if (moved) {
            return aside;
        }
        if (moved.error != OsError::AlreadyExists) {
            break;
        }
    }
    return journalPath;
}

}  // namespace srdw
