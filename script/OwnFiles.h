// The launcher's own files (its program, its log, the marker, the journal, its
// locks, the start-up entry's file): the records that undo an install, which
// no script command may move, nor a folder that holds one of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace srdw {

// Beside the launcher: the recovery marker, and the install's undo journal.
inline constexpr std::string_view kMarkerName = "restore.mod";
inline constexpr std::string_view kJournalName = "restore.jnl";

class OwnFiles {
  public:
    OwnFiles() = default;
    explicit OwnFiles(const std::vector<std::string>& paths);

    // Whether `path` in `directory` is one of them or a folder that holds one.
    bool Holds(std::string_view path, const std::string& directory) const;
    // The same for what a look-up found, by its identity: a link may name one
    // of them by another path. Known from `Identify`, made before each walk
    // over the script, once the walk's own files are there.
    bool Holds(const std::optional<FileAttributes>& found) const;
    void Identify(FileSystem& files);

  private:
    std::vector<std::string> keys_;    // PathKey of each, resolved
    std::vector<std::string> names_;   // every part of them, letter case folded
    std::vector<std::string> places_;  // each of them and every folder above one
    std::vector<FileIdentity> identities_;
};

}  // namespace srdw
