// The folder as an install will leave it, worked out before the install makes
// a single change: the script engine runs the whole install against it, so
// that every move it will make, with the identity of each file, can be
// recorded and on the disk before the first one.
//
// What is there is asked of the real file system; what the planned moves
// changed is kept here, over it. Nothing is written: moves, attribute changes
// and the current directory exist only in the plan.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace srdw {

class PlannedFolder final : public FileSystem {
  public:
    explicit PlannedFolder(FileSystem& disk);

    std::vector<PathState> LookUp(std::span<const std::string> paths,
                                  bool storedNames = true) override;
    OsResult MoveLookedUp(const PathState& from, const PathState& to) override;
    std::optional<FileAttributes> Attributes(const std::string& path) override;
    std::string StoredName(const std::string& path) override;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override;
    OsResult ChangeDirectory(const std::string& path) override;
    std::string WorkingDirectory() override { return current_; }

    // A plan changes no attribute, removes and writes nothing.
    OsResult SetNormalAttributes(const std::string&) override { return OsResult::Ok(); }
    OsResult RestoreAttributes(const std::string&, const FileAttributes&) override {
        return OsResult::Ok();
    }
    OsResult RemoveFile(const std::string&) override { return {OsError::AccessDenied}; }
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string&, OsError*) override {
        return nullptr;
    }
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return disk_.ReadWholeFile(path);
    }
    LocalTime Now() override { return disk_.Now(); }
    void Sleep(unsigned) override {}

  private:
    // What a planned move left at a path: nothing, or a file or folder that is
    // on the disk at `onDisk`.
    struct Placed {
        std::optional<FileAttributes> attributes;
        std::string storedName;  // its last part, as the move named it
        std::string onDisk;
    };
    // Where the disk holds what the plan has at `full`, when the plan changed
    // it or a folder above it; `placed` is set when the plan says what it is.
    struct Mapping {
        std::optional<std::string> onDisk;  // none: nothing is there
        const Placed* placed = nullptr;
    };

    std::string Absolute(const std::string& path) const;
    Mapping Map(const std::string& full) const;

    FileSystem& disk_;
    std::string current_;
    std::map<std::string, Placed> placed_;  // by PathKey of the full path
    std::size_t movedFolders_ = 0;
};

}  // namespace srdw
