// What SrdwCheck finds in a script, in a form both reports are written from.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/SourceMap.h"

namespace srdw::check {

enum class Severity { Error, Warning, Note };

// What a report lists, so that it stays readable for the largest scripts; the
// rest is counted. The first findings of each code (as the check meets them),
// the first commands, and the first lines of each log of the dry run.
inline constexpr std::size_t kListedFindingsPerCode = 200;
inline constexpr std::size_t kListedCommands = 5000;
inline constexpr std::size_t kListedLogLines = 25000;

// "1 error", "3 warnings".
inline std::string Plural(std::size_t count, std::string_view word) {
    return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

// "a", "a and b", "a, b and c".
inline std::string Enumerate(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return text;
}

struct Finding {
    Severity severity;
    std::optional<SourcePosition> where;  // none for the script as a whole
    std::string code;                     // a stable name, such as "unknown-command"
    std::string message;
};

struct CheckedArgument {
    std::string text;  // as written, after cleaning
    SourcePosition where;
    std::optional<std::string> install;  // the expansion; none when over 511 characters
    std::optional<std::string> restore;  // what restore logs: the install's expansion
};

struct CheckedCommand {
    std::size_t number = 0;  // 1-based, in script order
    SourcePosition where;
    std::string name;
    bool known = false;
    std::string directory;                   // the current directory when it installs
    std::vector<CheckedArgument> arguments;  // those the command uses, or all for an unknown one
};

// Where an entry of the game directory stands while the game runs, both paths
// relative to the game directory.
struct Placement {
    std::string path;
    std::string was;
    bool directory = false;
};

struct DryRunResult {
    std::string installLog;  // the launcher's log lines of the install, "\n" line ends
    std::string restoreLog;
    std::vector<Placement> whileGameRuns;  // what is not where it was, while the game runs
    std::vector<std::string> notRestored;  // what restore leaves changed
    // A crash while the game runs, and the start-up entry's run at the next log-in:
    // a restore alone, from the journal the crashed install left.
    std::string recoveryLog;
    std::vector<std::string> notRecovered;
    std::vector<std::string> unmodelled;  // paths outside the game directory looked at
    // The lines of each log past the first kListedLogLines, which are not kept.
    std::size_t installLinesLeftOut = 0;
    std::size_t restoreLinesLeftOut = 0;
    std::size_t recoveryLinesLeftOut = 0;
};

// All findings of one code, listed or not.
struct FindingTally {
    Severity severity;
    std::size_t count = 0;
};

struct CheckReport {
    std::string script;
    std::string gameDirectory;                    // the value of "@rootdir"
    bool gameGiven = false;                       // false: gameDirectory is a stand-in
    std::string commandLine;                      // the value of "@cmdline" during install
    bool loaded = false;                          // whether the launcher would load the script
    std::vector<Finding> findings;                // the first kListedFindingsPerCode of each code
    std::map<std::string, FindingTally> tallies;  // by code
    std::vector<CheckedCommand> commands;         // the first kListedCommands
    std::size_t commandCount = 0;                 // every call the launcher parses
    std::optional<DryRunResult> dryRun;

    // Every finding of that severity, also those not listed.
    std::size_t Count(Severity severity) const;
};

}  // namespace srdw::check
