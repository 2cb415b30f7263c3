// The commands a script can use, each written once: its name, its arguments
// with what it does to the path each names, and what it does at install and at
// restore. The engine runs commands from this table, and SrdwCheck reads it to
// check calls, follow paths and rehearse a run; a new command is a new entry.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "script/ScriptObserver.h"

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

// A command's arguments after path expansion, one for each it uses; an argument
// the call did not give is empty. A step says its outcome in the command's
// words and returns its verdict.
using ExpandedArguments = std::span<const std::string>;
using CommandStep = Verdict (*)(ExpandedArguments arguments);

struct JournalCommand;
class UndoChain;
// Undoes the moves the command's install made, as its journal recorded them,
// and says the outcome in the command's words; the number of files it could
// not put back.
using UndoStep = std::size_t (*)(const JournalCommand& command, const UndoChain& chain);

struct CommandDefinition {
    std::string_view name;          // matched exactly, letter case included
    std::string_view announcement;  // the log line every run of the command starts with
    std::span<const CommandArgument> arguments;  // those it uses; further ones are ignored
    // A recovery replays the install step of a command that changes the
    // directory without telling it, so such a step says nothing.
    CommandStep install;
    // Restore undoes what the install's journal recorded, last move first.
    UndoStep undo;
    // Without a journal (a recovery after an older launcher), restore runs this
    // instead, from the script, last command first, each in the directory that
    // was current when it was installed.
    CommandStep restore;

    std::size_t ArgumentCount() const { return arguments.size(); }
    // Whether installing it changes the directory later commands work in.
    bool ChangesDirectory() const;
    // Whether it puts files in places, so that an install that moved nothing
    // is worth a word at restore.
    bool MovesFiles() const;
    // "original, modified, backup"
    std::string ArgumentNames() const;
};

// Every command, in the order names are compared.
std::span<const CommandDefinition> CommandTable();

// The command of that exact name, or none: a call of any other name is skipped
// without a word.
const CommandDefinition* FindCommand(std::string_view name);

}  // namespace srdw
