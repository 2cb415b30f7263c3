// The Windows calls the Win32 backend makes on files, the registry and
// processes, reached through one table (platform/SystemCalls.h).
#pragma once

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include "platform/SystemCalls.h"

// Each call: its name, result, parameters and the arguments that pass them on.
#define SRDW_WIN32_SYSTEM_CALLS(X)                                                               \
    X(GetFileAttributesA, DWORD, (LPCSTR path), (path))                                          \
    X(GetFileAttributesExA, BOOL, (LPCSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID found),     \
      (path, level, found))                                                                      \
    X(SetFileAttributesA, BOOL, (LPCSTR path, DWORD attributes), (path, attributes))             \
    X(MoveFileA, BOOL, (LPCSTR from, LPCSTR to), (from, to))                                     \
    X(DeleteFileA, BOOL, (LPCSTR path), (path))                                                  \
    X(CreateFileA, HANDLE,                                                                       \
      (LPCSTR path, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES security,                 \
       DWORD disposition, DWORD flags, HANDLE pattern),                                          \
      (path, access, sharing, security, disposition, flags, pattern))                            \
    X(WriteFile, BOOL,                                                                           \
      (HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped),        \
      (file, bytes, size, written, overlapped))                                                  \
    X(ReadFile, BOOL,                                                                            \
      (HANDLE file, LPVOID bytes, DWORD size, LPDWORD read, LPOVERLAPPED overlapped),            \
      (file, bytes, size, read, overlapped))                                                     \
    X(FlushFileBuffers, BOOL, (HANDLE file), (file))                                             \
    X(SetEndOfFile, BOOL, (HANDLE file), (file))                                                 \
    X(GetFileSizeEx, BOOL, (HANDLE file, PLARGE_INTEGER size), (file, size))                     \
    X(GetFileInformationByHandle, BOOL, (HANDLE file, LPBY_HANDLE_FILE_INFORMATION information), \
      (file, information))                                                                       \
    X(FindFirstFileA, HANDLE, (LPCSTR pattern, LPWIN32_FIND_DATAA found), (pattern, found))      \
    X(FindNextFileA, BOOL, (HANDLE search, LPWIN32_FIND_DATAA found), (search, found))           \
    X(SetCurrentDirectoryA, BOOL, (LPCSTR path), (path))                                         \
    X(GetCurrentDirectoryW, DWORD, (DWORD size, LPWSTR buffer), (size, buffer))                  \
    X(Sleep, void, (DWORD milliseconds), (milliseconds))                                         \
    X(GetPrivateProfileStringW, DWORD,                                                           \
      (LPCWSTR section, LPCWSTR key, LPCWSTR fallback, LPWSTR buffer, DWORD size, LPCWSTR file), \
      (section, key, fallback, buffer, size, file))                                              \
    X(WritePrivateProfileStringA, BOOL, (LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file), \
      (section, key, value, file))                                                               \
    X(RegCreateKeyExA, LONG,                                                                     \
      (HKEY root, LPCSTR key, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,      \
       LPSECURITY_ATTRIBUTES security, PHKEY opened, LPDWORD disposition),                       \
      (root, key, reserved, keyClass, options, access, security, opened, disposition))           \
    X(RegSetValueExA, LONG,                                                                      \
      (HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size),         \
      (key, name, reserved, type, data, size))                                                   \
    X(RegDeleteKeyValueA, LONG, (HKEY root, LPCSTR key, LPCSTR name), (root, key, name))         \
    X(CreateMutexA, HANDLE, (LPSECURITY_ATTRIBUTES security, BOOL owned, LPCSTR name),           \
      (security, owned, name))                                                                   \
    X(CreateProcessA, BOOL,                                                                      \
      (LPCSTR program, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,                         \
       LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,              \
       LPCSTR directory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION started),                 \
      (program, commandLine, process, thread, inherit, flags, environment, directory, startup,   \
       started))                                                                                 \
    X(ShellExecuteExA, BOOL, (SHELLEXECUTEINFOA * info), (info))                                 \
    X(ResumeThread, DWORD, (HANDLE thread), (thread))                                            \
    X(AssignProcessToJobObject, BOOL, (HANDLE job, HANDLE process), (job, process))              \
    X(GetQueuedCompletionStatus, BOOL,                                                           \
      (HANDLE port, LPDWORD message, PULONG_PTR key, LPOVERLAPPED * overlapped, DWORD timeout),  \
      (port, message, key, overlapped, timeout))                                                 \
    X(WaitForSingleObject, DWORD, (HANDLE handle, DWORD timeout), (handle, timeout))             \
    X(GetExitCodeProcess, BOOL, (HANDLE process, LPDWORD code), (process, code))                 \
    X(FindWindowA, HWND, (LPCSTR windowClass, LPCSTR title), (windowClass, title))

// The backend calls these; each goes to the table's current entry.
namespace srdw::win32::sys {
SRDW_WIN32_SYSTEM_CALLS(SRDW_DECLARE_SYSTEM_CALL)
}  // namespace srdw::win32::sys
