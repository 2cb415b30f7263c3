#include "script/FileMoves.h"

#include "log/RunLog.h"

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
        LogWrite("\n > '");
        LogWrite(from);
        LogWrite("' is in use by another program; trying again in ");
        LogWrite(std::to_string(pause));
        LogWrite(" ms...");
        Files().Sleep(pause);
        pause *= 2;
    }
}

}  // namespace

bool MovePath(const std::string& from, const std::string& to) {
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

}  // namespace srdw
