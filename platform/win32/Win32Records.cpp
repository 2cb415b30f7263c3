// What the system keeps for the launcher on Windows: the game's settings
// file through the profile calls, the start-up entry as a value under the
// RunOnce key of the machine (HKEY_LOCAL_MACHINE) or of the user
// (HKEY_CURRENT_USER).
#include <windows.h>

#include <string>

#include "platform/SystemRecords.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Win32Error.h"

namespace srdw::win32 {

namespace {

constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

OsResult WriteRunOnce(HKEY root, const std::string& name, const std::string& command) {
    RegistryKey opened;
    const LONG status = sys::RegCreateKeyExA(root, kRunOnceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_WRITE, nullptr, opened.Out(), nullptr);
    if (status != ERROR_SUCCESS) {
        return {ErrorFromCode(status)};
    }
    return {ErrorFromCode(sys::RegSetValueExA(opened.Get(), name.c_str(), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(command.c_str()),
                                              static_cast<DWORD>(command.size()) + 1))};
}

// The key is opened for the value's removal alone, and not made where it is missing.
OsResult DeleteRunOnce(HKEY root, const std::string& name) {
    return {ErrorFromCode(sys::RegDeleteKeyValueA(root, kRunOnceKey, name.c_str()))};
}

class Win32Records final : public SystemRecords {
  public:
    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override {
        std::wstring buffer(kLongPathBuffer, L'\0');
        const DWORD length =
            sys::GetPrivateProfileStringW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), L"",
                                          buffer.data(), kLongPathBuffer, FromAnsi(file).c_str());
        return AcceptedPath(std::wstring_view(buffer.data(), length));
    }
    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        return Check(sys::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                                     file.c_str()));
    }
    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        return WriteRunOnce(HKEY_LOCAL_MACHINE, name, command);
    }
    OsResult DeleteStartupEntry(const std::string& name) override {
        return DeleteRunOnce(HKEY_LOCAL_MACHINE, name);
    }
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override {
        return WriteRunOnce(HKEY_CURRENT_USER, name, command);
    }
    OsResult DeleteUserStartupEntry(const std::string& name) override {
        return DeleteRunOnce(HKEY_CURRENT_USER, name);
    }
};

}  // namespace

}  // namespace srdw::win32

srdw::SystemRecords& srdw::NativeRecords() {
    static win32::Win32Records records;
    return records;
}
