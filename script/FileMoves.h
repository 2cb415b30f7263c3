// The file operations that every script command is made of.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"

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

// What undoing one recorded move found and did.
enum class UndoOutcome {
    Undone,     // moved back
    NotNeeded,  // it never happened, or was undone already
    Occupied,   // something stands where the file is to go back: nothing is overwritten
    Missing,    // the file is neither where it went nor where it came from
    Failed,     // the move back was refused
};

// Moves a recorded move's file back where it came from, when the disk (as
// `source` and `to` hold it) shows the move done and the way back free; puts
// back its attributes.
UndoOutcome UndoMove(const JournalMove& move, PathState& source, PathState& target);

// The path made absolute against the current directory; an absolute one as it is.
std::string FullPath(const std::string& path);

}  // namespace srdw
