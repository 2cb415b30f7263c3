// Shared pieces of the unit tests: a scratch directory, a platform with a fixed
// clock and scripted answers, the log of a test, and directory snapshots.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "log/RunLog.h"
#include "platform/Platform.h"
#include "script/Engine.h"
#include "ui/Dialogs.h"

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

// A file system that hands every operation to another one. Derive from it and
// override one operation to change just that: make a move fail, stop the clock.
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
    std::unique_ptr<OutputFile> AppendToFile(const std::string& path) override {
        return inner_.AppendToFile(path);
    }
    OsResult SyncFolder(const std::string& path) override { return inner_.SyncFolder(path); }
    bool IsLink(const std::string& path) override { return inner_.IsLink(path); }
    DirectoryListing ListDirectory(const std::string& path) override {
        return inner_.ListDirectory(path);
    }
    // Path by path, through the operations a test overrides.
    std::vector<PathState> LookUp(std::span<const std::string> paths,
                                  bool storedNames = true) override {
        std::vector<PathState> states;
        for (const std::string& path : paths) {
            PathState& state = states.emplace_back(PathState{path, path, path, Attributes(path)});
            if (state.attributes && storedNames) {
                const PathState inner = inner_.LookUp(std::span(&path, 1)).front();
                state.stored = state.native = inner.stored;
                if (!state.attributes->identity.known && inner.attributes) {
                    state.attributes->identity = inner.attributes->identity;
                }
            }
        }
        return states;
    }
    OsResult MoveLookedUp(const PathState& from, const PathState& to) override {
        return MoveNoReplace(from.native, to.native);
    }
    LocalTime Now() override { return inner_.Now(); }
    void Sleep(unsigned milliseconds) override { inner_.Sleep(milliseconds); }

  protected:
    FileSystem& inner_;
};

// The native file system, with everything else of the launcher's world played
// by the test: the launcher's place and command line, a stopped clock
// (03/05/27 08:05:09), the user's answers, the settings file, the start-up
// entries, the mutex, the game's window and the game itself.
class TestPlatform : public FileSystemProxy,
                     public LauncherProcess,
                     public SystemRecords,
                     public GameProcess,
                     public PlayerDialogs {
  public:
    TestPlatform() : FileSystemProxy(NativeFileSystem()) {}

    // The whole platform of a run, played by this one.
    Platform AsPlatform() { return {*this, *this, *this, *this, *this}; }

    std::string ownPath;       // empty: the test program's own
    std::string unusablePath;  // a path the system gave that the launcher cannot use
    std::string commandLine;
    std::deque<Answer> answers;  // used up: Cancel, and no answer to a Yes/No question
    std::deque<std::optional<std::string>> choices;  // what the chooser gives; none when used up
    std::vector<std::string> messages;               // texts of message boxes shown
    std::vector<std::string> questions;
    std::vector<std::string> events;                    // splash, cursor, game, in order
    std::map<std::string, std::string> settings;        // "file|section|key" -> value
    std::map<std::string, std::string> startupEntries;  // name -> command
    std::map<std::string, std::string> userStartupEntries;
    bool machineEntryRefused = false;           // the machine's start-up entry needs rights
    std::vector<std::string> protectedFolders;  // refuse a new file to this process
    std::vector<std::string> probes;            // folders probed for a new file
    Elevation elevation = Elevation::Declined;  // what a restart with rights comes to
    struct Restart {
        std::string program, parameters, directory;
    };
    std::vector<Restart> restarts;  // restarts with administrator rights asked for
    MutexState mutex = MutexState::Acquired;
    MutexState folderLock = MutexState::Acquired;
    std::vector<std::string> lockedFolders;  // folders whose own lock was asked for
    bool hasWindows = false;                 // else the game's window is never looked for
    bool gameWindowOpen = false;
    unsigned playingIntervals = 0;    // watch intervals the game's own process runs
    unsigned lingeringIntervals = 0;  // watch intervals a program the game started outlives it
    std::vector<RunningProcess> lingering;  // what runs on, when the wait ends before it
    unsigned slept = 0;                     // milliseconds of pauses, none of them real
    std::function<void()> whileSleeping;    // looks at the world at each pause
    bool gameStarts = true;                 // else it fails with the reason "not a program"
    bool gameCrashes = false;               // the game's own process ends by a fault
    struct GameRun {
        std::string file, parameters, directory;
    };
    std::vector<GameRun> gameRuns;
    std::function<void()> whileGameRuns;  // looks at the world while the game "runs"
    std::function<void()> whenGameEnds;   // after the wait's last look, as its processes end

    std::string OwnPath() override;
    std::string UnusablePath() override { return unusablePath; }
    std::string ShortPathOf(const std::string& path) override {
        return NativeLauncherProcess().ShortPathOf(path);
    }
    std::string CommandLineTail() override { return commandLine; }
    OsResult ProbeNewFile(const std::string& folder) override;
    Elevation RestartElevated(const std::string& program, const std::string& parameters,
                              const std::string& directory) override;
    MutexState AcquireMutex(const std::string&) override { return mutex; }
    void ReleaseMutex(const std::string&) override { events.emplace_back("release mutex"); }
    MutexState LockFolder(const std::string& folder) override {
        lockedFolders.push_back(folder);
        return folderLock;
    }
    std::vector<std::string> LockFiles() override { return {}; }

    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override;
    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override;
    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override;
    OsResult DeleteStartupEntry(const std::string& name) override;
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override;
    OsResult DeleteUserStartupEntry(const std::string& name) override;

    bool HasWindows() override { return hasWindows; }
    bool WindowExists(const std::string& windowClass, const std::string& title) override;
    // Plays the game: runs `whileGameRuns`, looks as the wait does while the
    // game's own process and then what it left run, then runs `whenGameEnds`.
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override;

    std::string LoadText(unsigned id) override { return ui::NativeDialogs().LoadText(id); }
    int ShowMessageBox(const std::string& text, unsigned) override;
    Answer AskYesNoCancel(const std::string& text) override;
    Answer AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseGameFile() override;
    void ShowSplash() override { events.emplace_back("show splash"); }
    void HideSplash() override { events.emplace_back("hide splash"); }
    void DestroySplash() override { events.emplace_back("destroy splash"); }
    void BeginWaitCursor() override { events.emplace_back("begin wait cursor"); }
    void EndWaitCursor() override { events.emplace_back("end wait cursor"); }

    LocalTime Now() override { return {2027, 3, 5, 8, 5, 9}; }
    void Sleep(unsigned milliseconds) override;
};

// A TestPlatform with the launcher at dir/SrdwLaunch.exe, its log open and the
// script engine over the two; Body() closes the log and returns what was
// written between header and footer, with CR LF turned back into "\n".
class LoggedTest {
  public:
    explicit LoggedTest(const ScratchDir& dir, const std::string& launcherName = "SrdwLaunch.exe");

    TestPlatform& Platform() { return platform_; }
    RunLog& Log() { return log_; }
    ScriptObserver& Told() { return log_; }
    const srdw::Engine& Scripting() const { return engine_; }
    std::string LogPath() const;
    std::string Body();

  private:
    TestPlatform platform_;
    RunLog log_{platform_};
    srdw::Engine engine_{platform_, log_};
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
// A symbolic link to a folder; false where the system makes none, for the test to skip.
bool MadeFolderLink(const fs::path& target, const fs::path& link);
// Clears read-only below `root`, so that everything there can be removed.
void MakeWritableTree(const fs::path& root);
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

// One whole launcher run in this process, on `platform`; the working
// directory is as it was afterwards. Returns its log, `logFile`, without
// header and footer.
std::string RunLauncher(TestPlatform& platform, const fs::path& logFile);
// Every file below a game folder but the launcher's logs.
Snapshot GameFolder(const fs::path& root);

}  // namespace srdw::test
