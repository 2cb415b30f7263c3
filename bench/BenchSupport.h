// Shared pieces of the benchmarks: scratch directories, generated scripts and
// game folders, and a platform that puts the run log into the scratch directory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace srdw::bench {

namespace fs = std::filesystem;

// A fresh directory under $TMPDIR (or /tmp), removed with everything in it.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string& purpose);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// A script of about `bytes` bytes as mod authors write them: comments of their
// own and at line ends, quoted paths with blanks, "@rootdir", SetDirectory with
// relative paths after it, blank lines, CR LF.
std::string RealisticScript(std::size_t bytes);
// The same script in pieces, for writing a large one without holding it whole:
// the header, then parts 0, 1, 2... of four commands each.
std::string ScriptHeader();
std::string ScriptPart(std::size_t i);
// Writes such a script of about `bytes` bytes to a file, part by part; returns
// its size, 0 when it cannot be written.
std::size_t WriteGeneratedScript(const fs::path& path, std::size_t bytes);

// What an install benchmark works on: `count` file pairs (RenameEx) or single
// files (Rename) in one directory of a game folder, with `fillers` other files
// beside them, and the script that swaps or renames them all.
enum class Command { RenameEx, Rename };

struct GameFolder {
    fs::path root;
    fs::path directory;                  // where every file is: root/Data/Textures
    std::string script;                  // the script's text
    std::vector<std::string> originals;  // the game's files, native paths
    std::vector<std::string> modified;   // the mod's files (RenameEx)
    // Backups (RenameEx) or new names (Rename), as the script spells them.
    std::vector<std::string> targets;
};

// `wrongCase`: every name in the script, directories included, in another
// letter case than on the disk.
GameFolder MakeGameFolder(const fs::path& root, Command command, std::size_t count,
                          std::size_t fillers, bool wrongCase);

// Every letter in the other case.
std::string SwapLetterCase(std::string text);

// Writes a file at once, whole.
void WriteFile(const fs::path& path, const std::string& content);

}  // namespace srdw::bench
