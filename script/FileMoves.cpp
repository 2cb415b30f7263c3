#include "script/FileMoves.h"

#include "log/RunLog.h"
#include "script/UndoJournal.h"

namespace srdw {

namespace {

// A file that another program holds for a moment (a virus scanner, an indexer,
// the game's lingering process) is tried again after growing pauses, each
// noted in the log; any other failure is final at once.
OsResult MoveRetryingHeldFile(const std::string& from, const std::string& to) {
    unsigned pause = kFirstRetryPause;
    for (int attempt = 0;; ++attempt) {
        const OsResult moved = Files().MoveNoReplace(from, to);
        if (moved || moved.error != OsError::SharingViolation || attempt == kMoveRetries) {
            return moved;
        }
        // Whole lines, so that the verdict after them, an ERROR or FAILED!
        // among them, begins a line as every verdict does.
        LogEndLine();
        LogWrite(" > '");
        LogWrite(from);
        LogWrite("' is in use by another program; trying again in ");
        LogWrite(std::to_string(pause));
        LogWrite(" ms...\n");
        Files().Sleep(pause);
        pause *= 2;
    }
}

// A read-only file is made writable only when the system refuses to move it
// otherwise, and read-only again right after.
bool MoveKeepingAttributes(const std::string& from, const std::string& to) {
    const OsResult moved = MoveRetryingHeldFile(from, to);
    if (moved || moved.error != OsError::AccessDenied) {
        return static_cast<bool>(moved);
    }
    const auto attributes = Files().Attributes(from);
    if (!attributes || attributes->normal) {
        return false;
    }
    // Ignored by design: the move that follows tells whether it helped.
    static_cast<void>(Files().SetNormalAttributes(from));
    const bool movedNow = static_cast<bool>(MoveRetryingHeldFile(from, to));
    // Ignored by design: the move is what the script asked for, and it is done.
    static_cast<void>(Files().RestoreAttributes(movedNow ? to : from, *attributes));
    return movedNow;
}

// False when the journal could not take the record.
bool Record(const std::string& from, const std::string& to) {
    UndoJournal* journal = ActiveJournal();
    if (!journal) {
        return true;
    }
    JournalMove move;
    move.from = FullPath(Files().StoredName(from));
    move.to = FullPath(to);
    move.attributes = Files().Attributes(from).value_or(FileAttributes{});
    return journal->BeforeMove(std::move(move));
}

void RecordFailure() {
    if (UndoJournal* journal = ActiveJournal()) {
        journal->MoveFailed();
    }
}

}  // namespace

std::string FullPath(const std::string& path) {
    const bool absolute = (!path.empty() && (path.front() == '\\' || path.front() == '/')) ||
                          (path.size() >= 2 && path[1] == ':');
    if (absolute) {
        return path;
    }
    std::string full = Files().WorkingDirectory();
    if (!full.empty() && full.back() != '\\' && full.back() != '/') {
        full.push_back('\\');
    }
    return full + path;
}

bool MovePath(const std::string& from, const std::string& to) {
    if (!Record(from, to)) {
        return false;  // what no journal holds, no crash recovery could undo
    }
    const bool moved = MoveKeepingAttributes(from, to);
    if (!moved) {
        RecordFailure();
    }
    return moved;
}

UndoOutcome UndoMove(const JournalMove& move) {
    if (move.failed) {
        return UndoOutcome::NotNeeded;
    }
    const auto atSource = Files().Attributes(move.from);
    const auto atTarget = Files().Attributes(move.to);
    if (atSource && !atTarget) {
        // Not moved, or moved back already; a crash may still have left its
        // read-only bit cleared.
        if (atSource->bits != move.attributes.bits) {
            static_cast<void>(Files().RestoreAttributes(move.from, move.attributes));
        }
        return UndoOutcome::NotNeeded;
    }
    if (atSource) {
        // What stands at the target can be what an earlier move's undo put back.
        return move.targetFreedEarlier ? UndoOutcome::NotNeeded : UndoOutcome::Occupied;
    }
    if (!atTarget) {
        // Undoing an earlier move of the chain takes the file on from its source.
        return move.sourceFilledEarlier ? UndoOutcome::NotNeeded : UndoOutcome::Missing;
    }
    if (!MovePath(move.to, move.from)) {
        return UndoOutcome::Failed;
    }
    if (atTarget->bits != move.attributes.bits) {
        // Ignored by design: the file is back; its bits are the lesser matter.
        static_cast<void>(Files().RestoreAttributes(move.from, move.attributes));
    }
    return UndoOutcome::Undone;
}

}  // namespace srdw
