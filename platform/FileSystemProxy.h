// A file system that hands every operation to another one. Derive from it and
// override one operation to change just that: make a move fail, stop the clock.
#pragma once

#include "platform/FileSystem.h"

namespace srdw {

class FileSystemProxy : public FileSystem {
  public:
    explicit FileSystemProxy(FileSystem& inner) : inner_(inner) {}

    std::optional<FileAttributes> Attributes(const std::string& path) override {
        return inner_.Attributes(path);
    }
    OsResult SetNormalAttributes(const std::string& path) override {
        return inner_.SetNormalAttributes(path);
    }
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override {
        return inner_.RestoreAttributes(path, attributes);
    }
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        return inner_.MoveNoReplace(from, to);
    }
    std::string StoredName(const std::string& path) override { return inner_.StoredName(path); }
    OsResult RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
    OsResult ChangeDirectory(const std::string& path) override {
        return inner_.ChangeDirectory(path);
    }
    std::string WorkingDirectory() override { return inner_.WorkingDirectory(); }
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return inner_.ReadWholeFile(path);
    }
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, OsError* why) override {
        return inner_.CreateOutputFile(path, why);
    }
    OsResult SyncFolder(const std::string& path) override { return inner_.SyncFolder(path); }
    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override {
        return inner_.AppendToFile(path);
    }
    FileIdentity IdentityOf(const std::string& path) override { return inner_.IdentityOf(path); }
    bool IsLink(const std::string& path) override { return inner_.IsLink(path); }
    DirectoryListing ListDirectory(const std::string& path) override {
        return inner_.ListDirectory(path);
    }

    LocalTime Now() override { return inner_.Now(); }
    void Sleep(unsigned milliseconds) override { inner_.Sleep(milliseconds); }

  protected:
    FileSystem& inner_;
};

}  // namespace srdw
