// SrdwCheck's analysis: a script read with the launcher's own reader, parser and
// expansion, every surprise of theirs reported where it stands, and, given the
// game directory, a dry run of install and restore on a model of it. What it
// finds is kept in a form both reports are written from.
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

struct Finding {
    Severity severity;
    std::optional<SourcePosition> where;  // none for the script as a whole
    std::string code;                     // a stable name, such as "unknown-command"
    std::string message;
};

struct CheckedArgument {
    std::string text;  // as written, after cleaning
    SourcePosition where;
    // The expansion, which restore also logs; none when over 511 characters.
    std::optional<std::string> install;
};

struct CheckedCommand {
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

// The launcher's log of one walk over the script: its first kListedLogLines
// lines after the heading, and how many more there are.
struct WalkLog {
    std::vector<std::string> lines;
    std::size_t leftOut = 0;
};

struct DryRunResult {
    WalkLog install;
    WalkLog restore;
    std::vector<Placement> whileGameRuns;  // what is not where it was, while the game runs
    std::vector<std::string> notRestored;  // what restore leaves changed
    // A crash while the game runs, and the start-up entry's run at the next log-in:
    // a restore alone, from the journal the crashed install left.
    WalkLog recovery;
    std::vector<std::string> notRecovered;
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

struct CheckOptions {
    std::string gameDirectory;  // empty: no game directory given, no dry run
    std::string commandLine;    // the launcher's command line, as the player types it
};

// Checks the script read from `scriptPath` whose bytes are `source`.
CheckReport CheckScript(const std::string& scriptPath, std::string_view source,
                        const CheckOptions& options);

// The report for people (compiler-style findings, the command list, the dry
// run) and for a mod's own CI (JSON).
std::string TextReport(const CheckReport& report);
std::string JsonReport(const CheckReport& report);

}  // namespace srdw::check
