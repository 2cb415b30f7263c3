// The Windows calls of the Win32 backend that change files, the settings file
// and the registry, which the fault trials count, fail or kill at, and the
// pause, which they skip: reached through one table (platform/SystemCalls.h).
// The others change nothing on the disk and are made directly.
#pragma once

#include <windows.h>

#include "platform/SystemCalls.h"

// Each call: its name, result, parameters and the arguments that pass them on.
#define SRDW_WIN32_SYSTEM_CALLS(X)                                                               \
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
    X(FlushFileBuffers, BOOL, (HANDLE file), (file))                                             \
    X(SetEndOfFile, BOOL, (HANDLE file), (file))                                                 \
    X(Sleep, void, (DWORD milliseconds), (milliseconds))                                         \
    X(WritePrivateProfileStringA, BOOL, (LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file), \
      (section, key, value, file))                                                               \
    X(RegCreateKeyExA, LONG,                                                                     \
      (HKEY root, LPCSTR key, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,      \
       LPSECURITY_ATTRIBUTES security, PHKEY opened, LPDWORD disposition),                       \
      (root, key, reserved, keyClass, options, access, security, opened, disposition))           \
    X(RegSetValueExA, LONG,                                                                      \
      (HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size),         \
      (key, name, reserved, type, data, size))                                                   \
    X(RegDeleteKeyValueA, LONG, (HKEY root, LPCSTR key, LPCSTR name), (root, key, name))

// The backend calls these; each goes to the table's current entry.
namespace srdw::win32::sys {
SRDW_WIN32_SYSTEM_CALLS(SRDW_DECLARE_SYSTEM_CALL)
}  // namespace srdw::win32::sys
