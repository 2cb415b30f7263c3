#include "GuiTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "WidePaths.h"
#include "WindowDriver.h"
#include "platform/win32/ScopedHandle.h"

namespace srdw::gui {

namespace {

// CloseDesktop is refused while a thread still uses the desktop; the system
// closes it when the process ends.
using DesktopHandle = win32::ScopedHandle<HDESK, CloseDesktop>;
using win32::FindHandle;
using win32::KernelHandle;
using win32::RegistryKey;

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kStartupEntryName[] = "SrdwLaunch";
constexpr char kSettingsName[] = "Srendcfg.ini";
constexpr char kSettingsSection[] = "Global - String3";
constexpr char kSettingsKey[] = "Data";
constexpr DWORD kKillWait = 10000;
constexpr char kDesktopName[] = "SrdwLaunchTests";

std::string Escaped(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

void Collect(const std::string& folder, const std::string& prefix,
             const std::vector<std::string>& ignored, Snapshot& snapshot) {
    WIN32_FIND_DATAA found = {};
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search.IsValid()) {
        return;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == ".." ||
            std::find(ignored.begin(), ignored.end(), name) != ignored.end()) {
            continue;
        }
        const std::string path = folder + "\\" + name;
        Entry entry;
        entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.readOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (entry.directory) {
            Collect(path, prefix + name + "\\", ignored, snapshot);
        } else {
            entry.bytes = ReadBytes(path).value_or("(unreadable)");
        }
        snapshot[prefix + name] = std::move(entry);
    } while (FindNextFileA(search.Get(), &found));
}

bool IsStamp(const std::string& text) {
    // "mm/dd/yy hh:mm:ss"
    static constexpr char kShape[] = "00/00/00 00:00:00";
    if (text.size() != sizeof kShape - 1) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == '0' ? !digit : text[i] != kShape[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string WindowsPath(const std::string& path) {
    std::string windows = path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    if (!windows.empty() && windows.front() == '\\') {
        windows.insert(0, "Z:");
    }
    return windows;
}

std::string LauncherProgram() {
    return WindowsPath(SRDW_LAUNCHER_EXE);
}

std::string StandInProgram() {
    return WindowsPath(SRDW_STANDIN_EXE);
}

std::string LongPath(const std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : path;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsReadOnly(const std::string& path) {
    const DWORD bits = GetFileAttributesA(path.c_str());
    return bits != INVALID_FILE_ATTRIBUTES && (bits & FILE_ATTRIBUTE_READONLY) != 0;
}

void MakeDirectories(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos;
         at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
}

void WriteBytes(const std::string& path, const std::string& bytes, bool readOnly) {
    MakeDirectories(path.substr(0, path.rfind('\\')));
    {
        KernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file.IsValid()) {
            WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                      nullptr);
        }
    }
    if (readOnly) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
}

std::optional<std::string> ReadBytes(const std::string& path) {
    KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

void CopyInto(const std::string& file, const std::string& target) {
    MakeDirectories(target.substr(0, target.rfind('\\')));
    CopyFileA(file.c_str(), target.c_str(), FALSE);
}

void RemoveTree(const std::string& path) {
    const DWORD bits = GetFileAttributesA(path.c_str());
    if (bits == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((bits & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA(path.c_str());
        return;
    }
    std::vector<std::string> names;
    {
        WIN32_FIND_DATAA found = {};
        FindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
        if (search.IsValid()) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..") {
                    names.push_back(name);
                }
            } while (FindNextFileA(search.Get(), &found));
        }
    }
    for (const std::string& name : names) {
        RemoveTree(path + "\\" + name);
    }
    RemoveDirectoryA(path.c_str());
}

std::string NewWorkFolder(const std::string& name) {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    std::string base = LongPath(temp);
    if (!base.empty() && base.back() == '\\') {
        base.pop_back();
    }
    const std::string folder = base + "\\srdw-gui\\" + name + "-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(counter++);
    RemoveTree(folder);
    MakeDirectories(folder);
    return LongPath(folder);
}

Snapshot TakeSnapshot(const std::string& folder, const std::vector<std::string>& ignored) {
    Snapshot snapshot;
    Collect(folder, "", ignored, snapshot);
    return snapshot;
}

std::string Describe(const Snapshot& snapshot) {
    std::ostringstream text;
    text << "\n";
    for (const auto& [path, entry] : snapshot) {
        text << "  " << path;
        if (entry.directory) {
            text << "\\\n";
            continue;
        }
        text << (entry.readOnly ? " (read-only)" : "") << ", " << entry.bytes.size() << " bytes";
        if (entry.bytes.size() <= 80) {
            text << ": \"" << Escaped(entry.bytes) << "\"";
        }
        text << "\n";
    }
    return text.str();
}

// ---- processes --------------------------------------------------------------------

std::string TestDesktopName() {
    return std::string("WinSta0\\") + kDesktopName;
}

bool UseTestDesktop() {
    // Kept open for the whole run: the desktop lives as long as a handle does.
    static const DesktopHandle desktop(
        CreateDesktopA(kDesktopName, nullptr, nullptr, 0, GENERIC_ALL, nullptr));
    static const bool used = desktop.Get() != nullptr && SetThreadDesktop(desktop.Get());
    return used;
}

ChildProcess::ChildProcess(const std::string& application, const std::string& commandLine,
                           const std::string& directory)
    : ChildProcess(Wide(application), Wide(commandLine), Wide(directory)) {}

ChildProcess::ChildProcess(const std::wstring& application, const std::wstring& commandLine,
                           const std::wstring& directory) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring desktop = Wide(TestDesktopName());
    startup.lpDesktop = desktop.data();
    std::wstring line = commandLine;  // CreateProcessW may write into it
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, directory.empty() ? nullptr : directory.c_str(),
                        &startup, &info_)) {
        info_ = {};
        return;
    }
    CloseHandle(info_.hThread);
    info_.hThread = nullptr;
}

ChildProcess::~ChildProcess() {
    if (Started()) {
        Kill();
        CloseHandle(info_.hProcess);
    }
}

bool ChildProcess::Running() const {
    return Started() && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeout) {
    if (!Started() || WaitForSingleObject(info_.hProcess, timeout) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void ChildProcess::Kill() {
    if (Running()) {
        TerminateProcess(info_.hProcess, 9);
        WaitForSingleObject(info_.hProcess, kKillWait);
    }
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    char buffer[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) {
        previous_ = std::string(buffer, length);
    }
    SetEnvironmentVariableA(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableA(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

HeldGame::~HeldGame() {
    Release(kKillWait);
    if (process_ != nullptr) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 9);
            WaitForSingleObject(process_, kKillWait);
        }
        CloseHandle(process_);
    }
}

bool HeldGame::WaitStarted(DWORD timeout) {
    const std::string started = folder_ + "\\game-started";
    if (!WaitUntil([&] { return Exists(started); }, timeout)) {
        return false;
    }
    const auto text = ReadBytes(started);
    const DWORD id = text ? std::strtoul(text->c_str(), nullptr, 10) : 0;
    if (process_ == nullptr && id != 0) {
        process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
    }
    return process_ != nullptr;
}

bool HeldGame::Release(DWORD timeout) {
    WriteBytes(folder_ + "\\release-game", "");
    if (process_ == nullptr) {
        return false;
    }
    return WaitForSingleObject(process_, timeout) == WAIT_OBJECT_0;
}

std::string GameReport::Value(const std::string& key) const {
    const auto found = values.find(key);
    return found == values.end() ? "(missing)" : found->second;
}

std::optional<GameReport> ReadGameReport(const std::string& folder) {
    const auto bytes = ReadBytes(folder + "\\game-run.txt");
    if (!bytes) {
        return std::nullopt;
    }
    GameReport report;
    std::istringstream lines(*bytes);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        if (key == "file") {
            report.files.push_back(line.substr(equals + 1));
        } else {
            report.values[key] = line.substr(equals + 1);
        }
    }
    return report;
}

// ---- the system's records -------------------------------------------------------

std::optional<std::string> StartupEntry() {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    char value[2048] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), kStartupEntryName, nullptr, &type,
                         reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return type == REG_SZ ? std::string(value) : std::string("(not a string)");
}

void RemoveStartupEntry() {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_SET_VALUE, key.Out()) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key.Get(), kStartupEntryName);
    }
}

std::string RecoveryCommandFor(const std::string& launcher) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameA(launcher.c_str(), buffer, sizeof buffer);
    std::string path =
        length > 0 && length < sizeof buffer ? std::string(buffer, length) : launcher;
    if (path.find(' ') != std::string::npos) {
        path = '"' + path + '"';
    }
    return path + " /recover";
}

std::string SettingsFile() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\" + kSettingsName;
}

void WriteGameSetting(const std::string& gamePath) {
    WritePrivateProfileStringA(kSettingsSection, kSettingsKey, gamePath.c_str(), kSettingsName);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kSettingsName);  // flush
}

SettingsFileGuard::SettingsFileGuard() : saved_(ReadBytes(SettingsFile())) {
    RemoveTree(SettingsFile());
}

SettingsFileGuard::~SettingsFileGuard() {
    RemoveTree(SettingsFile());
    if (saved_) {
        WriteBytes(SettingsFile(), *saved_);
    }
}

// ---- the run log ------------------------------------------------------------------

std::string ReadableLog(const std::string& bytes, std::string& problems) {
    std::string text;
    std::size_t lineNumber = 1;
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\n', start);
        std::string line;
        if (end == std::string::npos) {
            line = bytes.substr(start);
            problems += "the last line has no line end; ";
            end = bytes.size();
        } else if (end == start || bytes[end - 1] != '\r') {
            line = bytes.substr(start, end - start);
            problems += "line " + std::to_string(lineNumber) + " ends without CR; ";
        } else {
            line = bytes.substr(start, end - 1 - start);
        }
        for (const std::string lead : {"Log started: ", "Log finished: "}) {
            if (line.rfind(lead, 0) == 0) {
                if (!IsStamp(line.substr(lead.size()))) {
                    problems += "bad time stamp '" + line + "'; ";
                }
                line = lead + "<time>";
            }
        }
        if (line.find('\r') != std::string::npos) {
            problems += "a stray CR in line " + std::to_string(lineNumber) + "; ";
        }
        text += line;
        if (end < bytes.size()) {
            text += '\n';
        }
        start = end + 1;
        ++lineNumber;
    }
    return text;
}

std::string DescribeWindows(DWORD processId) {
    std::ostringstream text;
    for (HWND window : TopLevelWindows(processId)) {
        text << "  window " << ClassOf(window) << " \"" << CaptionOf(window) << "\""
             << (IsWindowVisible(window) ? " visible" : " hidden");
        if (auto box = ReadMessageBox(window)) {
            text << ", message \"" << box->text << "\"";
        }
        text << "\n";
    }
    return text.str();
}

}  // namespace srdw::gui
