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
#include <set>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "script/PathModel.h"

namespace srdw {

class FolderModel final : public FileSystem {
  public:
    // Over `disk`, with its current directory current. With `bounds`, the
    // model holds only that folder: what lies outside it is taken for missing,
    // and noted, and the folder itself and those above it do not move.
    explicit FolderModel(FileSystem& disk, std::optional<ResolvedPath> bounds = std::nullopt);

    // Everything back as the disk has it, and the current directory too.
    void Reset();

    // An entry that the run moved or whose read-only bit it changed.
    struct Change {
        ResolvedPath now;  // where it is, spelled as it is stored
        ResolvedPath was;  // where the disk holds it
        bool directory = false;
        bool readOnlyNow = false;
        bool readOnlyWas = false;
    };
    std::vector<Change> Changes() const;
    // Every change of the current directory asked for, in order, and whether it happened.
    struct DirectoryChange {
        std::string path;
        bool changed;
    };
    const std::vector<DirectoryChange>& DirectoryChanges() const { return directoryChanges_; }
    // Paths looked at outside the bounds, and how often such a path was looked at.
    const std::vector<std::string>& OutsidePaths() const { return outside_; }
    std::size_t OutsideLooks() const { return outsideLooks_; }

    std::vector<PathState> LookUp(std::span<const std::string> paths,
                                  bool storedNames = true) override;
    OsResult MoveLookedUp(const PathState& from, const PathState& to) override;
    std::optional<FileAttributes> Attributes(const std::string& path) override;
    std::string StoredName(const std::string& path) override;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override;
    OsResult SetNormalAttributes(const std::string& path) override;
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override;
    OsResult ChangeDirectory(const std::string& path) override;
    std::string WorkingDirectory() override { return current_.Text(); }
    // A file the run writes (its log, its journal) is taken and let go.
    OsResult RemoveFile(const std::string&) override { return {OsError::AccessDenied}; }
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, OsError*) override;
    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return disk_.ReadWholeFile(path);
    }
    LocalTime Now() override { return disk_.Now(); }
    void Sleep(unsigned) override {}

  private:
    // What the model took over from the disk, by where it is now: by PathKey,
    // then as stored, so that where the system holds two names that differ
    // only in letter case, both are kept. Texts, not parts: a long install
    // holds many.
    struct Entry {
        std::string origin;  // where the disk has it, as stored
        FileAttributes attributes;
        bool readOnlyWas = false;
    };
    using Entries = std::map<std::pair<std::string, std::string>, Entry>;
    static ResolvedPath Now(Entries::const_iterator entry) {
        return ResolveAbsolute(entry->first.second);
    }

    struct Found {
        std::optional<FileAttributes> attributes;
        ResolvedPath stored;                 // the path spelled as stored, when found
        Entries::iterator entry;             // the model's, when it holds it
        std::optional<ResolvedPath> onDisk;  // where the disk has it, when not
        std::size_t unmoved;                 // the parts of `onDisk` no move leads to
    };
    Found Place(const ResolvedPath& path);
    Found Look(const ResolvedPath& path);
    bool Vacated(const ResolvedPath& onDisk, std::size_t unmoved) const;
    // The folder at `path`, spelled as stored; none where no folder is.
    std::optional<ResolvedPath> Folder(const ResolvedPath& path);
    const std::optional<std::string>& FolderName(const ResolvedPath& onDisk, std::size_t parts);
    // The entry a path names: each name as spelled where that is there, else
    // one that differs only in letter case.
    Entries::iterator Find(const ResolvedPath& path);
    Entries::iterator TakeOver(const Found& found);
    // `onDisk` with each name after its first `from` spelled as the disk stores it.
    ResolvedPath StoredOnDisk(ResolvedPath onDisk, std::size_t from, std::string leaf);
    bool IsFixed(const ResolvedPath& path) const;
    std::string Absent(const ResolvedPath& path);

    FileSystem& disk_;
    std::optional<ResolvedPath> bounds_;
    ResolvedPath start_;
    ResolvedPath current_;
    Entries entries_;
    std::set<std::string> taken_;   // every place on the disk the model took over, as stored
    std::size_t takenFolders_ = 0;  // only then can a place lie below one taken over
    // By PathKey: the disk's spelling of each folder asked for, none where none is.
    std::map<std::string, std::optional<std::string>> folders_;
    // By PathKey of a folder: the disk's spelling of it and of each folder above it.
    std::map<std::string, std::vector<std::optional<std::string>>> folderNames_;
    std::size_t movedFolders_ = 0;  // only then can a path lie below a moved folder
    std::set<std::string> written_;
    std::vector<DirectoryChange> directoryChanges_;
    std::vector<std::string> outside_;
    std::size_t outsideLooks_ = 0;
};

}  // namespace srdw
