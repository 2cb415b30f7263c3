// The game's process on Windows: started suspended into a job object whose
// completion port tells when its last process has ended, and the window
// search that tells whether the game still shows itself.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/GameProcess.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemCalls.h"

namespace srdw::win32 {

namespace {

// The system's text for an error code, on one line, with "%1" standing for `file`.
std::string SystemReason(DWORD code, const std::string& file) {
    char text[1024] = {};  // the system's texts are a line or two
    std::string reason(
        text, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr));
    reason.erase(reason.find_last_not_of("\r\n .") + 1);
    if (const auto at = reason.find("%1"); at != std::string::npos) {
        reason.replace(at, 2, file);
    }
    return (reason.empty() ? "error" : reason) + " (" + std::to_string(code) + ")";
}

// A job that reports on a completion port when its last process has ended.
class GameJob {
  public:
    // Processes the program starts join the job with it. A job that cannot tell
    // of its end takes no process, nor where the system refuses (a job that
    // allows no nested one); the program is then waited for alone.
    explicit GameJob(HANDLE process)
        : job_(CreateJobObjectA(nullptr, nullptr)),
          port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job_.Get(), port_.Get()};
        taken_ = port_.IsValid() &&
                 SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation,
                                         &association, sizeof association) &&
                 sys::AssignProcessToJobObject(job_.Get(), process);
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
                if (sys::WaitForSingleObject(process, timeout) != WAIT_TIMEOUT) {
                    return {};
                }
            } else {
                DWORD message = 0;
                ULONG_PTR key = 0;
                LPOVERLAPPED overlapped = nullptr;
                if (sys::GetQueuedCompletionStatus(port_.Get(), &message, &key, &overlapped,
                                                   timeout)) {
                    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
                        return {};
                    }
                    if (GetTickCount64() < nextLook) {
                        continue;  // a process started or ended; others are left
                    }
                }
                // The job's count is the backstop: the port's message may be lost
                // when the system's queue for it is full.
                JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
                if (QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation,
                                              &accounting, sizeof accounting, nullptr) &&
                    accounting.ActiveProcesses == 0) {
                    return {};
                }
            }
            nextLook = GetTickCount64() + kWatchInterval;
            if (!whileRunning(sys::WaitForSingleObject(process, 0) != WAIT_TIMEOUT)) {
                return taken_ ? Processes() : std::vector<RunningProcess>();
            }
        }
    }

  private:
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
        const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
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
    bool taken_ = false;
};

class Win32Game final : public GameProcess {
  public:
    bool HasWindows() override { return true; }
    bool WindowExists(const std::string& windowClass, const std::string& title) override {
        return sys::FindWindowA(windowClass.c_str(), title.c_str()) != nullptr;
    }

    // The game is started directly, suspended, so that it is in the job before it
    // can hand over to a child. What the system does not start so (a program that
    // needs elevation, a file that is no program) goes to the shell, which asks for
    // the rights or gives the reason; the shell shows no error box of its own: the
    // launcher tells the player itself.
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override {
        std::string commandLine = '"' + file + '"';
        if (!parameters.empty()) {
            commandLine += ' ' + parameters;
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION started = {};
        if (!sys::CreateProcessA(
                file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                nullptr, directory.empty() ? nullptr : directory.c_str(), &startup, &started)) {
            SHELLEXECUTEINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
            info.lpFile = file.c_str();
            info.lpParameters = parameters.c_str();
            info.lpDirectory = directory.c_str();
            info.nShow = SW_SHOWNORMAL;
            if (!sys::ShellExecuteExA(&info)) {
                return ProgramRun::NotStarted(SystemReason(GetLastError(), file));
            }
            if (!info.hProcess) {
                return ProgramRun::NotStarted("no process was started");
            }
            started = {info.hProcess, nullptr, 0, 0};
        }
        const KernelHandle process(started.hProcess);
        const KernelHandle thread(started.hThread);  // none where the shell started it
        GameJob job(process.Get());
        // Started suspended, the game is in its job before it can start anything.
        if (thread.IsValid()) {
            sys::ResumeThread(thread.Get());
        }
        ProgramRun run;
        run.left = job.WaitUntilEmpty(process.Get(), whileRunning);
        // An exit code with the error severity of a status code is the system's
        // word for an exception that ended the process.
        DWORD exitCode = STILL_ACTIVE;
        run.crashed = sys::GetExitCodeProcess(process.Get(), &exitCode) &&
                      exitCode != STILL_ACTIVE && (exitCode & 0xC0000000u) == 0xC0000000u;
        return run;
    }
};

}  // namespace

}  // namespace srdw::win32

srdw::GameProcess& srdw::NativeGameProcess() {
    static win32::Win32Game game;
    return game;
}
