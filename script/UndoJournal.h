// The undo journal: what an install did, move by move, each move with the
// identity of the file it moved, so that restore undoes exactly that, also
// after a crash or a power loss, whatever the script says by then, and never
// moves a file that is not the one the install moved.
//
// The whole install is rehearsed first on a model of the folder, and that plan
// is written and synced before the marker and before any move; the install
// then only compares its moves with the plan. Where a move differs, the plan
// is cut there and every later move gets its own record, synced before the
// move. So an install that goes as planned costs one sync for the plan and one
// at its end, whatever its length.
//
// The file is a header, then frames of [length][record][CRC-32 of record],
// numbers little-endian; a record is a kind byte and its fields. A frame that
// is cut, zeroed or otherwise damaged ends what can be read: nothing after it
// is trusted.
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
#include "platform/TextStore.h"

namespace srdw {

inline constexpr std::string_view kJournalHeader = "SRDWJNL2";

struct JournalArgument {
    std::string_view source;                   // as written in the script
    std::optional<std::string_view> expanded;  // none when it was too long
};

// One move of the install, as things stood just before it.
struct JournalMove {
    std::string_view from;  // full path, the name spelled as stored
    std::string_view to;    // full path
    bool directory = false;
    bool readOnly = false;  // of the file moved; the only attribute put back
    FileIdentity identity;  // of the file moved
    bool failed = false;    // the system refused the move: there is nothing to undo
};

struct JournalCommand {
    std::uint32_t index = 0;  // its position in the script
    bool undone = false;      // a restore put all its moves back already
    std::string_view name;
    std::vector<JournalArgument> arguments;
    std::vector<JournalMove> moves;

    bool Moved() const;
};

struct JournalContents {
    std::string folder;           // the game folder it belongs to
    FileIdentity folderIdentity;  // and that folder as the file system knows it
    std::uint32_t scriptChecksum = 0;
    std::vector<JournalCommand> commands;
    bool planned = false;   // every move the install could make was on the disk before it
    bool complete = false;  // the install ran to its end
    bool torn = false;      // the file ends in a record that is cut or damaged
    bool tornTail = false;  // only bytes written since the last sync are damaged
    // Installed over a mod that could not be restored: the marker is that mod's,
    // and stays once this install is undone.
    bool overUnrestored = false;
    std::size_t records = 0;  // how many were read
    TextStore texts;          // what the views above show

    // Whether a move may have reached the disk without its record: the restore
    // then cannot know that it put everything back. Every move waits for the
    // sync of its record, so the unsynced tail a power loss damages holds no
    // record of a move that was made.
    bool RecordsMayBeLost() const { return (torn && !tornTail) || !planned; }
    // No move is made before the plan is on the disk.
    bool NothingToUndo() const;
};

struct JournalRecord;

// The journal of one install, or of a restore's progress through one.
class UndoJournal {
  public:
    // Kept in memory and, when `path` is given, in that file, emptied first.
    // Once: each install has a journal of its own, planned before its first move.
    // `overUnrestored`: over a mod that could not be restored, whose marker stays.
    OsResult Start(FileSystem& files, const std::string& path, std::string_view folder,
                   FileIdentity folderIdentity, std::uint32_t scriptChecksum,
                   bool overUnrestored = false);
    // Rehearses the install with `rehearse`, whose records are the plan, of at
    // most `commands` commands, and writes the start and the plan through to
    // the disk; when that failed, no move may be made. From then on a move the
    // plan does not hold is synced before it is made. A rehearsal that returns
    // false may have been wrong about what the disk holds: the plan is cut at
    // its start, and the install looks for itself.
    OsResult Plan(std::size_t commands, bool keepLookUps, const std::function<bool()>& rehearse);

    // The name and the arguments' sources are views the caller keeps alive for
    // as long as the journal (the script's text); the expansions are kept.
    void BeginCommand(std::uint32_t index, std::string_view name,
                      std::span<const JournalArgument> arguments);
    // The rehearsal's look-ups are kept while it plans, and handed to the
    // install for as long as it asks of the same paths in the same directory,
    // so that the disk is asked of a path once, not twice.
    std::vector<PathState> LookUp(FileSystem& files, std::span<const std::string> paths,
                                  const std::string& directory);
    // False when the file could not take the record: then the move must not
    // be made, since a crash after it could not be undone.
    bool BeforeMove(const JournalMove& move);
    void MoveFailed();  // the move just recorded was refused by the system
    bool Finish();      // the install's end, written through to the disk

    // A restore's progress goes into the file again, on a journal not started.
    bool Reopen(FileSystem& files, const std::string& path);
    void CommandUndone(std::size_t position);
    void FlushProgress();
    void Close() { file_.reset(); }

    const JournalContents& Contents() const { return contents_; }
    // Whether a move was refused because its record could not be written.
    bool RefusedMoves() const { return refusedMoves_; }
    std::size_t Syncs() const { return syncs_; }

  private:
    bool Note(JournalRecord record, bool durable = false);
    OsResult WritePending(bool sync);
    void LeavePlan();

    JournalContents contents_;
    // From the plan's end until the install goes otherwise: the plan's
    // commands the install began, its moves the install made, and the planned
    // moves of the command it began last that it did not make yet.
    bool following_ = false;
    std::size_t commandsMet_ = 0;
    std::size_t movesMet_ = 0;
    std::span<const JournalMove> toMeet_;
    // What the rehearsal's look-ups found, in order, turned last first for the
    // install to take from the back. A look-up is kept only as the hash of its
    // path and directory and its attributes, in 48 bytes, and names only where
    // the path as asked does not give them: a long script keeps a look-up of
    // every path it names, and few of those keep a name.
    struct KeptLookUp {
        std::size_t key = 0;
        FileAttributes attributes;  // when `found`
        std::uint32_t names = 0;    // one past its place in `names`; 0: none kept
        bool found = false;
    };
    struct {
        std::vector<KeptLookUp> lookUps;
        // In `texts`: stored and native name (on Windows none, as it is the stored).
        std::vector<std::pair<std::string_view, std::string_view>> names;
        TextStore texts;
    } kept_;
    std::pair<std::string, std::size_t> hashedDirectory_;  // the last directory, and its key's hash
    bool keepLookUps_ = false;
    std::string pending_;  // records not written yet
    std::unique_ptr<OutputFile> file_;
    std::size_t syncs_ = 0;
    OsError error_ = OsError::None;  // why the file failed, when it did
    bool refusedMoves_ = false;
};

// None when the file is not there or no journal. Records after a damaged one
// are left out, and `torn` says so.
std::optional<JournalContents> ReadJournal(FileSystem& files, const std::string& path);
std::optional<JournalContents> ParseJournal(std::string_view bytes);

// Writes through the folders the journal's moves went into and out of, each
// once, so that what a restore put back is on the disk before the records
// that would undo the install again go.
void SyncMovedFolders(FileSystem& files, const JournalContents& journal);

// The CRC-32 the journal keeps of each record, and of the script's text.
std::uint32_t Checksum(std::string_view data);

}  // namespace srdw
