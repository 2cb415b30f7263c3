// The faults of SystemCallFaults.h in the Win32 backend's table. The changes
// are those of the POSIX table, in Windows' calls: a file created or opened
// for writing, a write, a flush, an end of file set, a move, a removal, an
// attribute set, a settings write and a registry write.
#include "SystemCallFaults.h"
#include "platform/win32/SystemCalls.h"

namespace srdw::test {

namespace {

namespace sys = win32::sys;

FaultPlan plan;
int changes = 0;

// Counts one change; true, with the last error set, when it is to fail. Does
// not return when it is to kill: the process ends on the spot, nothing of it
// runs any more.
bool Fails() {
    switch (NextChange(plan, changes)) {
        case FaultAction::Pass:
            return false;
        case FaultAction::Kill:
            TerminateProcess(GetCurrentProcess(), kKilledExitCode);
            break;
        case FaultAction::Fail:
            break;
    }
    SetLastError(plan.mode == FaultMode::ShortThenFull ? ERROR_DISK_FULL
                 : plan.error == "sharing"             ? ERROR_SHARING_VIOLATION
                 : plan.error == "full"                ? ERROR_DISK_FULL
                 : plan.error == "xdev"                ? ERROR_NOT_SAME_DEVICE
                 : plan.error == "io"                  ? ERROR_IO_DEVICE
                                                       : ERROR_ACCESS_DENIED);
    return true;
}

HANDLE CreatingFile(LPCSTR path, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES security,
                    DWORD disposition, DWORD flags, HANDLE pattern) {
    const bool writes = (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) ||
                        disposition != OPEN_EXISTING;
    if (writes && Fails()) {
        return INVALID_HANDLE_VALUE;
    }
    return Original<sys::CreateFileA_call>("CreateFileA")(path, access, sharing, security,
                                                          disposition, flags, pattern);
}

BOOL Writing(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (Fails()) {
        if (plan.mode != FaultMode::ShortThenFull || changes != plan.at || size < 2) {
            return FALSE;
        }
        size /= 2;  // a disk that fills up in the middle of the write
    }
    return Original<sys::WriteFile_call>("WriteFile")(file, bytes, size, written, overlapped);
}

// The calls that fail as they are: those that tell of it by their result and
// the last error, and the registry's, which return the error.
// NOLINTBEGIN(bugprone-macro-parentheses): a parameter list cannot stand in parentheses
#define SRDW_FAILING(name, failed, parameters, arguments)   \
    auto Failing##name parameters {                         \
        if (Fails()) {                                      \
            return failed;                                  \
        }                                                   \
        return Original<sys::name##_call>(#name) arguments; \
    }
#define SRDW_FAILING_REGISTRY(name, parameters, arguments) \
    SRDW_FAILING(name, static_cast<LONG>(GetLastError()), parameters, arguments)
// NOLINTEND(bugprone-macro-parentheses)

SRDW_FAILING(FlushFileBuffers, FALSE, (HANDLE file), (file))
SRDW_FAILING(SetEndOfFile, FALSE, (HANDLE file), (file))
SRDW_FAILING(MoveFileA, FALSE, (LPCSTR from, LPCSTR to), (from, to))
SRDW_FAILING(DeleteFileA, FALSE, (LPCSTR path), (path))
SRDW_FAILING(SetFileAttributesA, FALSE, (LPCSTR path, DWORD attributes), (path, attributes))
SRDW_FAILING(WritePrivateProfileStringA, FALSE,
             (LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file), (section, key, value, file))
SRDW_FAILING_REGISTRY(RegCreateKeyExA,
                      (HKEY root, LPCSTR key, DWORD reserved, LPSTR keyClass, DWORD options,
                       REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY opened,
                       LPDWORD disposition),
                      (root, key, reserved, keyClass, options, access, security, opened,
                       disposition))
SRDW_FAILING_REGISTRY(RegSetValueExA,
                      (HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size),
                      (key, name, reserved, type, data, size))
SRDW_FAILING_REGISTRY(RegDeleteKeyValueA, (HKEY root, LPCSTR key, LPCSTR name), (root, key, name))

#undef SRDW_FAILING_REGISTRY
#undef SRDW_FAILING

// The trials wait neither for a held file to be let go nor for a game's
// window that never opens.
void NoPause(DWORD) {}

}  // namespace

void InstallSystemCallFaults(const FaultPlan& faults) {
    plan = faults;
    SetSystemCall("CreateFileA", Erased(&CreatingFile));
    SetSystemCall("WriteFile", Erased(&Writing));
    SetSystemCall("FlushFileBuffers", Erased(&FailingFlushFileBuffers));
    SetSystemCall("SetEndOfFile", Erased(&FailingSetEndOfFile));
    SetSystemCall("MoveFileA", Erased(&FailingMoveFileA));
    SetSystemCall("DeleteFileA", Erased(&FailingDeleteFileA));
    SetSystemCall("SetFileAttributesA", Erased(&FailingSetFileAttributesA));
    SetSystemCall("WritePrivateProfileStringA", Erased(&FailingWritePrivateProfileStringA));
    SetSystemCall("RegCreateKeyExA", Erased(&FailingRegCreateKeyExA));
    SetSystemCall("RegSetValueExA", Erased(&FailingRegSetValueExA));
    SetSystemCall("RegDeleteKeyValueA", Erased(&FailingRegDeleteKeyValueA));
    SetSystemCall("Sleep", Erased(&NoPause));
}

int SystemCallChanges() {
    return changes;
}

}  // namespace srdw::test
