#include "script/FileMoves.h"

#include <algorithm>

#include "script/ScriptObserver.h"
#include "script/UndoJournal.h"

namespace srdw {

namespace {

// A file that another program holds for a moment (a virus scanner, an indexer,
// the game's lingering process) is tried again after growing pauses, each
// told to the engine's listener; any other failure is final at once.
OsResult MoveRetryingHeldFile(const PathState& from, const PathState& to) {
    unsigned pause = kFirstRetryPause;
    for (int attempt = 0;; ++attempt) {
        const OsResult moved = Files().MoveLookedUp(from, to);
        if (moved || moved.error != OsError::SharingViolation || attempt == kMoveRetries) {
            return moved;
        }
        Outcomes().MoveHeld(from.path, pause);
        Files().Sleep(pause);
        pause *= 2;
    }
}

// A read-only file is made writable only when the system refuses to move it
// otherwise, and read-only again right after.
bool MoveKeepingAttributes(const PathState& from, const PathState& to) {
    const OsResult moved = MoveRetryingHeldFile(from, to);
    if (moved || moved.error != OsError::AccessDenied) {
        return static_cast<bool>(moved);
    }
    const auto& attributes = from.attributes;
    if (!attributes || attributes->normal) {
        return false;
    }
    // Ignored by design: the move that follows tells whether it helped.
    static_cast<void>(Files().SetNormalAttributes(from.native));
    const bool movedNow = static_cast<bool>(MoveRetryingHeldFile(from, to));
    // Ignored by design: the move is what the script asked for, and it is done.
    static_cast<void>(Files().RestoreAttributes(movedNow ? to.native : from.native, *attributes));
    return movedNow;
}

// False when the journal could not take the record. The record is made of
// what the command's look-up found: nothing is asked of the disk again.
bool Record(const PathState& from, const PathState& to) {
    UndoJournal* journal = ActiveJournal();
    if (!journal) {
        return true;
    }
    JournalMove move;
    move.from = FullPath(from.stored);
    move.to = FullPath(to.path);
    move.attributes = from.attributes.value_or(FileAttributes{});
    return journal->BeforeMove(std::move(move));
}

// A move keeps the file's attributes, and the target's name is spelled as the
// move gave it.
void Moved(PathState& from, PathState& to) {
    to.attributes = from.attributes;
    to.stored = to.path;
    from.attributes.reset();
    from.stored = from.path;
}

void RecordFailure() {
    if (UndoJournal* journal = ActiveJournal()) {
        journal->MoveFailed();
    }
}

}  // namespace

bool MovePath(PathState& from, PathState& to) {
    if (!Record(from, to)) {
        return false;  // what no journal holds, no crash recovery could undo
    }
    const bool moved = MoveKeepingAttributes(from, to);
    if (moved) {
        Moved(from, to);
    } else {
        RecordFailure();
    }
    return moved;
}

bool MovePath(const std::string& from, const std::string& to) {
    CommandPaths paths({from, to});
    return MovePath(paths[from], paths[to]);
}

CommandPaths::CommandPaths(const std::vector<std::string>& paths, bool storedNames) {
    std::vector<std::string> distinct;
    for (const auto& path : paths) {
        std::string key = PathKey(path);
        if (std::find(keys_.begin(), keys_.end(), key) == keys_.end()) {
            keys_.push_back(std::move(key));
            distinct.push_back(path);
        }
    }
    states_ = Files().LookUp(distinct, storedNames);
}

PathState& CommandPaths::operator[](const std::string& path) {
    const auto at = std::find(keys_.begin(), keys_.end(), PathKey(path));
    return states_[static_cast<std::size_t>(at - keys_.begin())];
}

namespace {

// Whether what the look-up found is the file the move recorded; a file of
// unknown identity passes on its name alone.
bool IsMovedFile(const JournalMove& move, const std::optional<FileAttributes>& found) {
    const FileIdentity& recorded = move.attributes.identity;
    return found && (!recorded.known || !found->identity.known || found->identity == recorded);
}

// A crash may have left the read-only bit cleared; only that bit is put back.
void PutBackReadOnly(const JournalMove& move, PathState& at) {
    if (at.attributes && at.attributes->readOnly != move.attributes.readOnly &&
        Files().RestoreAttributes(at.native, move.attributes)) {
        at.attributes->readOnly = move.attributes.readOnly;
        at.attributes->normal = !move.attributes.readOnly;
    }
}

}  // namespace

UndoOutcome UndoMove(const JournalMove& move, PathState& source, PathState& target) {
    if (move.failed) {
        return UndoOutcome::NotNeeded;
    }
    const bool known = move.attributes.identity.known;
    if (!IsMovedFile(move, target.attributes) || (!known && source.Exists())) {
        if (IsMovedFile(move, source.attributes)) {
            // Not moved, or moved back already.
            if (known || !target.Exists()) {
                PutBackReadOnly(move, source);
                return UndoOutcome::NotNeeded;
            }
        }
        if (source.Exists() && target.Exists() && !known) {
            return UndoOutcome::Occupied;
        }
        return target.Exists() ? UndoOutcome::Replaced : UndoOutcome::Missing;
    }
    if (source.Exists()) {
        return UndoOutcome::Occupied;
    }
    if (!MovePath(target, source)) {
        return UndoOutcome::Failed;
    }
    // Ignored by design: the file is back; its bit is the lesser matter.
    PutBackReadOnly(move, source);
    return UndoOutcome::Undone;
}

UndoChain::UndoChain(const JournalContents& journal) {
    for (const auto& command : journal.commands) {
        for (const auto& move : command.moves) {
            moves_.push_back(&move);
        }
    }
}

// The move's source followed back through the moves before it: a move of the
// file itself, or of a folder it lies in, took it there from somewhere else.
bool UndoChain::FoundFurtherBack(const JournalMove& move) const {
    const FileIdentity& identity = move.attributes.identity;
    if (!identity.known) {
        return false;
    }
    const auto at = std::find(moves_.begin(), moves_.end(), &move);
    std::string path = move.from;
    std::vector<std::string> earlier;
    for (auto before = at; before != moves_.begin();) {
        const JournalMove& other = **--before;
        const std::string key = PathKey(path);
        const std::string to = PathKey(other.to);
        if (other.failed || !key.starts_with(to) ||
            (key.size() > to.size() && key[to.size()] != '\\')) {
            continue;
        }
        path = other.from + path.substr(to.size());
        earlier.push_back(path);
    }
    const auto found = Files().LookUp(earlier);
    return std::any_of(found.begin(), found.end(), [&identity](const PathState& state) {
        return state.attributes && state.attributes->identity == identity;
    });
}

}  // namespace srdw
