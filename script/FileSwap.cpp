#include "script/FileSwap.h"

#include <string_view>

#include "log/RunLog.h"
#include "script/FileMoves.h"

namespace srdw {

namespace {

void Fail(std::string_view leadIn, const std::string& path, std::string_view closing) {
    LogWrite("FAILED!");
    LogWrite(leadIn);
    LogWrite(path);
    LogWrite(closing);
}

// After a failed second move the first one is taken back, so the triple is as it
// was before: a game file must never be stranded under its backup name.
void UndoFirstMove(PathState& movedTo, PathState& movedFrom) {
    if (MovePath(movedTo, movedFrom)) {
        LogWrite(" > the first move was undone: moved '");
        LogWrite(movedTo.path);
        LogWrite("' back to '");
        LogWrite(movedFrom.path);
        LogWrite("'\n");
    } else {
        LogWrite(" > ERROR: cannot move '");
        LogWrite(movedTo.path);
        LogWrite("' back to '");
        LogWrite(movedFrom.path);
        LogWrite("'!\n");
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

void SwapFiles(const std::string& original, const std::string& modified,
               const std::string& backup) {
    LogWrite("Swapping files...");
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
        return UndoFirstMove(atBackup, atOriginal);
    }
    LogWrite("succeeded!\n");
}

void UnswapFiles(const std::string& original, const std::string& modified,
                 const std::string& backup) {
    LogWrite("Unswapping files...");
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
        return UndoFirstMove(atModified, atOriginal);
    }
    LogWrite("succeeded!\n");
}

}  // namespace srdw
