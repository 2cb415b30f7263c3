// A file system and desktop that count the launcher's changes to the system
// (moves, attribute changes, deletions, file writes, settings and start-up
// entries) and, at the N-th, end the process on the spot as a power loss would,
// or make that change fail once or from then on.
#pragma once

#include "platform/DesktopProxy.h"
#include "platform/FileSystemProxy.h"

namespace srdw::test {

enum class FaultMode { None, Kill, FailOnce, FailFromThenOn };

class FaultInjectingPlatform : public FileSystemProxy, public DesktopProxy {
  public:
    // The exit code of a run ended at its N-th change.
    static constexpr int kKilledExitCode = 86;

    FaultInjectingPlatform(FileSystem& files, Desktop& desktop, FaultMode mode, int at,
                           OsError error)
        : FileSystemProxy(files), DesktopProxy(desktop), mode_(mode), at_(at), error_(error) {}

    int Changes() const { return changes_; }
    // Counts one change; true when it is to fail. Does not return when it is to kill.
    bool Fails();
    OsResult Failure() const { return {error_}; }

    OsResult SetNormalAttributes(const std::string& path) override;
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override;
    OsResult RemoveFile(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) override;
    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override;
    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override;
    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override;
    OsResult DeleteStartupEntry(const std::string& name) override;
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override;
    OsResult DeleteUserStartupEntry(const std::string& name) override;
    // The trials do not wait for a held file to be let go.
    void Sleep(unsigned) override {}

  private:
    FaultMode mode_;
    int at_;
    OsError error_;
    int changes_ = 0;
};

}  // namespace srdw::test
