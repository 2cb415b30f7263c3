// The one seam between the launcher's core and the operating system.
//
// The run log, the script engine and the launch cycle reach files, the clock, the
// user and the process only through `Os()`. Each backend (win32/, posix/) provides
// one implementation; a test replaces the whole of it or, through PlatformProxy, a
// single operation, without the core noticing.
//
// Paths are byte strings in the system's ANSI code page, written as the scripts
// write them: a backslash is a separator on every platform.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace srdw {

// Why an operation failed, in the few categories the launcher tells apart.
enum class OsError {
    None = 0,
    NotFound,
    AlreadyExists,
    AccessDenied,
    SharingViolation,  // another program holds the file
    DiskFull,
    CrossDevice,
    Other,
};

// Success, or the reason for a failure. Tests on it read like a bool.
struct OsResult {
    OsError error = OsError::None;

    explicit operator bool() const { return error == OsError::None; }
    static OsResult Ok() { return {}; }
};

// What the launcher needs to know of a path that exists.
struct FileAttributes {
    std::uint32_t bits = 0;  // the platform's own attribute or mode bits, to put back as they were
    bool directory = false;
    bool readOnly = false;
    bool normal = true;  // clearing to normal attributes would change nothing
};

struct LocalTime {
    int year = 0;   // e.g. 2027
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

enum class Answer { Yes, No, Cancel };

enum class MutexState {
    Acquired,       // this process holds it now, until it ends
    HeldElsewhere,  // another launcher holds it
    Failed,         // it could not be made; nobody holds it
};

// A file opened for writing; closed by its destructor.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual OsResult Write(std::string_view bytes) = 0;
    // Writes through to the storage device, so that a power loss keeps what was written.
    virtual OsResult SyncToDisk() = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // The process.
    virtual std::string OwnPath() = 0;  // full path of the launcher, at most 259 characters
    virtual std::string ShortPathOf(const std::string& path) = 0;  // or the path unchanged
    virtual std::string CommandLineTail() = 0;  // the command line after the program name
    // A to Z lowered, and letters above 0x7F as the system's code page lowers them.
    virtual std::string LowerCase(std::string text) = 0;

    // Files and directories.
    virtual std::optional<FileAttributes> Attributes(const std::string& path) = 0;
    virtual OsResult SetNormalAttributes(const std::string& path) = 0;  // clears read-only
    virtual OsResult RestoreAttributes(const std::string& path,
                                       const FileAttributes& attributes) = 0;
    virtual OsResult MoveNoReplace(const std::string& from, const std::string& to) = 0;
    // The path with its file name spelled as the file system stores it (letter
    // case may differ from the path's); the path unchanged when nothing is there.
    virtual std::string StoredName(const std::string& path) = 0;
    virtual OsResult RemoveFile(const std::string& path) = 0;
    virtual OsResult ChangeDirectory(const std::string& path) = 0;
    virtual std::string WorkingDirectory() = 0;  // empty when it cannot be read
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // Creates the file, or empties an existing one; none when that is refused.
    virtual std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) = 0;

    // Time.
    virtual LocalTime Now() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;

    // The user.
    virtual std::string LoadText(unsigned id) = 0;  // a string-table entry, or empty
    // A message box with an OK button (style 0) and the application title as caption.
    // Returns the button pressed.
    virtual int ShowMessageBox(const std::string& text, unsigned style) = 0;
    // The Yes/No/Cancel question with the exclamation icon.
    virtual Answer AskYesNoCancel(const std::string& text) = 0;
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

    // The one-shot start-up entry: `command` runs once at the next log-in.
    virtual OsResult WriteStartupEntry(const std::string& name, const std::string& command) = 0;
    virtual OsResult DeleteStartupEntry(const std::string& name) = 0;

    // The named mutex that keeps a second launcher out; held until the process ends.
    virtual MutexState AcquireMutex(const std::string& name) = 0;
    // Whether a top-level window with this class and title is open.
    virtual bool WindowExists(const std::string& windowClass, const std::string& title) = 0;
    // Starts `file` with the parameter text in `directory` and waits for it to
    // end. False when nothing could be started.
    virtual bool StartAndWait(const std::string& file, const std::string& parameters,
                              const std::string& directory) = 0;
};

// The platform every core operation goes through.
Platform& Os();
// The backend built into this program.
Platform& NativePlatform();
// Replaces the platform (tests); nullptr returns to the native one.
void SetOs(Platform* platform);
// TEMPORARY until the seam is split.
inline Platform& Files() {
    return Os();
}

}  // namespace srdw
