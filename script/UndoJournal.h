// The undo journal: what an install did, move by move, so that restore undoes
// exactly that, also after a crash, whatever the script says by then.
//
// Each record is written to the journal file before the move it describes is
// made, so the operating system has it even when the launcher is killed right
// after; the install's end is marked and synced once, before the game starts.
// Records carry a checksum: a tail torn or zeroed by a power loss is recognised
// and left out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

namespace srdw {

// One move of the install, as things stood just before it.
struct JournalMove {
    std::string from;           // full path, the name spelled as stored
    std::string to;             // full path
    FileAttributes attributes;  // of `from`: put back whatever a crash left
    bool failed = false;        // the system refused the move: there is nothing to undo

    // Worked out from the moves before it, not stored. A chain such as
    // Rename(a, b) then Rename(b, c) makes a file pass through several names,
    // and a restore cut short leaves it further back than any one move says.
    bool sourceFilledEarlier = false;  // an earlier move put `from` (or its folder) there
    bool targetFreedEarlier = false;   // an earlier move took `to` (or its folder) away
};

// Path keys (see PathKey), looked up by a part of a key without copying it.
struct PathKeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
        return std::hash<std::string_view>()(key);
    }
};
using PathKeySet = std::unordered_set<std::string, PathKeyHash, std::equal_to<>>;

// One argument of a command, as the install expanded it.
struct JournalArgument {
    std::string source;                   // as written in the script
    std::optional<std::string> expanded;  // none when it was too long
};

struct JournalCommand {
    std::uint32_t index = 0;  // its position in the script
    std::string name;
    std::vector<JournalArgument> arguments;
    std::vector<JournalMove> moves;
};

struct JournalContents {
    std::uint32_t scriptChecksum = 0;  // of the script's text, to tell a changed script
    std::vector<JournalCommand> commands;
    bool complete = false;  // the install ran to its end
    bool torn = false;      // the file ends in a record that is cut or damaged
};

class UndoJournal {
  public:
    UndoJournal() = default;
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    // Starts a journal of an install of the script with that checksum, kept in
    // memory and, when `path` is given, in that file, emptied first. False when
    // the file cannot be written; the journal is then kept in memory only.
    bool Start(const std::string& path, std::uint32_t scriptChecksum);
    void BeginCommand(std::uint32_t index, std::string_view name,
                      std::vector<JournalArgument> arguments);
    // Records a move about to be made. False when the journal's file could not
    // take the record: then the move must not be made, since a crash after it
    // could not be undone.
    bool BeforeMove(JournalMove move);
    // The move just recorded was refused by the system.
    void MoveFailed();
    // Marks the install's end and writes the journal through to the disk.
    bool Finish();

    const JournalContents& Contents() const { return contents_; }
    // Whether every record so far reached the file.
    bool Written() const { return file_ != nullptr && !failed_; }
    // Whether the file could not be made at all, so the journal is in memory only.
    bool InMemoryOnly() const { return file_ == nullptr; }
    // Whether a move was refused because its record could not be written.
    bool RefusedMoves() const { return refusedMoves_; }

  private:
    void Append(const std::string& payload);
    static void Frame(const std::string& payload, std::string& out);

    JournalContents contents_;
    PathKeySet sources_;  // of the moves so far
    PathKeySet targets_;
    // Records of commands that have moved nothing yet, written together with
    // the next record: before a command's first move, or at the end. A command
    // that moved nothing has nothing to undo, so a crash that loses its record
    // loses no file.
    std::string pendingCommand_;
    std::unique_ptr<OutputFile> file_;
    bool failed_ = false;
    bool refusedMoves_ = false;
};

// The journal in the file at `path`; none when there is none, or the file is no
// journal. Records after a damaged one are left out, and `torn` says so.
std::optional<JournalContents> ReadJournal(const std::string& path);
// The same, from the file's bytes.
std::optional<JournalContents> ParseJournal(std::string_view bytes);

// A path as the journal compares it: letter case and separators folded.
std::string PathKey(std::string_view path);

// The checksum the journal keeps of data.
std::uint32_t Checksum(std::string_view data);

// The journal that moves are recorded in while an install runs; none otherwise.
UndoJournal* ActiveJournal();

class ActiveJournalScope {
  public:
    explicit ActiveJournalScope(UndoJournal& journal);
    ~ActiveJournalScope();
    ActiveJournalScope(const ActiveJournalScope&) = delete;
    ActiveJournalScope& operator=(const ActiveJournalScope&) = delete;

  private:
    UndoJournal* previous_;
};

}  // namespace srdw
