// The file operations that every script command is made of: a command's
// checks and moves run from its table entry, and the undo of its journalled
// moves, each saying its outcome in the command's words.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "script/CommandTable.h"
#include "script/Engine.h"
#include "script/OwnFiles.h"
#include "script/ScriptObserver.h"
#include "script/UndoJournal.h"

namespace srdw {

// A move refused because another program holds the file is tried this many
// times more, after pauses of 50, 100, 200, 400 and 800 ms.
inline constexpr int kMoveRetries = 5;
inline constexpr unsigned kFirstRetryPause = 50;

// The arguments after path expansion, one for each the command uses; one
// the call did not give is empty.
struct CommandRun {
    const Engine& engine;
    UndoJournal* journal;  // an install's; none otherwise
    // Where the paths are; a move of a folder that holds it brings it along
    // where the system lets the current directory move (not on Windows).
    std::string& directory;
    std::span<const std::string> arguments;
    const OwnFiles* ownFiles = nullptr;  // which no command may move
    std::size_t* stuck = nullptr;        // counts a failure where a file is in the way, or stays
    std::size_t* movedBack = nullptr;    // counts the files a restore moved back
};

// Refused when it names one of the launcher's own files, or a folder holding
// one, by its path or through a link: that would leave a crash that cannot be
// undone, or a recovery that writes its log into a game file. Skipped, without
// a word, when an argument is empty. After a failed move the
// one before it is taken back, so that a game file is never stranded under its
// backup name.
Verdict Perform(const CommandRun& run, const Procedure& procedure);

// Undoes the command's journalled moves, last first, in the words of
// `restore`; the number of files it could not put back. A file is moved back
// only when it is the file the install moved and the way back is free; a file
// of unknown identity (a look-up that could not say) when the disk shows the
// move done. A folder is not moved back while it holds one of the `stuck`
// paths, those of moves a later command could not put back; the paths of the
// moves this command leaves are added to them.
std::size_t Undo(const CommandRun& run, const Procedure& restore, const JournalCommand& command,
                 const JournalContents& journal, std::vector<std::string_view>& stuck);

}  // namespace srdw
