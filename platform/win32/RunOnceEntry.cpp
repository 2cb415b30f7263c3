#include "platform/win32/RunOnceEntry.h"

#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Win32Error.h"

namespace srdw::win32 {

namespace {

constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

OsResult FromStatus(LONG status) {
    return {ErrorFromCode(static_cast<DWORD>(status))};
}

// One string value of a registry key; nothing happens when the key cannot be opened.
OsResult RegWriteString(HKEY root, const char* key, const char* name, const std::string& text) {
    RegistryKey opened;
    const LONG status = sys::RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_WRITE, nullptr, opened.Out(), nullptr);
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    return FromStatus(sys::RegSetValueExA(opened.Get(), name, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(text.c_str()),
                                          static_cast<DWORD>(text.size()) + 1));
}

OsResult RegDeleteString(HKEY root, const char* key, const char* name) {
    RegistryKey opened;
    const LONG status = sys::RegOpenKeyExA(root, key, 0, KEY_WRITE, opened.Out());
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    return FromStatus(sys::RegDeleteValueA(opened.Get(), name));
}

}  // namespace

OsResult WriteRunOnce(HKEY root, const std::string& name, const std::string& command) {
    return RegWriteString(root, kRunOnceKey, name.c_str(), command);
}

OsResult DeleteRunOnce(HKEY root, const std::string& name) {
    return RegDeleteString(root, kRunOnceKey, name.c_str());
}

}  // namespace srdw::win32
