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
void UndoFirstMove(const std::string& movedTo, const std::string& movedFrom) {
    if (MovePath(movedTo, movedFrom)) {
        LogWrite(" > the first move was undone: moved '");
        LogWrite(movedTo);
        LogWrite("' back to '");
        LogWrite(movedFrom);
        LogWrite("'\n");
    } else {
        LogWrite(" > ERROR: cannot move '");
        LogWrite(movedTo);
        LogWrite("' back to '");
        LogWrite(movedFrom);
        LogWrite("'!\n");
    }
}

}  // namespace

void SwapFiles(const std::string& original, const std::string& modified,
               const std::string& backup) {
    LogWrite("Swapping files...");
    if (Exists(backup)) {
        return Fail("\n > the backup file '", backup, "' already exists!\n");
    }
    if (!Exists(original)) {
        return Fail("\n > the original file '", original, "' does not exist!\n");
    }
    if (!Exists(modified)) {
        return Fail("\n > the modified file '", modified, "' does not exist!\n");
    }
    // The mod's file takes the game file's name exactly as it was stored, also
    // when the script spells it in another letter case.
    const std::string originalName = Files().StoredName(original);
    if (!MovePath(original, backup)) {
        return Fail("\n > cannot backup '", original, "'!\n");
    }
    if (!MovePath(modified, originalName)) {
        Fail("\n > cannot move '", modified, "'!\n");
        return UndoFirstMove(backup, originalName);
    }
    LogWrite("succeeded!\n");
}

void UnswapFiles(const std::string& original, const std::string& modified,
                 const std::string& backup) {
    LogWrite("Unswapping files...");
    if (Exists(modified)) {
        return Fail("\n > the modified file '", modified, "' still exists!\n");
    }
    if (!Exists(original)) {
        return Fail("\n > the original file '", original, "' does not exist!\n");
    }
    if (!Exists(backup)) {
        return Fail("\n > the backup file '", backup, "' does not exist!\n");
    }
    const std::string originalName = Files().StoredName(original);  // as the install stored it
    if (!MovePath(original, modified)) {
        return Fail("\n > cannot move '", original, "'!\n");
    }
    if (!MovePath(backup, originalName)) {
        Fail("\n > cannot restore '", backup, "'!\n");
        return UndoFirstMove(modified, originalName);
    }
    LogWrite("succeeded!\n");
}

}  // namespace srdw
