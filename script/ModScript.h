// An install script: loaded from a file, cut into commands, and applied forward
// (install) and backward (restore) to the game directory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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
    // Reads, cleans and parses the file. False when it cannot be read, is empty or
    // is broken; after a parse error the commands before the error are kept.
    bool Load(const std::string& path);
    // Applies the commands forward, first to last, recording each command and
    // each move in the journal before it is made.
    void Install(const Placeholders& values, UndoJournal& journal);
    // Without a journal: undoes the commands from the script alone, last to
    // first, each in the directory it ran in at install.
    void Restore(const Placeholders& values);
    // The checksum of the cleaned text, which the journal keeps to tell a
    // changed script.
    std::uint32_t TextChecksum() const { return Checksum(text_); }

    // The path of the last script file read successfully (at most 260 characters).
    const std::string& Path() const { return path_; }
    const std::vector<ScriptCommand>& Commands() const { return commands_; }

  private:
    // The current directory from one command on, up to the next stretch.
    struct DirectoryStretch {
        std::size_t firstCommand;
        std::string directory;
    };

    std::vector<DirectoryStretch> ReplayDirectories(const Placeholders& values) const;

    std::string path_;
    std::string text_;  // the cleaned script text the commands point into
    std::vector<ScriptCommand> commands_;
    std::vector<std::string_view> arguments_;
    std::vector<DirectoryStretch> installDirectories_;  // recorded by Install for Restore
};

// Restore from the journal: the commands it recorded, last first, each logged
// with its name and its arguments as they were installed, and its moves undone
// as the disk shows them. The script is not needed. Returns how many of the
// install's moves are not undone: 0 when everything it moved is back.
std::size_t UndoInstall(const JournalContents& journal);

}  // namespace srdw
