// A folder as a run of the script would leave it, worked out without a single
// change: the engine runs the script against this model, which asks the disk
// what is there and keeps what the run changed over it. The launcher
// rehearses its install on it, so that the journal holds every move before
// the first is made; SrdwCheck's dry run installs and restores on it and tells
// what moved. Moves, attribute changes, the current directory and the files
// the run writes exist only in the model.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/TextStore.h"
#include "script/PathModel.h"

namespace srdw {

class FolderModel final : public FileSystem {
  public:
    // Over `disk`, with its current directory current. With `bounds`, the
    // model holds only that folder: what lies outside it is taken for missing,
    // and noted, and the folder itself and those above it do not move.
    explicit FolderModel(FileSystem& disk, std::optional<ResolvedPath> bounds = std::nullopt);
    FolderModel(const FolderModel&) = delete;  // its look-up of places views its own entries
    FolderModel& operator=(const FolderModel&) = delete;

    // Everything back as the disk has it, and the current directory too.
    void Reset();

    // What the run moved or whose read-only bit it changed.
    struct Change {
        ResolvedPath now;  // where it is, spelled as it is stored
        ResolvedPath was;  // where the disk holds it
        bool directory = false;
        bool readOnlyNow = false;
        bool readOnlyWas = false;
    };
    std::vector<Change> Changes() const;
    struct DirectoryChange {
        std::string path;
        bool changed;
    };
    const std::vector<DirectoryChange>& DirectoryChanges() const { return directoryChanges_; }
    // Paths looked at outside the bounds, and how often such a path was looked at.
    const std::vector<std::string>& OutsidePaths() const { return outside_; }
    // Whether the run met one folder under two paths (through a symbolic
    // link, a junction, a bind mount): a place with two names, which the
    // model, knowing places by their names, takes for two.
    bool SawTwoNames() const { return sawTwoNames_; }
    std::size_t OutsideLooks() const { return outsideLooks_; }

    std::vector<PathState> LookUp(std::span<const std::string> paths,
                                  bool storedNames = true) override;
    OsResult MoveLookedUp(const PathState& from, const PathState& to) override;
    std::optional<FileAttributes> Attributes(const std::string& path) override;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override;
    OsResult SetNormalAttributes(const std::string& path) override {
        return RestoreAttributes(path, {});
    }
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override;
    OsResult ChangeDirectory(const std::string& path) override;
    std::string WorkingDirectory() override { return current_; }
    // A file the run writes (its log, its journal) is taken and let go.
    OsResult RemoveFile(const std::string&) override { return {OsError::AccessDenied}; }
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, OsError*) override;
    std::unique_ptr<OutputFile> AppendToFile(const std::string&) override { return nullptr; }
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return disk_.ReadWholeFile(path);
    }
    LocalTime Now() override { return disk_.Now(); }
    void Sleep(unsigned) override {}

  private:
    // What the model took over from the disk, by PathKey of where it is now:
    // where the system holds two names that differ only in letter case, both
    // are kept. Paths are texts, as Resolve spells them: a long install holds many.
    struct Entry {
        std::string_view now;     // where it is, spelled as stored
        std::string_view origin;  // where the disk has it, as stored
        FileAttributes attributes;
        bool readOnlyWas = false;
    };
    using Entries = std::multimap<std::string_view, Entry>;  // keys and texts in `texts_`
    // Looked up by views: long paths hash in one pass where a tree compares them
    // again at each level.
    struct TextHash : std::hash<std::string_view> {
        using is_transparent = void;
    };

    struct Found {
        std::string key;  // PathKey of the path looked at; TakeOver files it by this
        std::optional<FileAttributes> attributes;
        std::string stored;       // the path spelled as stored, when found
        Entries::iterator entry;  // the model's, when it holds it
        std::string onDisk;       // where the disk has it, when not; empty where nothing is
        std::size_t unmoved = 0;  // the length of the start of `onDisk` that no move leads to
    };
    Found Place(std::string_view path);
    // With `folder`, only whether a folder is there, asked of the disk once.
    Found Look(std::string_view path, bool folder = false);
    Entries::iterator Find(std::string_view key, std::string_view path);
    bool Vacated(std::string_view onDisk, std::size_t unmoved) const;
    const std::pair<std::string, bool>& Spelling(std::string_view folder);
    std::optional<std::string> InFolder(std::string_view path);
    Entries::node_type TakeOver(const Found& found, bool stays);
    void NoteFolder(const std::optional<FileAttributes>& found, std::string_view spelled);
    bool IsFixed(std::string_view key) const { return bounds_ && IsAtOrBelow(*bounds_, key); }

    FileSystem& disk_;
    std::optional<std::string> bounds_;  // by PathKey
    std::string start_;
    std::string current_;
    TextStore texts_;  // a move keeps the new texts, and the old ones stay
    Entries entries_;
    // Every place on the disk the model took over: views of its entries'
    // origins, which never change.
    std::unordered_set<std::string_view> taken_;
    std::size_t takenFolders_ = 0;  // only then can a place lie below one taken over
    // The folder InFolder looked at last, as written, and where it is as
    // stored (none: no folder is there); only a folder's move changes that.
    std::optional<std::pair<std::string, std::optional<std::string>>> lastFolder_;
    // By a folder as written: its path with each name spelled as the disk
    // stores it, and whether the disk has a folder there.
    std::unordered_map<std::string, std::pair<std::string, bool>, TextHash, std::equal_to<>>
        folders_;
    // Each folder the disk showed, by its identity: the path it was met by.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> folderPaths_;
    bool sawTwoNames_ = false;
    std::vector<DirectoryChange> directoryChanges_;
    std::vector<std::string> movedAway_;  // the keys moves left since the last look-up
    std::vector<std::string> outside_;
    std::size_t outsideLooks_ = 0;
};

}  // namespace srdw
