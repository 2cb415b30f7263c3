// The launcher's desktop: the process, the user, the system's records (the
// game's settings file, the start-up entry), the mutex and the game's start.
//
// The launch cycle reaches all of these only through `Host()`. The POSIX
// backend provides the whole desktop in platform/posix/; on Windows the windows
// of it (the splash and the game file chooser) live in ui/win32/, which
// completes platform/win32's SystemDesktop and defines NativeDesktop(). A test
// replaces the whole desktop or, through DesktopProxy, a single operation.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

namespace srdw {

enum class Answer {
    Yes,
    No,
    Cancel,
    NoAnswer,  // nobody could be asked (no terminal, end of input, no desktop)
};

// A process that was still running when the wait for the game ended.
struct RunningProcess {
    std::string file;  // the program's file name, without its folder
    unsigned long id = 0;
    bool operator==(const RunningProcess&) const = default;
};

// The end of a program started and waited for: it ran, or why nothing started,
// in the system's own words.
struct [[nodiscard]] ProgramRun {
    bool started = true;
    std::string reason;                // empty when it started
    std::vector<RunningProcess> left;  // what it started that ran on when the wait ended
    // The program itself ended by a fault (an exception the system caught), not
    // by its own exit: a crash at start hands nothing over to another process.
    bool crashed = false;

    explicit operator bool() const { return started; }
    static ProgramRun NotStarted(std::string why) { return {false, std::move(why), {}, false}; }
};

// How a restart with administrator rights went.
enum class Elevation {
    Started,      // the player agreed; the elevated launcher runs now
    Declined,     // the player said no
    Unavailable,  // not possible here: already elevated, or no such thing on this system
};

enum class MutexState {
    Acquired,       // this process holds it now, until it ends
    HeldElsewhere,  // another launcher holds it
    Failed,         // it could not be made; nobody holds it
};

inline constexpr unsigned kWatchInterval = 200;

// Called while a started program runs: `programEnded` says whether the program
// itself has ended (what it started may run on). False ends the wait.
using WatchWhileRunning = std::function<bool(bool programEnded)>;

class Desktop {
  public:
    virtual ~Desktop() = default;

    // The process.
    // Full path of the launcher, at most 259 characters; empty when it cannot be
    // had whole or holds what the launcher's paths cannot (a backslash in a name
    // where the backslash is no separator).
    virtual std::string OwnPath() = 0;
    // A path the system gave in characters the launcher cannot use here: on
    // Windows, characters outside the ANSI code page, which the launcher's and
    // the game's ANSI calls would see as look-alikes naming another file; on
    // Linux, control characters a start-up entry cannot hold. OwnPath,
    // ChooseGameFile and ReadProfileString then give no path, and this gives
    // the path as it can be shown, "?" for each such character, until the
    // next of them is asked. Empty when the last one was whole.
    virtual std::string UnusablePath() = 0;
    virtual std::string ShortPathOf(const std::string& path) = 0;  // or the path unchanged
    virtual std::string CommandLineTail() = 0;  // the command line after the program name
    // A to Z lowered, and letters above 0x7F as the system's code page lowers them.
    virtual std::string LowerCase(std::string text) = 0;

    // The user.
    virtual std::string LoadText(unsigned id) = 0;  // a string-table entry, or empty
    // A message box with an OK button (style 0) and the application title as caption.
    // Returns the button pressed.
    virtual int ShowMessageBox(const std::string& text, unsigned style) = 0;
    // The Yes/No/Cancel question with the exclamation icon.
    virtual Answer AskYesNoCancel(const std::string& text) = 0;
    // The same question with Yes and No only.
    virtual Answer AskYesNo(const std::string& text) = 0;
    // Lets the user point at the game executable; only a file named srend.exe (any
    // letter case) is accepted. None when the user cancels.
    virtual std::optional<std::string> ChooseGameFile() = 0;
    // The splash window: shown (then a half-second pause) before the install,
    // hidden while the game runs, destroyed after the restore. Where there is no
    // splash, all three do nothing.
    virtual void ShowSplash() = 0;
    virtual void HideSplash() = 0;
    virtual void DestroySplash() = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // The game's settings file "Srendcfg.ini", named without a directory: one
    // key of one section; empty when missing.
    virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                          const std::string& key) = 0;
    virtual OsResult WriteProfileString(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& value) = 0;

    // The one-shot start-up entry: `command` runs once at the next log-in. The
    // machine's entry runs at anybody's log-in and may need administrator rights;
    // the user's runs at this user's. Where the system has one place only, both
    // are that place.
    virtual OsResult WriteStartupEntry(const std::string& name, const std::string& command) = 0;
    virtual OsResult DeleteStartupEntry(const std::string& name) = 0;
    virtual OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) = 0;
    virtual OsResult DeleteUserStartupEntry(const std::string& name) = 0;

    // Rights. Whether `folder` takes a new file: one is made there and removed at
    // once, so that nothing is left that a later start would not remove, also
    // when the process is killed meanwhile. AccessDenied when the system
    // refuses this process.
    virtual OsResult ProbeNewFile(const std::string& folder) = 0;
    // Starts `program` again with administrator rights, after the player agreed.
    virtual Elevation RestartElevated(const std::string& program, const std::string& parameters,
                                      const std::string& directory) = 0;

    // The named mutex that keeps a second launcher out; held until the process
    // ends. Failed when no place could be had to hold it.
    virtual MutexState AcquireMutex(const std::string& name) = 0;
    // Lets go of a mutex this process holds, and of the folders' locks, for a
    // launcher that takes over.
    virtual void ReleaseMutex(const std::string& name) = 0;
    // A lock that belongs to `folder` itself: the same for every launcher
    // working there, whoever started it and in whatever environment. Held
    // until the process ends or hands over; whatever it needs on the disk goes
    // with it.
    virtual MutexState LockFolder(const std::string& folder) = 0;
    // Whether top-level windows can be seen here at all; where not, WindowExists
    // is always false.
    virtual bool HasWindows() = 0;
    // Whether a top-level window with this class and title is open.
    virtual bool WindowExists(const std::string& windowClass, const std::string& title) = 0;
    // Starts `file` with the parameter text in `directory` and waits until it
    // and every process it started have ended; says why when nothing could be
    // started. `whileRunning` is called every kWatchInterval milliseconds or so
    // meanwhile, told whether the started program itself has ended; when it
    // returns false the wait ends, and the processes still running are listed
    // in the result.
    virtual ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                                    const std::string& directory,
                                    const WatchWhileRunning& whileRunning) = 0;
};

// The desktop built into this program: posix/ on Linux, ui/win32/ on Windows.
Desktop& NativeDesktop();
// The desktop installed in place of the native one, or none.
Desktop* InstalledDesktop();
// Replaces the desktop (tests); nullptr returns to the native one.
void SetHost(Desktop* desktop);

// The desktop every core operation goes through. Inline, so that platform/
// itself does not refer to the layer above it that defines NativeDesktop().
inline Desktop& Host() {
    Desktop* d = InstalledDesktop();
    return d ? *d : NativeDesktop();
}

}  // namespace srdw
