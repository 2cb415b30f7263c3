// What the Win32 backends share; nothing above platform/win32/ uses it.
#pragma once

#include <windows.h>

#include "platform/FileSystem.h"

namespace srdw::win32 {

constexpr DWORD kPathBuffer = MAX_PATH;   // 260 characters with the terminator
constexpr DWORD kLongPathBuffer = 32768;  // the longest path the system's own calls give

inline OsError ErrorFromCode(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return OsError::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return OsError::NotFound;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return OsError::AlreadyExists;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return OsError::AccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return OsError::SharingViolation;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return OsError::DiskFull;
        case ERROR_NOT_SAME_DEVICE:
            return OsError::CrossDevice;
        default:
            return OsError::Other;
    }
}

// Success, or the failure GetLastError tells of.
inline OsResult Check(BOOL succeeded) {
    return succeeded ? OsResult::Ok() : OsResult{ErrorFromCode(GetLastError())};
}

}  // namespace srdw::win32
