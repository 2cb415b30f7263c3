// What the system keeps for the launcher on Windows: the game's settings
// file through the profile calls, the start-up entry in the registry.
#include <windows.h>

#include <string>

#include "platform/SystemRecords.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/RunOnceEntry.h"
#include "platform/win32/SystemCalls.h"
#include "platform/win32/Win32Error.h"

namespace srdw::win32 {

namespace {

class Win32Records final : public SystemRecords {
  public:
    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override;
    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override;
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

std::string Win32Records::ReadProfileString(const std::string& file, const std::string& section,
                                            const std::string& key) {
    std::wstring buffer(kLongPathBuffer, L'\0');
    const DWORD length =
        sys::GetPrivateProfileStringW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), L"",
                                      buffer.data(), kLongPathBuffer, FromAnsi(file).c_str());
    return AcceptedPath(std::wstring_view(buffer.data(), length));
}

OsResult Win32Records::WriteProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& value) {
    return Check(
        sys::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()));
}

}  // namespace

}  // namespace srdw::win32

namespace srdw {

SystemRecords& NativeRecords() {
    static win32::Win32Records records;
    return records;
}

}  // namespace srdw
