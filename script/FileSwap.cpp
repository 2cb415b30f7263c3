#include "script/FileSwap.h"

#include <string_view>

#include "script/FileMoves.h"
#include "script/ScriptObserver.h"

namespace srdw {

namespace {

bool Fail(std::string_view leadIn, const std::string& path, std::string_view closing) {
    Say("FAILED!");
    Say(leadIn);
    Say(path);
    Say(closing);
    return false;
}

// After a failed second move the first one is taken back, so the triple is as it
// was before: a game file must never be stranded under its backup name.
void UndoFirstMove(PathState& movedTo, PathState& movedFrom) {
    if (MovePath(movedTo, movedFrom)) {
        Say(" > the first move was undone: moved '");
        Say(movedTo.path);
        Say("' back to '");
        Say(movedFrom.path);
        Say("'\n");
    } else {
        Say(" > ERROR: cannot move '");
        Say(movedTo.path);
        Say("' back to '");
        Say(movedFrom.path);
        Say("'!\n");
    }
}

// Moves the file at `original` away. The file that takes its place then gets
// the name as it was stored: also when the script spells it in another letter
// case, the game finds its file as it was.
bool MoveOut(PathState& original, PathState& to) {
    const std::string storedName = original.stored;
    if (!MovePath(original, to)) {
        return false;
    }
    original.path = storedName;
    original.stored = storedName;
    return true;
}

}  // namespace

bool SwapFiles(const std::string& original, const std::string& modified,
               const std::string& backup) {
    Say("Swapping files...");
    CommandPaths paths({backup, original, modified});
    PathState& atBackup = paths[backup];
    PathState& atOriginal = paths[original];
    PathState& atModified = paths[modified];
    if (atBackup.Exists()) {
        return Fail("\n > the backup file '", backup, "' already exists!\n");
    }
    if (!atOriginal.Exists()) {
        return Fail("\n > the original file '", original, "' does not exist!\n");
    }
    if (!atModified.Exists()) {
        return Fail("\n > the modified file '", modified, "' does not exist!\n");
    }
    if (!MoveOut(atOriginal, atBackup)) {
        return Fail("\n > cannot backup '", original, "'!\n");
    }
    if (!MovePath(atModified, atOriginal)) {
        Fail("\n > cannot move '", modified, "'!\n");
        UndoFirstMove(atBackup, atOriginal);
        return false;
    }
    Say("succeeded!\n");
    return true;
}

bool UnswapFiles(const std::string& original, const std::string& modified,
                 const std::string& backup) {
    Say("Unswapping files...");
    CommandPaths paths({modified, original, backup});
    PathState& atModified = paths[modified];
    PathState& atOriginal = paths[original];
    PathState& atBackup = paths[backup];
    if (atModified.Exists()) {
        return Fail("\n > the modified file '", modified, "' still exists!\n");
    }
    if (!atOriginal.Exists()) {
        return Fail("\n > the original file '", original, "' does not exist!\n");
    }
    if (!atBackup.Exists()) {
        return Fail("\n > the backup file '", backup, "' does not exist!\n");
    }
    if (!MoveOut(atOriginal, atModified)) {
        return Fail("\n > cannot move '", original, "'!\n");
    }
    if (!MovePath(atBackup, atOriginal)) {
        Fail("\n > cannot restore '", backup, "'!\n");
        UndoFirstMove(atModified, atOriginal);
        return false;
    }
    Say("succeeded!\n");
    return true;
}

}  // namespace srdw
