// A game directory held in memory: the names and attributes of everything in it,
// no contents. It plays the file system for a dry run of the launcher's own
// script engine, so that install and restore can be tried without touching a
// single file, and it tells afterwards what moved.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check/CheckReport.h"
#include "platform/FileSystem.h"
#include "script/PathModel.h"

namespace srdw::check {

class DirectoryModel final : public FileSystem {
  public:
    // Reads the names and attributes below `gameDirectory`, an absolute path; on
    // failure `error` says why and the model is empty. The script at
    // `scriptPath` is read from `script`, so that every run reads the same bytes;
    // `script` must outlive the model.
    DirectoryModel(const ResolvedPath& gameDirectory, std::string scriptPath,
                   std::string_view script, std::string& error);

    // Everything back as it was read, the game directory current, the log empty.
    void Reset();

    // Paths looked at outside the game directory, which the model does not hold.
    const std::vector<std::string>& UnmodelledPaths() const { return unmodelled_; }
    // How often such a path was looked at: what a command that did so found
    // is not the disk's.
    std::size_t OutsideLooks() const { return outsideLooks_; }
    // What the model left out because it could not be read: a link to nothing,
    // a link loop, a path longer than the system takes.
    struct Unread {
        std::string path;
        std::string reason;
    };
    const std::vector<Unread>& UnreadPaths() const { return unread_; }
    // The entries whose path, letter case or attributes differ from the start,
    // and those that are new or gone, one line each, relative to the game directory;
    // what was moved out of it is left out, for the model cannot follow it.
    std::vector<std::string> Differences() const;
    // Every change of the current directory asked for, in order, and whether it happened.
    struct DirectoryChange {
        std::string path;
        bool changed;
    };
    const std::vector<DirectoryChange>& DirectoryChanges() const { return directoryChanges_; }
    // What is not where it was at the start.
    std::vector<Placement> Moved() const;

    std::optional<FileAttributes> Attributes(const std::string& path) override;
    OsResult SetNormalAttributes(const std::string& path) override;
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override;
    std::string StoredName(const std::string& path) override;
    OsResult RemoveFile(const std::string&) override { return {OsError::AccessDenied}; }
    OsResult ChangeDirectory(const std::string& path) override;
    std::string WorkingDirectory() override { return current_.Text(); }
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, OsError* why) override;
    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override;

    LocalTime Now() override;
    void Sleep(unsigned) override {}

  private:
    struct Entry {
        ResolvedPath path;   // as stored, letter case included
        std::string origin;  // where the entry was when the model was made
        FileAttributes attributes;
    };
    // By PathKey, then as stored: where the system holds two names that differ
    // only in letter case (Wine on a Linux folder can), both are kept.
    using Key = std::pair<std::string, std::string>;
    using Entries = std::map<Key, Entry>;
    static Key KeyOf(const ResolvedPath& stored) { return {PathKey(stored), stored.Text()}; }

    // What stands where, relative to the game directory.
    std::string Relative(const ResolvedPath& path) const;
    // The entry at `path`, or the game directory's parents, which exist but are
    // not held; none when nothing is there.
    std::optional<FileAttributes> Look(const ResolvedPath& path);
    bool IsFixed(const ResolvedPath& path) const;  // the game directory or above it
    // The entry a path names, found as the system finds it: each name as
    // spelled where that is there, else one that differs only in letter case.
    Entries::iterator Find(const ResolvedPath& path);
    Entries::const_iterator Find(const ResolvedPath& path) const;
    // The path spelled as stored, for a path that is there.
    ResolvedPath StoredPath(const ResolvedPath& path) const;

    ResolvedPath game_;
    std::string scriptPath_;
    std::string_view script_;
    ResolvedPath current_;
    Entries entries_;
    Entries initial_;
    // The files the launcher wrote beside itself, by path; neither their bytes
    // nor anything on disk.
    std::set<std::string> written_;
    std::vector<std::string> unmodelled_;
    std::size_t outsideLooks_ = 0;
    std::vector<Unread> unread_;
    std::vector<DirectoryChange> directoryChanges_;
};

}  // namespace srdw::check
