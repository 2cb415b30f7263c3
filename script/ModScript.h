// An install script: loaded from a file, cut into commands, and applied forward
// (install) and backward (restore) to the game directory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "log/RunLog.h"
#include "script/Engine.h"
#include "script/OwnFiles.h"
#include "script/PathExpansion.h"
#include "script/ScriptText.h"
#include "script/UndoJournal.h"

namespace srdw {

// The longest script path kept, as a 261-character buffer holds it.
inline constexpr std::size_t kMaxScriptPath = 260;

class ModScript {
  public:
    ModScript() = default;
    ModScript(const ModScript&) = delete;
    ModScript& operator=(const ModScript&) = delete;

    // Empties the script; the path of the last file read stays.
    void Clear();
    // False when the file cannot be read, is empty or is broken; after a parse
    // error the commands before the error are kept.
    bool Load(FileSystem& files, RunLog& log, const std::string& path);
    // Takes a script as another reader already cleaned and parsed it, the
    // same as Load makes of it, without a log line or a path: `text` and what
    // the commands view must outlive this script, which copies neither.
    void UseParsed(std::string_view text, std::vector<ScriptCommand> commands);
    // The files no command may move, at install and at restore: a command
    // that names one is refused and moves nothing.
    void KeepOutOfReach(OwnFiles files) { ownFiles_ = std::move(files); }
    // Rehearses the install on a model of the folder, without a change or a
    // log line, and puts every move it will make in the journal and the
    // journal on the disk; when that failed, no move may be made. With
    // `keepLookUps` the install takes what the rehearsal found of each path
    // instead of asking the disk again.
    OsResult PlanInstall(const Engine& engine, const Placeholders& values, UndoJournal& journal,
                         bool keepLookUps = true);
    void Install(const Engine& engine, const Placeholders& values, UndoJournal& journal);
    // Without a journal: from the script alone, last command first, each in
    // the directory it ran in at install. How many commands could not put
    // back what is there: a file in the way, or a move refused. Without a
    // journal, a command whose install failed for a file in its way looks so
    // too: the records then stay, which is the safe side.
    std::size_t Restore(const Engine& engine, const Placeholders& values);
    // Of the cleaned text: the journal keeps it to tell a changed script.
    std::uint32_t TextChecksum() const { return Checksum(text_); }

    const std::string& Path() const { return path_; }
    // Where and why the last script file read does not load, as compilers and
    // SrdwCheck name a place: "PATH:LINE:COLUMN: what is wrong"; empty when it
    // loaded.
    const std::string& Fault() const { return fault_; }
    const std::vector<ScriptCommand>& Commands() const { return commands_; }

  private:
    struct DirectoryStretch {
        std::size_t firstCommand;
        std::string directory;
    };

    // Finds where the script at `path` went wrong, reading it again (its own
    // buffer was cleaned in place), and says it in the log; `reach` is where
    // the parse stopped, if it ran.
    void ReportFault(FileSystem& files, RunLog& log, const std::string& path, std::size_t reach);

    std::string path_;
    std::string fault_;
    std::string ownText_;    // the cleaned text of a script this one read itself
    std::string_view text_;  // the cleaned script text the commands point into
    std::vector<ScriptCommand> commands_;
    std::vector<std::string_view> arguments_;
    std::vector<DirectoryStretch> installDirectories_;  // recorded by Install for Restore
    OwnFiles ownFiles_;
};

// What a restore from the journal achieved.
struct UndoResult {
    std::size_t outOfPlace = 0;  // files it could not put back
    std::size_t movedBack = 0;   // files it moved: none where every file was back already

    bool Complete() const { return outOfPlace == 0; }
};

// Restore from the journal: the commands it recorded, last first, each logged
// with its name and its arguments as they were installed, and its moves undone
// as the disk shows them. The script is not needed. Each command put back is
// recorded in `progress`, when given, so that a restore cut short goes on
// where it stopped.
UndoResult UndoInstall(const Engine& engine, const JournalContents& journal,
                       UndoJournal* progress = nullptr);

}  // namespace srdw
