#include "app/CrashRecovery.h"

#include "platform/Desktop.h"

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

std::string RecoveryCommand() {
    // Without a short form the long path stays one argument.
    return CommandLineArgument(Host().ShortPathOf(Host().OwnPath())) + " /recover";
}

void RegisterStartupEntry() {
    // Best effort: without the entry only the automatic restore after a crash is lost.
    static_cast<void>(Host().WriteStartupEntry(kStartupEntryName, RecoveryCommand()));
}

void RemoveStartupEntry() {
    // Best effort: an entry left behind starts a recovery that finds no marker.
    static_cast<void>(Host().DeleteStartupEntry(kStartupEntryName));
}

}  // namespace srdw
