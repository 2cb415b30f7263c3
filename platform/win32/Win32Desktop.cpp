// The Win32 desktop: each operation is the Windows call the launcher was
// designed around, with the launcher's own resources for texts and icon.
#include "platform/win32/Win32Desktop.h"

#include <shellapi.h>  // after windows.h, which it needs
#include <tlhelp32.h>

#include <utility>
#include <vector>

#include "platform/ElevationRule.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/ResourceText.h"
#include "platform/win32/Win32Error.h"
#include "res/resource.h"

namespace srdw::win32 {

namespace {

constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

OsResult FromStatus(LONG status) {
    return {ErrorFromCode(static_cast<DWORD>(status))};
}

// One string value of a registry key; nothing happens when the key cannot be opened.
OsResult RegWriteString(HKEY root, const char* key, const char* name, const std::string& text) {
    RegistryKey opened;
    const LONG status = RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                        nullptr, opened.Out(), nullptr);
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    return FromStatus(RegSetValueExA(opened.Get(), name, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size()) + 1));
}

OsResult RegDeleteString(HKEY root, const char* key, const char* name) {
    RegistryKey opened;
    const LONG status = RegOpenKeyExA(root, key, 0, KEY_WRITE, opened.Out());
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    return FromStatus(RegDeleteValueA(opened.Get(), name));
}

}  // namespace

std::string SystemDesktop::Accepted(std::wstring_view path) {
    AnsiPath converted = ToAnsi(path);
    if (!converted.whole) {
        unusablePath_ = std::move(converted.text);
        return {};
    }
    unusablePath_.clear();
    return std::move(converted.text);
}

// A path longer than the launcher's buffers of 260 characters hold is none.
std::string SystemDesktop::OwnPath() {
    std::wstring buffer(kLongPathBuffer, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kLongPathBuffer);
    if (length == 0 || length >= kLongPathBuffer) {
        return {};
    }
    const std::string path = Accepted(std::wstring_view(buffer.data(), length));
    return path.size() < kPathBuffer ? path : std::string();
}

std::string SystemDesktop::ShortPathOf(const std::string& path) {
    char buffer[kPathBuffer] = {};
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, kPathBuffer);
    return length > 0 && length < kPathBuffer ? std::string(buffer, length) : path;
}

// As the C runtime hands it to a program: a quoted program name ends after its
// closing quote, an unquoted one at the first blank or control character, and
// the blanks after it are skipped.
std::string SystemDesktop::CommandLineTail() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') {
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
    while (*p && static_cast<unsigned char>(*p) <= ' ') {
        ++p;
    }
    return p;
}

std::string SystemDesktop::LowerCase(std::string text) {
    if (!text.empty()) {
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

std::string SystemDesktop::LoadText(unsigned id) {
    return ResourceText(id);
}

int SystemDesktop::ShowMessageBox(const std::string& text, unsigned style) {
    const std::string title = AppTitle();
    MessageBeep(0);
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = nullptr;
    box.hInstance = GetModuleHandleA(nullptr);
    box.lpszText = text.c_str();
    box.lpszCaption = title.c_str();
    box.dwStyle = style | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEA(IDI_LAUNCHER);
    return MessageBoxIndirectA(&box);
}

namespace {

Answer AskInMessageBox(const std::string& text, UINT buttons) {
    const std::string title = AppTitle();
    switch (MessageBoxA(nullptr, text.c_str(), title.c_str(),
                        buttons | MB_ICONEXCLAMATION | MB_TASKMODAL)) {
        case IDYES:
            return Answer::Yes;
        case IDNO:
            return Answer::No;
        case 0:
            return Answer::NoAnswer;  // the box could not be shown
        default:
            return Answer::Cancel;
    }
}

}  // namespace

Answer SystemDesktop::AskYesNoCancel(const std::string& text) {
    return AskInMessageBox(text, MB_YESNOCANCEL);
}

Answer SystemDesktop::AskYesNo(const std::string& text) {
    return AskInMessageBox(text, MB_YESNO);
}

void SystemDesktop::BeginWaitCursor() {
    previousCursor_ = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
}

void SystemDesktop::EndWaitCursor() {
    SetCursor(previousCursor_);
}

std::string SystemDesktop::ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key) {
    std::wstring buffer(kLongPathBuffer, L'\0');
    const DWORD length =
        GetPrivateProfileStringW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), L"",
                                 buffer.data(), kLongPathBuffer, FromAnsi(file).c_str());
    return Accepted(std::wstring_view(buffer.data(), length));
}

OsResult SystemDesktop::WriteProfileString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& value) {
    return Check(
        WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()));
}

OsResult SystemDesktop::WriteStartupEntry(const std::string& name, const std::string& command) {
    return RegWriteString(HKEY_LOCAL_MACHINE, kRunOnceKey, name.c_str(), command);
}

OsResult SystemDesktop::DeleteStartupEntry(const std::string& name) {
    return RegDeleteString(HKEY_LOCAL_MACHINE, kRunOnceKey, name.c_str());
}

OsResult SystemDesktop::WriteUserStartupEntry(const std::string& name, const std::string& command) {
    return RegWriteString(HKEY_CURRENT_USER, kRunOnceKey, name.c_str(), command);
}

OsResult SystemDesktop::DeleteUserStartupEntry(const std::string& name) {
    return RegDeleteString(HKEY_CURRENT_USER, kRunOnceKey, name.c_str());
}

// A launcher without elevation is refused here under Program Files and the
// Windows folder. The system removes the file as the handle closes, also when
// the process is killed in between; one that a power loss left has the same
// name as the next probe's, which removes it.
OsResult SystemDesktop::ProbeNewFile(const std::string& folder) {
    const std::string probe = folder + "\\SrdwLaunch.probe";
    const FileHandle file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                      nullptr));
    return Check(file.IsValid());
}

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

}  // namespace

Elevation SystemDesktop::RestartElevated(const std::string& program, const std::string& parameters,
                                         const std::string& directory) {
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
    if (ShellExecuteExA(&info)) {
        return Elevation::Started;
    }
    return GetLastError() == ERROR_CANCELLED ? Elevation::Declined : Elevation::Unavailable;
}

// Creating the mutex and finding that it exists already is one step, so two
// launchers started together cannot both pass.
MutexState SystemDesktop::AcquireMutex(const std::string& name) {
    if (mutex_.IsValid()) {
        return MutexState::Acquired;
    }
    KernelHandle mutex(CreateMutexA(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!mutex.IsValid()) {
        return error == ERROR_ACCESS_DENIED ? MutexState::HeldElsewhere : MutexState::Failed;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        return MutexState::HeldElsewhere;
    }
    mutex_ = std::move(mutex);
    return MutexState::Acquired;
}

// The mutex was made without an owner: the last handle closed ends it. The
// folders' lock files go with their handles.
void SystemDesktop::ReleaseMutex(const std::string& /*name*/) {
    mutex_.Reset();
    folderLocks_.clear();
}

// A file that nobody else may open while this launcher runs, removed by the
// system as its handle closes, however the process ends. One that a power loss
// left is opened and removed by the next launcher.
MutexState SystemDesktop::LockFolder(const std::string& folder) {
    const std::string lock = folder + "\\SrdwLaunch.lock";
    const std::string key = LowerCase(lock);
    if (folderLocks_.contains(key)) {
        return MutexState::Acquired;
    }
    FileHandle file(CreateFileA(
        lock.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file.IsValid()) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? MutexState::HeldElsewhere
                                                         : MutexState::Failed;
    }
    folderLocks_.emplace(key, std::move(file));
    return MutexState::Acquired;
}

bool SystemDesktop::WindowExists(const std::string& windowClass, const std::string& title) {
    return FindWindowA(windowClass.c_str(), title.c_str()) != nullptr;
}

namespace {

// The system's text for an error code, on one line, with "%1" standing for `file`.
std::string SystemReason(DWORD code, const std::string& file) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    if (const auto at = reason.find("%1"); at != std::string::npos) {
        reason.replace(at, 2, file);
    }
    return (reason.empty() ? "error" : reason) + " (" + std::to_string(code) + ")";
}

}  // namespace

namespace {

// A job that reports on a completion port when its last process has ended.
class GameJob {
  public:
    GameJob()
        : job_(CreateJobObjectA(nullptr, nullptr)),
          port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
        if (!job_.IsValid() || !port_.IsValid()) {
            return;
        }
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
        association.CompletionKey = job_.Get();
        association.CompletionPort = port_.Get();
        usable_ = SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation,
                                          &association, sizeof association) != 0;
    }

    // Processes the program starts join the job with it. False where the system
    // refuses (a job that allows no nested one); the program is then waited
    // for alone.
    bool Take(HANDLE process) {
        taken_ = usable_ && AssignProcessToJobObject(job_.Get(), process) != 0;
        return taken_;
    }

    // Waits until no process is left in the job, or until `process` has ended
    // when the job could not take it, or until `whileRunning` says the wait is
    // over; it is asked every kWatchInterval milliseconds, however many
    // processes start and end meanwhile. Returns what still runs in the job.
    std::vector<RunningProcess> WaitUntilEmpty(HANDLE process,
                                               const WatchWhileRunning& whileRunning) {
        ULONGLONG nextLook = GetTickCount64() + kWatchInterval;
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            const DWORD timeout = nextLook > now ? static_cast<DWORD>(nextLook - now) : 0;
            if (!taken_) {
                if (WaitForSingleObject(process, timeout) != WAIT_TIMEOUT) {
                    return {};
                }
            } else {
                DWORD message = 0;
                ULONG_PTR key = 0;
                LPOVERLAPPED overlapped = nullptr;
                if (GetQueuedCompletionStatus(port_.Get(), &message, &key, &overlapped, timeout)) {
                    if (key == reinterpret_cast<ULONG_PTR>(job_.Get()) &&
                        message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
                        return {};
                    }
                    if (GetTickCount64() < nextLook) {
                        continue;  // a process started or ended; others are left
                    }
                }
                // The port's count is the backstop: its message may be lost when
                // the system's queue for it is full.
                if (ActiveProcesses() == 0) {
                    return {};
                }
            }
            nextLook = GetTickCount64() + kWatchInterval;
            if (!whileRunning(WaitForSingleObject(process, 0) != WAIT_TIMEOUT)) {
                return taken_ ? Processes() : std::vector<RunningProcess>();
            }
        }
    }

  private:
    DWORD ActiveProcesses() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &accounting,
                                       sizeof accounting, nullptr)) {
            return 1;
        }
        return accounting.ActiveProcesses;
    }

    // The processes in the job, each with its program's file name.
    std::vector<RunningProcess> Processes() const {
        struct {
            JOBOBJECT_BASIC_PROCESS_ID_LIST list;
            ULONG_PTR more[kListedProcesses - 1];
        } ids = {};
        // More than fit are rare; those that fit are listed.
        if (!QueryInformationJobObject(job_.Get(), JobObjectBasicProcessIdList, &ids, sizeof ids,
                                       nullptr) &&
            GetLastError() != ERROR_MORE_DATA) {
            return {};
        }
        std::vector<RunningProcess> processes;
        for (DWORD index = 0; index < ids.list.NumberOfProcessIdsInList && index < kListedProcesses;
             ++index) {
            processes.push_back({{}, static_cast<unsigned long>(ids.list.ProcessIdList[index])});
        }
        const FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = snapshot.IsValid() && Process32First(snapshot.Get(), &entry); more;
             more = Process32Next(snapshot.Get(), &entry)) {
            for (RunningProcess& process : processes) {
                if (process.id == entry.th32ProcessID) {
                    process.file = entry.szExeFile;
                }
            }
        }
        return processes;
    }

    static constexpr DWORD kListedProcesses = 64;

    KernelHandle job_;
    KernelHandle port_;
    bool usable_ = false;
    bool taken_ = false;
};

// Started suspended, the game is in its job before it can start anything.
KernelHandle StartSuspendedInJob(const std::string& file, const std::string& parameters,
                                 const std::string& directory, GameJob& job) {
    std::string commandLine = '"' + file + '"';
    if (!parameters.empty()) {
        commandLine += ' ' + parameters;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                        &started)) {
        return {};
    }
    KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    job.Take(process.Get());
    ResumeThread(thread.Get());
    return process;
}

}  // namespace

// The game is started directly, suspended, so that it is in the job before it
// can hand over to a child. What the system does not start so (a program that
// needs elevation, a file that is no program) goes to the shell, which asks for
// the rights or gives the reason; the shell shows no error box of its own: the
// launcher tells the player itself.
ProgramRun SystemDesktop::StartAndWait(const std::string& file, const std::string& parameters,
                                       const std::string& directory,
                                       const WatchWhileRunning& whileRunning) {
    GameJob job;
    KernelHandle process = StartSuspendedInJob(file, parameters, directory, job);
    if (!process.IsValid()) {
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpFile = file.c_str();
        info.lpParameters = parameters.c_str();
        info.lpDirectory = directory.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExA(&info)) {
            return ProgramRun::NotStarted(SystemReason(GetLastError(), file));
        }
        if (!info.hProcess) {
            return ProgramRun::NotStarted("no process was started");
        }
        process.Reset(info.hProcess);
        job.Take(process.Get());
    }
    ProgramRun run;
    run.left = job.WaitUntilEmpty(process.Get(), whileRunning);
    // An exit code with the error severity of a status code is the system's
    // word for an exception that ended the process.
    DWORD exitCode = STILL_ACTIVE;
    run.crashed = GetExitCodeProcess(process.Get(), &exitCode) && exitCode != STILL_ACTIVE &&
                  (exitCode & 0xC0000000u) == 0xC0000000u;
    return run;
}

}  // namespace srdw::win32
