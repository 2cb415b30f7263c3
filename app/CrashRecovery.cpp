#include "app/CrashRecovery.h"

#include <algorithm>

#include "app/PathText.h"
#include "log/RunLog.h"

namespace srdw {

namespace {

// One argument of a Windows command line, as the C runtime splits it back: in
// quotes when it holds a blank, a tab or a quote, a quote escaped by a
// backslash, and the backslashes before a quote (or the closing one) doubled.
std::string CommandLineArgument(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"') {
                quoted.append(backslashes + 1, '\\');
            }
            backslashes = 0;
        }
        quoted.push_back(c);
    }
    quoted.append(backslashes, '\\');
    quoted.push_back('"');
    return quoted;
}

}  // namespace

std::string RecoveryCommand(LauncherProcess& process) {
    // Without a short form the long path stays one argument.
    return CommandLineArgument(process.ShortPathOf(process.OwnPath())) + " /recover";
}

// Best effort: without the entry only the automatic restore after a crash is
// lost. A player without administrator rights may not write the machine's
// entry; the user's own then runs at this user's next log-in, which is the one
// that matters for a crash of this user's game.
void RegisterStartupEntry(const Platform& platform) {
    const std::string command = RecoveryCommand(platform.process);
    const OsResult machine = platform.records.WriteStartupEntry(kStartupEntryName, command);
    if (!machine && machine.error == OsError::AccessDenied) {
        static_cast<void>(platform.records.WriteUserStartupEntry(kStartupEntryName, command));
    }
}

// Best effort: an entry left behind starts a recovery that finds no marker.
// Both places go, as a recovery does not know where the interrupted run could
// write its entry; the place without one refuses harmlessly.
void RemoveStartupEntry(const Platform& platform) {
    static_cast<void>(platform.records.DeleteStartupEntry(kStartupEntryName));
    static_cast<void>(platform.records.DeleteUserStartupEntry(kStartupEntryName));
}

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
    // As a text-mode read takes the line: the file ends at Ctrl-Z, the line
    // at its "\n" or at the first NUL.
    const std::string_view text(*bytes);
    const std::size_t end = std::min({text.find('\x1a'), text.find('\0'), text.find('\n')});
    std::string line(text.substr(0, std::min(end, kMaxPath)));
    // An editor or a sync tool may have ended the line with a CR: the name ends before it.
    while (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace srdw
