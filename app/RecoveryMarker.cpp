#include "app/RecoveryMarker.h"

#include <string>
#include <string_view>

#include "app/PathText.h"
#include "log/RunLog.h"
#include "platform/FileSystem.h"

namespace srdw {

OsResult WriteMarker(FileSystem& files, const std::string& markerPath,
                     const std::string& scriptPath) {
    OsError refused = OsError::Other;
    auto marker = files.CreateOutputFile(markerPath, &refused);
    if (!marker) {
        return {refused};
    }
    std::string text;
    AppendCrLf(text, scriptPath);
    const OsResult written = marker->Write(text);
    return written ? marker->SyncToDisk() : written;
}

std::string_view ReasonOf(OsError error) {
    switch (error) {
        case OsError::AccessDenied:
            return "access is denied";
        case OsError::DiskFull:
            return "the disk is full";
        case OsError::NotFound:
            return "its folder is not there";
        case OsError::SharingViolation:
            return "another program holds it";
        default:
            return "the system reports an input/output error";
    }
}

std::string ReadRestoreScript(FileSystem& files, const std::string& markerPath) {
    if (!files.Attributes(markerPath)) {
        return {};
    }
    const auto bytes = files.ReadWholeFile(markerPath);
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

}  // namespace srdw
