// The file operations that every script command is made of.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "script/PathModel.h"

namespace srdw {

// A move refused because another program holds the file is tried this many
// times more, after pauses of 50, 100, 200, 400 and 800 ms.
inline constexpr int kMoveRetries = 5;
inline constexpr unsigned kFirstRetryPause = 50;

// Whether the path exists (a directory counts).
inline bool Exists(const std::string& path) {
    return Files().Attributes(path).has_value();
}

// Moves a file or directory; never replaces an existing target. A read-only
// file keeps its attributes under the new name: they are only cleared when the
// system refuses to move the file otherwise, and put back right after, so that
// no crash can leave a game file writable that was read-only.
// While an install runs, the move is recorded in its undo journal first, and
// not made when the journal's file cannot take the record.
// `from` and `to` are as LookUp found them; a move that is made updates both.
bool MovePath(PathState& from, PathState& to);
// The same for two paths not looked up yet.
bool MovePath(const std::string& from, const std::string& to);

// The paths one command works on, each looked up once, together: the command's
// checks, moves and records read these, and its moves keep them up to date.
// Paths that differ only in letter case or separators share one state.
class CommandPaths {
  public:
    // Without `storedNames`, what is there need not be asked its stored name.
    explicit CommandPaths(const std::vector<std::string>& paths, bool storedNames = true);
    PathState& operator[](const std::string& path);

  private:
    std::vector<std::string> keys_;
    std::vector<PathState> states_;
};

struct JournalMove;
struct JournalContents;

// What undoing one recorded move found and did.
enum class UndoOutcome {
    Undone,     // moved back
    NotNeeded,  // it never happened, or was undone already
    Occupied,   // something stands where the file is to go back: nothing is overwritten
    Missing,    // the file is neither where it went nor where it came from
    Replaced,   // another file stands where the install put the file
    Failed,     // the move back was refused
};

// Moves a recorded move's file back where it came from, when the file at the
// move's target (as `target` holds it) is the file the install moved and the
// way back (`source`) is free; puts back its read-only bit. A file known by
// its identity is moved only when it is that file; one of unknown identity
// (a look-up that could not say) when the disk shows the move done.
UndoOutcome UndoMove(const JournalMove& move, PathState& source, PathState& target);

// The moves of a whole journal, in the order the install made them, for a
// move whose file is neither where it went nor where it came from: a file
// that passed through several names (a chain across commands) and was put
// back further already, by a restore whose records of that were lost.
class UndoChain {
  public:
    explicit UndoChain(const JournalContents& journal);
    // Whether the move's file is at the source of an earlier move of it.
    bool FoundFurtherBack(const JournalMove& move) const;

  private:
    std::vector<const JournalMove*> moves_;
};

}  // namespace srdw
