// The pieces the launcher's end-to-end tests are built from: work folders, files
// and folder snapshots, child processes, the held stand-in game and what it
// reported, the start-up entry and the game's settings file, and the run log.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace srdw::gui {

// ---- files and folders ----------------------------------------------------------

// The built programs under test, as Windows paths.
std::string LauncherProgram();
std::string StandInProgram();

// A path given by the build as a Unix path becomes the Z: path Wine maps it to.
std::string WindowsPath(const std::string& path);
// The long form of an existing path.
std::string LongPath(const std::string& path);

bool Exists(const std::string& path);
bool IsReadOnly(const std::string& path);
void MakeDirectories(const std::string& path);
// Writes the bytes as they are; a read-only file is made so after writing.
void WriteBytes(const std::string& path, const std::string& bytes, bool readOnly = false);
std::optional<std::string> ReadBytes(const std::string& path);
void CopyInto(const std::string& file, const std::string& target);
// Removes a file or a folder with everything in it, read-only files too.
void RemoveTree(const std::string& path);

// A fresh, empty folder for one test below the temporary folder.
std::string NewWorkFolder(const std::string& name);

// A folder's files and subfolders by relative path, with their bytes and the
// read-only flag: equal snapshots are equal folders byte for byte.
struct Entry {
    bool directory = false;
    bool readOnly = false;
    std::string bytes;
    bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::string, Entry>;
// Names (of files anywhere in the tree) in `ignored` are left out.
Snapshot TakeSnapshot(const std::string& folder, const std::vector<std::string>& ignored = {});
std::string Describe(const Snapshot& snapshot);
// Lets GoogleTest print a snapshot in a failure message (found through Entry).
inline void PrintTo(const Snapshot& snapshot, std::ostream* out) {
    *out << Describe(snapshot);
}

// ---- processes --------------------------------------------------------------------

// The tests and the programs they start work on a desktop of their own, away from
// whatever else runs in the same Wine session (a program started there without a
// display leaves the session's default desktop without one). The calling thread
// moves onto it before it has any window; true when it did.
bool UseTestDesktop();
std::string TestDesktopName();

// A started program; ended by force when the test lets go of it while it runs.
class ChildProcess {
  public:
    // `commandLine` is passed as it is; `application` may be empty (then the
    // command line's first word names the program).
    ChildProcess(const std::string& application, const std::string& commandLine,
                 const std::string& directory);
    ChildProcess(const std::wstring& application, const std::wstring& commandLine,
                 const std::wstring& directory);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }
    bool Running() const;
    // The exit code, or nothing when the program still runs after `timeout` ms.
    std::optional<DWORD> WaitForExit(DWORD timeout);
    void Kill();

  private:
    PROCESS_INFORMATION info_ = {};
};

// Sets an environment variable for the programs this test starts (and theirs).
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

// The stand-in game holding in `folder` (see StandInGame.cpp): started by whoever,
// it is found through its "game-started" file and let go through "release-game".
class HeldGame {
  public:
    explicit HeldGame(std::string folder) : folder_(std::move(folder)) {}
    ~HeldGame();
    HeldGame(const HeldGame&) = delete;
    HeldGame& operator=(const HeldGame&) = delete;

    // Waits for the game to report that it runs.
    bool WaitStarted(DWORD timeout);
    // Lets the game end and waits for its end; false when it did not end in time.
    bool Release(DWORD timeout);

  private:
    std::string folder_;
    HANDLE process_ = nullptr;
};

// What the stand-in game wrote into "game-run.txt".
struct GameReport {
    std::map<std::string, std::string> values;  // command line, arguments, directory, ...
    std::vector<std::string> files;             // "path|size|R or -|contents", sorted
    std::string Value(const std::string& key) const;
};
std::optional<GameReport> ReadGameReport(const std::string& folder);

// ---- the system's records -------------------------------------------------------

// HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce, value "SrdwLaunch".
std::optional<std::string> StartupEntry();
void RemoveStartupEntry();
// The command the launcher at `launcher` registers: its short path (quoted when it
// has blanks) and " /recover".
std::string RecoveryCommandFor(const std::string& launcher);

// The game's settings file, Srendcfg.ini in the Windows folder.
std::string SettingsFile();
void WriteGameSetting(const std::string& gamePath);
// Keeps the settings file out of the way for a test, and puts back what was there.
class SettingsFileGuard {
  public:
    SettingsFileGuard();
    ~SettingsFileGuard();
    SettingsFileGuard(const SettingsFileGuard&) = delete;
    SettingsFileGuard& operator=(const SettingsFileGuard&) = delete;

  private:
    std::optional<std::string> saved_;
};

// ---- the run log ------------------------------------------------------------------

// The log as text with "\n" line ends and its two time stamps as "<time>"; a
// line end that is not CR LF or a malformed stamp is reported in `problems`.
std::string ReadableLog(const std::string& bytes, std::string& problems);

// A description of the process's top-level windows, for failure messages.
std::string DescribeWindows(DWORD processId);

}  // namespace srdw::gui
