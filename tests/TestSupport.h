// Shared pieces of the unit tests: a scratch directory, a platform with a fixed
// clock and scripted answers, the log of a test, and directory snapshots.
#pragma once

#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/PlatformProxy.h"

namespace srdw::test {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it (read-only files too).
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& Path() const { return path_; }
    // The path of `relative` inside, as the launcher writes it (native separators).
    std::string operator/(const std::string& relative) const;

  private:
    fs::path path_;
};

// The native platform with a launcher placed in a test's directory, a clock
// stopped at 03/05/27 08:05:09, questions answered from a list and messages kept.
class TestPlatform : public PlatformProxy {
  public:
    TestPlatform() : PlatformProxy(NativePlatform()) {}

    std::string ownPath;                // empty: the test program's own
    std::deque<Answer> answers;         // Cancel when used up
    std::vector<std::string> messages;  // texts of message boxes shown
    std::vector<std::string> questions;

    std::string OwnPath() override { return ownPath.empty() ? inner_.OwnPath() : ownPath; }
    LocalTime Now() override { return {2027, 3, 5, 8, 5, 9}; }
    int ShowMessageBox(const std::string& text, unsigned) override;
    Answer AskYesNoCancel(const std::string& text) override;
};

// Installs a TestPlatform with the launcher at dir/SrdwLaunch.exe and opens its
// log; Body() closes the log and returns what was written between header and
// footer, with CR LF turned back into "\n".
class LoggedTest {
  public:
    explicit LoggedTest(const ScratchDir& dir, const std::string& launcherName = "SrdwLaunch.exe");
    ~LoggedTest();

    TestPlatform& Platform() { return platform_; }
    std::string LogPath() const;
    std::string Body();

  private:
    TestPlatform platform_;
    ScopedOs scope_;
};

// Makes a directory current for the life of a scope.
class InDirectory {
  public:
    explicit InDirectory(const fs::path& directory) : saved_(fs::current_path()) {
        fs::current_path(directory);
    }
    ~InDirectory() { fs::current_path(saved_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

  private:
    fs::path saved_;
};

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& content);
void MakeReadOnly(const fs::path& path);
bool IsReadOnly(const fs::path& path);

// Every file below a directory: relative path (with "/"), content and read-only bit.
struct FileState {
    std::string content;
    bool readOnly = false;
    bool operator==(const FileState&) const = default;
};
void PrintTo(const FileState& state, std::ostream* out);
using Snapshot = std::map<std::string, FileState>;
Snapshot TakeSnapshot(const fs::path& root);
std::string Describe(const Snapshot& snapshot);

// Removes the fixed header and footer of a log; fails the test when they differ.
std::string LogBody(const std::string& crlfLog);

}  // namespace srdw::test
