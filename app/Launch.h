// What one run of the launcher works with, handed from part to part: the
// system it runs on, its log, its paths, and the script engine over the two;
// and what the start of a run and its launch cycle both take.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "log/RunLog.h"
#include "log/RunLogObserver.h"
#include "platform/Platform.h"
#include "res/resource.h"
#include "script/Engine.h"
#include "script/PathExpansion.h"
#include "script/UndoJournal.h"

namespace srdw {

class ModScript;

// The paths of one launcher run, empty when it starts.
struct LaunchPaths {
    std::string GameExe;      // full path of the game executable
    std::string RootDir;      // the directory holding it; the value of "@rootdir"
    std::string CommandLine;  // trimmed and lower-cased; the value of "@cmdline"
    std::string MarkerFile;   // the launcher's directory followed by "\restore.mod"
    std::string JournalFile;  // beside it, "restore.jnl": the install's undo journal
};

struct Launch {
    Platform platform;
    RunLog& log;
    LaunchPaths& paths;
    const Engine& engine;        // the platform's files, told to the log
    const RunLogObserver& told;  // the engine's listener, which counts what did not go in

    FileSystem& Files() const { return platform.files; }
    PlayerDialogs& Player() const { return platform.player; }
    // What "@rootdir" and "@cmdline" stand for now.
    Placeholders Values() const { return {paths.RootDir, paths.CommandLine}; }
};

// What one launcher run does, chosen from the recovery marker and the script.
enum class LaunchMode {
    InstallMode,  // install the script, run the game, restore the script
    RecoverMode,  // restore the script named by the recovery marker; no game
    PlainMode,    // run the game with nothing installed or restored
};

enum class CycleEnd {
    Completed,    // the cycle ran (or the game was not found): the records can go
    GameRunning,  // stopped before any change because the game is already running
    Unfinished,   // something the install moved is not back: the records stay
    NeedsRights,  // stopped before any change: the game folder needs administrator rights
    FolderInUse,  // stopped before any change: another launcher works on the game folder
};

// How the restore knows what to undo.
struct RestoreSource {
    // A crashed run's journal; without it a recovery restores from the script.
    std::optional<JournalContents> journal;
    // A journal file is there, but nothing in it can be read: no restore can
    // know what to undo, and the script cannot say what the install did.
    bool unreadableJournal = false;
    // The player chose to install again over a mod that could not be restored:
    // the restore then undoes the script, as far as the disk allows.
    bool fromScript = false;
};

// How long the game is given once it seems to have ended: once its own
// process has ended, or its window has closed, the programs it left running
// (a tray icon, an overlay, an updater, a store's client) are waited for this
// long and no longer; when nothing is left and no window was seen, this is
// how long its window may take to open (a store's client that was asked to
// start the game takes a few seconds to do so).
inline constexpr unsigned kGraceTime = 15000;

// The back half of a launcher run: find the game, then either only restore, or
// install, play and restore.
CycleEnd LaunchCycle(const Launch& launch, LaunchMode mode, ModScript& script,
                     const RestoreSource& source);

// Shows string-table entry `id` in a message box.
void ShowMessage(PlayerDialogs& player, unsigned id);
// String-table entry `id` with "%1" to "%9" replaced by the inserts in that
// order, as Windows' own messages number them; a number without an insert stays.
std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts);

// Where the system gave a path in characters the launcher cannot use (see
// LauncherProcess::UnusablePath), tells the player, naming the path, and writes it to
// the log; true then, and the run is to change nothing.
bool RefuseUnusablePath(const Launch& launch);

// True when this launcher holds the guard; otherwise the player is told why
// the launcher ends: another one is at work, or the guard could not be had.
bool Guarded(PlayerDialogs& player, MutexState guard);

// True when this process may go on to change `folder`. Otherwise it has handed
// the run to an elevated launcher (having let go of the launcher mutex first,
// so that the new one can take it), or, when the player declined or nothing
// could be elevated, told the player that the folder needs administrator
// rights; either way this process is to end without changing anything. A
// probe that fails for another reason than the rights lets the run go on: the
// moves then meet the problem and log it.
bool MayChange(const Launch& launch, const std::string& folder);

}  // namespace srdw
