// The commands a script can use, each written once: its name, its log line,
// its arguments with what it does to the path each names, and its checks and
// moves at install and at restore, each with the words it says when it fails.
// The engine runs commands from this table, undoes a journal's moves with the
// restore's words, and SrdwCheck reads it to check calls, follow paths and
// rehearse a run; a new command is a new entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace srdw {

// What a command does with the path one of its arguments names.
enum class PathRole {
    Reads,      // takes what stands there away
    Writes,     // puts something there
    Directory,  // works there: later commands resolve their paths against it
};

struct CommandArgument {
    std::string_view name;  // for people: "backup"
    PathRole role;
};

// One check or move of a command, and its words when it fails: `leadIn`, the
// path checked (a move's source), `between` and the move's target when a
// failure names both, then `closing`.
struct CommandStep {
    enum Kind : std::uint8_t { Absent, Present, Move };
    Kind kind;
    std::uint8_t path;    // the argument checked, or moved
    std::uint8_t to = 0;  // where a move goes
    std::string_view leadIn;
    std::string_view closing;
    std::string_view between = {};
};

// A command's work in one direction: its words before, its steps in order
// (stopping at the first that fails), and its words after either outcome.
struct Procedure {
    std::string_view opening;    // "Swapping files..."
    std::string_view failed;     // "FAILED!", before the failed step's words
    std::string_view succeeded;  // "succeeded!\n"
    std::span<const CommandStep> steps;
};

struct CommandDefinition {
    std::string_view name;          // matched exactly, letter case included
    std::string_view announcement;  // the log line every run of the command starts with
    std::span<const CommandArgument> arguments;  // those it uses; further ones are ignored
    // The install's steps, and the restore's from the script alone (a
    // recovery after an older launcher); a journal's moves are undone with the
    // restore's words. None for a command that changes the directory, which
    // it does at install, and whose restore puts back the directory from
    // before instead.
    const Procedure* install = nullptr;
    const Procedure* restore = nullptr;

    std::size_t ArgumentCount() const { return arguments.size(); }
    bool ChangesDirectory() const { return install == nullptr; }
    // "original, modified, backup"
    std::string ArgumentNames() const;
};

std::span<const CommandDefinition> CommandTable();

// Matched exactly: a call of any other name is skipped without a word.
const CommandDefinition* FindCommand(std::string_view name);

}  // namespace srdw
