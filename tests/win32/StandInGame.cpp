// A stand-in for the game's srend.exe, for the launcher's end-to-end tests.
//
// Started (by the launcher or directly), it writes "game-run.txt" into its working
// directory, one "key=value" per line:
//   command line=<GetCommandLineA as it is>
//   arguments=<the command line after the program name and the blanks after it>
//   directory=<the working directory>
//   program=<its own path>
//   marker=yes|no          restore.mod in the program's own directory
//   startup entry=<value>  HKLM\...\RunOnce value "SrdwLaunch", or "(none)"
//   file=<path>|<size>|<R or ->|<contents>
// with one "file" line per file below the working directory (relative path, sorted,
// read-only flag, contents in C escapes for files up to 64 bytes, "..." otherwise).
//
// It is controlled by environment variables, which pass from the test through the
// launcher to the game:
//   SRDW_STANDIN_HOLD=1    after the report, write "game-started" (holding the
//                          process id) and keep running until a file "release-game"
//                          appears in the working directory; polled every 50 ms,
//                          given up after SRDW_STANDIN_HOLD_LIMIT seconds (120).
//   SRDW_STANDIN_WINDOW    its top-level window of class "Skyrend 2" and title
//                          "Skyrend 2" is opened first, as the real game does; 0
//                          opens none, 1 also implies HOLD. Without HOLD the window
//                          stays open for kLinger ms after the report, long enough
//                          for a launcher that watches for it to see it.
//   SRDW_STANDIN_HANDOVER  the stub of a store's game, which ends at once and
//                          writes no report:
//                          child   after starting this program again, the same
//                                  way, as its child (which does all of the above);
//                          client  after writing "start-request" (holding its own
//                                  path), for the test that plays the store's client
//                                  to start the game anew outside the launcher;
//                          helper  after starting this program again as its
//                                  child, without a window and holding: a game
//                                  that never showed its window (a crash at
//                                  start) and left a tray helper or an updater.
// The exit code is 0, 3 when the hold ran out, or 4 when the hand-over failed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/ScopedHandle.h"

namespace {

using srdw::win32::FindHandle;
using srdw::win32::KernelHandle;
using srdw::win32::RegistryKey;

constexpr char kReportFile[] = "game-run.txt";
constexpr char kStartedFile[] = "game-started";
constexpr char kReleaseFile[] = "release-game";
constexpr char kRequestFile[] = "start-request";
constexpr char kHandover[] = "SRDW_STANDIN_HANDOVER";
constexpr DWORD kLinger = 1000;
constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kStartupEntry[] = "SrdwLaunch";
constexpr DWORD kPollInterval = 50;
constexpr DWORD kDefaultHoldSeconds = 120;
constexpr LONGLONG kShownContentLimit = 64;

class WindowClass {
  public:
    explicit WindowClass(const char* name) : name_(name) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = name_;
        registered_ = RegisterClassA(&windowClass) != 0;
    }
    ~WindowClass() {
        if (registered_) {
            UnregisterClassA(name_, GetModuleHandleA(nullptr));
        }
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;
    bool Registered() const { return registered_; }

  private:
    const char* name_;
    bool registered_ = false;
};

class Window {
  public:
    explicit Window(HWND window) : window_(window) {}
    ~Window() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND Get() const { return window_; }

  private:
    HWND window_;
};

std::string Environment(const char* name) {
    char value[64] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// As the C runtime hands the arguments to a program: a quoted program name ends at
// its closing quote, an unquoted one at the first blank; the blanks after it go.
std::string ArgumentsOf(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') {
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (static_cast<unsigned char>(*p) > ' ') {
            ++p;
        }
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') {
        ++p;
    }
    return p;
}

std::string Escaped(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            text += "\\\\";
        } else if (c == '|') {
            text += "\\x7c";
        } else if (byte < 0x20 || byte >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

std::string Contents(const std::string& path, LONGLONG size) {
    if (size > kShownContentLimit) {
        return "...";
    }
    KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return "(unreadable)";
    }
    char buffer[kShownContentLimit] = {};
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
        return "(unreadable)";
    }
    return Escaped(std::string(buffer, read));
}

void ListFiles(const std::string& directory, const std::string& prefix,
               std::vector<std::string>& lines) {
    WIN32_FIND_DATAA found = {};
    FindHandle search(FindFirstFileA((directory + "\\*").c_str(), &found));
    if (!search.IsValid()) {
        return;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = directory + "\\" + name;
        const std::string relative = prefix + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ListFiles(path, relative + "\\", lines);
            continue;
        }
        const LONGLONG size =
            (static_cast<LONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        const bool readOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        lines.push_back("file=" + relative + "|" + std::to_string(size) + "|" +
                        (readOnly ? "R" : "-") + "|" + Contents(path, size));
    } while (FindNextFileA(search.Get(), &found));
}

std::string StartupEntry() {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS) {
        return "(none)";
    }
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), kStartupEntry, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "(none)";
    }
    return value;
}

std::string WorkingDirectory() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string OwnPath() {
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    // Written under another name and moved into place, so a reader never sees half.
    const std::string partial = path + ".partial";
    {
        KernelHandle file(CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) ||
            written != bytes.size()) {
            return false;
        }
    }
    return MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Starts this program again with the same command line in the same folder, as
// its child, without the hand-over, and lets it go. A helper holds, and has
// no window.
bool StartChild(bool helper) {
    SetEnvironmentVariableA(kHandover, nullptr);
    if (helper) {
        SetEnvironmentVariableA("SRDW_STANDIN_WINDOW", "0");
        SetEnvironmentVariableA("SRDW_STANDIN_HOLD", "1");
    }
    std::string commandLine = GetCommandLineA();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(OwnPath().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

std::string Report() {
    const std::string directory = WorkingDirectory();
    const std::string program = OwnPath();
    const std::string programDirectory = program.substr(0, program.find_last_of('\\'));
    const bool marker =
        GetFileAttributesA((programDirectory + "\\restore.mod").c_str()) != INVALID_FILE_ATTRIBUTES;

    std::vector<std::string> files;
    ListFiles(directory, "", files);
    std::sort(files.begin(), files.end());

    std::string report;
    report += "command line=" + std::string(GetCommandLineA()) + "\r\n";
    report += "arguments=" + ArgumentsOf(GetCommandLineA()) + "\r\n";
    report += "directory=" + directory + "\r\n";
    report += "program=" + program + "\r\n";
    report += std::string("marker=") + (marker ? "yes" : "no") + "\r\n";
    report += "startup entry=" + StartupEntry() + "\r\n";
    for (const std::string& line : files) {
        report += line + "\r\n";
    }
    return report;
}

}  // namespace

int main() {
    // Whoever waits for this program to be ready for input (ShellExecuteEx may) is
    // answered at once.
    PumpMessages();

    const std::string handover = Environment(kHandover);
    if (handover == "child" || handover == "helper") {
        return StartChild(handover == "helper") ? 0 : 4;
    }
    if (handover == "client") {
        return WriteWholeFile(kRequestFile, OwnPath()) ? 0 : 4;
    }
    if (Environment("SRDW_STANDIN_CRASH") == "1") {
        WriteWholeFile(kReportFile, Report());
        // The exit code the system gives a process an access violation ended,
        // without the crash dialog Wine would show for a real one.
        ExitProcess(EXCEPTION_ACCESS_VIOLATION);
    }

    const bool window = Environment("SRDW_STANDIN_WINDOW") != "0";
    const bool hold =
        Environment("SRDW_STANDIN_WINDOW") == "1" || Environment("SRDW_STANDIN_HOLD") == "1";
    DWORD holdSeconds = kDefaultHoldSeconds;
    if (const std::string limit = Environment("SRDW_STANDIN_HOLD_LIMIT"); !limit.empty()) {
        holdSeconds = static_cast<DWORD>(std::strtoul(limit.c_str(), nullptr, 10));
    }

    WindowClass gameClass("Skyrend 2");
    Window gameWindow(window && gameClass.Registered()
                          ? CreateWindowExA(0, "Skyrend 2", "Skyrend 2", WS_OVERLAPPEDWINDOW, 0, 0,
                                            320, 200, nullptr, nullptr, GetModuleHandleA(nullptr),
                                            nullptr)
                          : nullptr);
    if (gameWindow.Get() != nullptr) {
        ShowWindow(gameWindow.Get(), SW_SHOWNOACTIVATE);
        UpdateWindow(gameWindow.Get());
    }

    WriteWholeFile(kReportFile, Report());
    if (!hold) {
        if (gameWindow.Get() != nullptr) {
            const ULONGLONG close = GetTickCount64() + kLinger;
            while (GetTickCount64() < close) {
                PumpMessages();
                Sleep(kPollInterval);
            }
        }
        return 0;
    }
    WriteWholeFile(kStartedFile, std::to_string(GetCurrentProcessId()) + "\r\n");
    const ULONGLONG giveUp = GetTickCount64() + ULONGLONG{holdSeconds} * 1000;
    while (GetFileAttributesA(kReleaseFile) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() >= giveUp) {
            return 3;
        }
        PumpMessages();
        Sleep(kPollInterval);
    }
    return 0;
}
