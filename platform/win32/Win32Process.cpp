// The launcher's own process on Windows: its module path, its rights and the
// restart as administrator, the named mutex and the folders' lock files.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ElevationRule.h"
#include "platform/LauncherProcess.h"
#include "platform/NameCase.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Win32Error.h"

namespace srdw::win32 {

namespace {

// Set for the launcher a restart starts, where the system hands the
// environment on (it does when runas starts the same token again).
constexpr const char* kRestartedVariable = "SRDW_ELEVATED_RESTART";

RightsFacts OwnRights() {
    RightsFacts facts;
    KernelHandle token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) {
        TOKEN_ELEVATION elevation = {};
        TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
        DWORD size = 0;
        facts.elevated =
            GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
            elevation.TokenIsElevated != 0;
        if (GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof type, &size)) {
            facts.kind = static_cast<TokenKind>(type);
        }
    }
    DWORD enableLua = 1;
    DWORD size = sizeof enableLua;
    if (RegGetValueA(HKEY_LOCAL_MACHINE,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "EnableLUA",
                     RRF_RT_REG_DWORD, nullptr, &enableLua, &size) == ERROR_SUCCESS) {
        facts.uacOn = enableLua != 0;
    }
    facts.restartedElevated = GetEnvironmentVariableA(kRestartedVariable, nullptr, 0) > 0;
    return facts;
}

class Win32Process final : public LauncherProcess {
  public:
    std::string UnusablePath() override { return win32::UnusablePath(); }

    // A path longer than the launcher's buffers of 260 characters hold is none.
    std::string OwnPath() override {
        std::wstring buffer(kLongPathBuffer, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kLongPathBuffer);
        if (length == 0 || length >= kLongPathBuffer) {
            return {};
        }
        const std::string path = AcceptedPath(std::wstring_view(buffer.data(), length));
        return path.size() < kPathBuffer ? path : std::string();
    }

    std::string ShortPathOf(const std::string& path) override {
        char buffer[kPathBuffer] = {};
        const DWORD length = GetShortPathNameA(path.c_str(), buffer, kPathBuffer);
        return length > 0 && length < kPathBuffer ? std::string(buffer, length) : path;
    }

    // As the C runtime hands it to a program: a quoted program name ends after its
    // closing quote, an unquoted one at the first blank or control character, and
    // the blanks after it are skipped.
    std::string CommandLineTail() override {
        const std::string_view line = GetCommandLineA();
        const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
        std::string_view::const_iterator p = line.starts_with('"')
                                                 ? std::find(line.begin() + 1, line.end(), '"')
                                                 : std::find_if(line.begin(), line.end(), blank);
        if (p != line.end() && *p == '"') {
            ++p;
        }
        return std::string(std::find_if_not(p, line.end(), blank), line.end());
    }

    // A launcher without elevation is refused here under Program Files and the
    // Windows folder. The system removes the file as the handle closes, also when
    // the process is killed in between; one that a power loss left has the same
    // name as the next probe's, which removes it.
    OsResult ProbeNewFile(const std::string& folder) override {
        const std::string probe = folder + "\\SrdwLaunch.probe";
        const KernelHandle file(
            sys::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return Check(file.IsValid());
    }

    Elevation RestartElevated(const std::string& program, const std::string& parameters,
                              const std::string& directory) override {
        if (!ElevationCanHelp(OwnRights())) {
            return Elevation::Unavailable;
        }
        SetEnvironmentVariableA(kRestartedVariable, "1");
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.lpVerb = "runas";
        info.lpFile = program.c_str();
        info.lpParameters = parameters.c_str();
        info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (sys::ShellExecuteExA(&info)) {
            return Elevation::Started;
        }
        return GetLastError() == ERROR_CANCELLED ? Elevation::Declined : Elevation::Unavailable;
    }

    // Creating the mutex and finding that it exists already is one step, so two
    // launchers started together cannot both pass.
    MutexState AcquireMutex(const std::string& name) override {
        if (mutex_.IsValid()) {
            return MutexState::Acquired;
        }
        KernelHandle mutex(sys::CreateMutexA(nullptr, FALSE, name.c_str()));
        const DWORD error = GetLastError();
        if (mutex.IsValid() && error != ERROR_ALREADY_EXISTS) {
            mutex_ = std::move(mutex);
            return MutexState::Acquired;
        }
        // Another launcher's, or one this user may not open.
        return mutex.IsValid() || error == ERROR_ACCESS_DENIED ? MutexState::HeldElsewhere
                                                               : MutexState::Failed;
    }

    // The mutex was made without an owner: the last handle closed ends it. The
    // folders' lock files go with their handles.
    void ReleaseMutex(const std::string& /*name*/) override {
        mutex_.Reset();
        folderLocks_.clear();
    }

    // A file that nobody else may open while this launcher runs, removed by the
    // system as its handle closes, however the process ends. One that a power loss
    // left is opened and removed by the next launcher.
    MutexState LockFolder(const std::string& folder) override {
        const std::string lock = folder + "\\SrdwLaunch.lock";
        const std::string key = FoldNameCase(lock);
        if (folderLocks_.contains(key)) {
            return MutexState::Acquired;
        }
        KernelHandle file(sys::CreateFileA(
            lock.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!file.IsValid()) {
            return GetLastError() == ERROR_SHARING_VIOLATION ? MutexState::HeldElsewhere
                                                             : MutexState::Failed;
        }
        folderLocks_.emplace(key, std::move(file));
        return MutexState::Acquired;
    }

    std::vector<std::string> LockFiles() override {
        std::vector<std::string> files;
        for (const auto& [path, file] : folderLocks_) {
            files.push_back(path);
        }
        return files;
    }

  private:
    KernelHandle mutex_;  // held until the process ends
    // By the lock file's path, lower-cased, which names the same file to the system.
    std::map<std::string, KernelHandle> folderLocks_;
};

}  // namespace

}  // namespace srdw::win32

srdw::LauncherProcess& srdw::NativeLauncherProcess() {
    static win32::Win32Process process;
    return process;
}
