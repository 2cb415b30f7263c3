// The undo journal: what an install did, move by move, each move with the
// identity of the file it moved, so that restore undoes exactly that, also
// after a crash or a power loss, whatever the script says by then, and never
// moves a file that is not the one the install moved.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Installed.h"
#include "script/JournalRecord.h"

namespace srdw {

// One move of the install, as things stood just before it.
struct JournalMove {
    std::string from;           // full path, the name spelled as stored
    std::string to;             // full path
    FileAttributes attributes;  // of `from`, its identity among them
    bool failed = false;        // the system refused the move: there is nothing to undo
};

// The bytes of a journal's commands: their names, their arguments and the
// arguments' texts, kept together in blocks that never move. A long script's
// journal so costs a few bytes beyond its texts a command, not a string and a
// list each; the commands view what the store keeps.
class JournalStore {
  public:
    JournalStore() = default;
    // A store moved from starts afresh instead of writing into the blocks it gave away.
    JournalStore(JournalStore&& other) noexcept { *this = std::move(other); }
    JournalStore& operator=(JournalStore&& other) noexcept {
        if (this == &other) {
            return *this;
        }
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
        used_ = std::exchange(other.used_, 0);
        size_ = std::exchange(other.size_, 0);
        block_ = std::exchange(other.block_, nullptr);
        return *this;
    }

    std::string_view Keep(std::string_view text);
    // The arguments with their texts kept: an expansion that is part of its
    // source (a path in quotes, one without a placeholder) shares its bytes.
    std::span<const JournalArgument> Keep(std::span<const JournalArgument> arguments);

  private:
    void* Take(std::size_t bytes, std::size_t alignment);

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::size_t used_ = 0;  // of the last ordinary block
    std::size_t size_ = 0;  // of the last ordinary block
    std::byte* block_ = nullptr;
};

struct JournalCommand {
    std::uint32_t index = 0;                     // its position in the script
    std::string_view name;                       // in the journal's store
    std::span<const JournalArgument> arguments;  // in the journal's store
    std::vector<JournalMove> moves;
    bool undone = false;  // a restore put all its moves back already
};

struct JournalContents {
    std::string folder;                // the game folder it belongs to
    FileIdentity folderIdentity;       // and that folder as the file system knows it
    std::uint32_t scriptChecksum = 0;  // of the script's text, to tell a changed script
    std::vector<JournalCommand> commands;
    JournalStore store;       // what the commands' names and arguments view
    bool planned = false;     // every move the install could make was on the disk before it
    bool complete = false;    // the install ran to its end
    bool torn = false;        // the file ends in a record that is cut or damaged
    bool tornTail = false;    // only bytes written since the last sync are damaged
    std::size_t records = 0;  // how many records were read

    // Whether a move may have reached the disk without its record: the restore
    // then cannot know that it put everything back. Every move waits for the
    // sync of its record, so the unsynced tail a power loss damages holds no
    // record of a move that was made.
    bool RecordsMayBeLost() const { return (torn && !tornTail) || !planned; }
    // Whether undoing it would move nothing: every command that moved a file
    // is back, or no move was made, since none is made before the plan is on
    // the disk.
    bool NothingToUndo() const;

    // Adds a command with no moves yet, its texts kept in the store.
    JournalCommand& AddCommand(std::uint32_t index, std::string_view name,
                               std::span<const JournalArgument> arguments);
};

// The undo journal of one install. The whole install is planned first, on a
// model of the folder, and recorded and synced at once, before the marker and
// before any move; the install then only compares its moves with the plan.
// Where a move differs, the plan is cut there and every later move gets its
// own record, synced before the move. So an install that goes as planned
// costs one sync for the plan and one at its end, whatever its length.
class UndoJournal {
  public:
    UndoJournal() = default;
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    // Starts a journal of an install in `folder` of the script with that
    // checksum, kept in memory and, when `path` is given, in that file,
    // emptied first. The reason when the file cannot be made.
    OsResult Start(const std::string& path, std::string folder, FileIdentity folderIdentity,
                   std::uint32_t scriptChecksum);
    // Whether a plan is worth making: there is a file to keep it in.
    bool WantsPlan() const { return file_ != nullptr && phase_ == Phase::Idle; }
    // The records between these two are the plan, of at most `commands` commands.
    void BeginPlan(std::size_t commands = 0);
    // Writes the start and the plan through to the disk. The reason when that
    // failed: then no move may be made.
    OsResult EndPlan();

    // Records a command; its texts are copied.
    void BeginCommand(std::uint32_t index, std::string_view name,
                      std::span<const JournalArgument> arguments);
    // Records a move about to be made. False when the journal's file could not
    // take the record: then the move must not be made, since a crash after it
    // could not be undone.
    bool BeforeMove(JournalMove move);
    // The move just recorded was refused by the system.
    void MoveFailed();
    // Marks the install's end and writes the journal through to the disk.
    bool Finish();

    // Opens the journal's file again to add a restore's progress to it.
    bool Reopen(const std::string& path);
    // A restore put back every move of the command at that position.
    void CommandUndone(std::size_t position);
    // Hands the progress records gathered so far to the file.
    void FlushProgress();

    const JournalContents& Contents() const { return contents_; }
    // Lets go of the file, which may then be removed.
    void Close() { file_.reset(); }

    // Whether every record so far reached the file.
    bool Written() const { return file_ != nullptr && !failed_; }
    // Whether the file could not be made at all, so the journal is in memory only.
    bool InMemoryOnly() const { return file_ == nullptr; }
    // Whether a move was refused because its record could not be written.
    bool RefusedMoves() const { return refusedMoves_; }
    // How often the journal was written through to the disk.
    std::size_t Syncs() const { return syncs_; }

  private:
    enum class Phase { Idle, Planning, Following, Diverged };

    void Add(const JournalRecord& record);
    OsResult WritePending(bool sync);
    void Diverge(std::size_t commands, std::size_t moves);
    bool MatchesPlan(const JournalMove& move) const;

    JournalContents contents_;
    Phase phase_ = Phase::Idle;
    std::string pending_;  // records not written yet
    // Where the install stands against its plan.
    std::vector<std::pair<std::size_t, std::size_t>> plannedMoves_;  // command, move
    std::size_t plannedCommands_ = 0;
    std::size_t commandsSeen_ = 0;
    std::size_t movesMatched_ = 0;
    std::unique_ptr<OutputFile> file_;
    std::size_t syncs_ = 0;
    bool failed_ = false;
    OsError error_ = OsError::None;  // why the file failed, when it did
    bool refusedMoves_ = false;
};

// Writes through the folders the journal's moves went into and out of, each
// once, so that what a restore put back is on the disk before the records
// that would undo the install again go.
void SyncMovedFolders(const JournalContents& journal);

// The journal in the file at `path`; none when there is none, or the file is no
// journal. Records after a damaged one are left out, and `torn` says so.
std::optional<JournalContents> ReadJournal(const std::string& path);
// The same, from the file's bytes.
std::optional<JournalContents> ParseJournal(std::string_view bytes);

// The journal that moves are recorded in while an install runs (the one
// installed as Installed<UndoJournal>); none otherwise.
inline UndoJournal* ActiveJournal() {
    return Installed<UndoJournal>::Current();
}

}  // namespace srdw
