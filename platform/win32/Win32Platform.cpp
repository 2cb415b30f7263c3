// The Win32 backend: each operation is the Windows call the launcher was
// designed around, with the launcher's own resources for texts and icon.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include "platform/Platform.h"
#include "platform/win32/ScopedHandle.h"
#include "res/resource.h"
#include "ui/Ui.h"

namespace srdw {

namespace {

constexpr DWORD kPathBuffer = MAX_PATH;  // 260 characters with the terminator

OsError ErrorFromCode(DWORD code) {
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

OsResult Check(BOOL succeeded) {
    return succeeded ? OsResult::Ok() : OsResult{ErrorFromCode(GetLastError())};
}

class Win32OutputFile final : public OutputFile {
  public:
    explicit Win32OutputFile(HANDLE file) : file_(file) {}

    OsResult Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            if (!WriteFile(file_.Get(), bytes.data(), chunk, &written, nullptr)) {
                return Check(FALSE);
            }
            bytes.remove_prefix(written);
        }
        return OsResult::Ok();
    }

    OsResult SyncToDisk() override { return Check(FlushFileBuffers(file_.Get())); }

  private:
    win32::FileHandle file_;
};

// Attribute bits that SetFileAttributesA accepts.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Windows refuses to delete or overwrite a read-only file; Wine running as root
// would not, so the launcher asks first and behaves the same under both.
bool IsReadOnly(const std::string& path) {
    const DWORD bits = GetFileAttributesA(path.c_str());
    return bits != INVALID_FILE_ATTRIBUTES && (bits & FILE_ATTRIBUTE_READONLY) != 0;
}

constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// One string value of a registry key; nothing happens when the key cannot be opened.
OsResult RegWriteString(HKEY root, const char* key, const char* name, const std::string& text) {
    HKEY opened = nullptr;
    const LONG status = RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                        nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) {
        return {ErrorFromCode(static_cast<DWORD>(status))};
    }
    const LONG written =
        RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(opened);
    return {ErrorFromCode(static_cast<DWORD>(written))};
}

OsResult RegDeleteString(HKEY root, const char* key, const char* name) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(root, key, 0, KEY_WRITE, &opened);
    if (status != ERROR_SUCCESS) {
        return {ErrorFromCode(static_cast<DWORD>(status))};
    }
    const LONG deleted = RegDeleteValueA(opened, name);
    RegCloseKey(opened);
    return {ErrorFromCode(static_cast<DWORD>(deleted))};
}

class Win32Platform final : public Platform {
  public:
    std::string OwnPath() override {
        char buffer[kPathBuffer] = {};
        GetModuleFileNameA(nullptr, buffer, kPathBuffer);
        buffer[kPathBuffer - 1] = '\0';
        return buffer;
    }

    std::string ShortPathOf(const std::string& path) override {
        char buffer[kPathBuffer] = {};
        const DWORD length = GetShortPathNameA(path.c_str(), buffer, kPathBuffer);
        return length > 0 && length < kPathBuffer ? std::string(buffer, length) : path;
    }

    // As the C runtime hands it to a program: a quoted program name ends after
    // its closing quote, an unquoted one at the first blank or control
    // character, and the blanks after it are skipped.
    std::string CommandLineTail() override {
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

    std::string LowerCase(std::string text) override {
        if (!text.empty()) {
            CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
        }
        return text;
    }

    std::optional<FileAttributes> Attributes(const std::string& path) override {
        const DWORD bits = GetFileAttributesA(path.c_str());
        if (bits == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
        FileAttributes attributes;
        attributes.bits = bits;
        attributes.directory = (bits & FILE_ATTRIBUTE_DIRECTORY) != 0;
        attributes.readOnly = (bits & FILE_ATTRIBUTE_READONLY) != 0;
        attributes.normal = !attributes.readOnly;
        return attributes;
    }

    OsResult SetNormalAttributes(const std::string& path) override {
        return Check(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    }

    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override {
        DWORD bits = attributes.bits & kSettableAttributes;
        return Check(SetFileAttributesA(path.c_str(), bits ? bits : FILE_ATTRIBUTE_NORMAL));
    }

    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        return Check(MoveFileA(from.c_str(), to.c_str()));
    }

    std::string StoredName(const std::string& path) override {
        if (path.find_first_of("*?") != std::string::npos) {
            return path;  // a pattern, not a name
        }
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(path.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return path;
        }
        FindClose(search);
        const auto separator = path.find_last_of("/\\");
        return separator == std::string::npos ? found.cFileName
                                              : path.substr(0, separator + 1) + found.cFileName;
    }

    OsResult RemoveFile(const std::string& path) override {
        if (IsReadOnly(path)) {
            return {OsError::AccessDenied};
        }
        return Check(DeleteFileA(path.c_str()));
    }

    OsResult ChangeDirectory(const std::string& path) override {
        return Check(SetCurrentDirectoryA(path.c_str()));
    }

    std::string WorkingDirectory() override {
        char buffer[kPathBuffer] = {};
        const DWORD length = GetCurrentDirectoryA(kPathBuffer, buffer);
        return length > 0 && length < kPathBuffer ? std::string(buffer, length) : std::string();
    }

    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        win32::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size;
        if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7fffffff) {
            return std::nullopt;
        }
        std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD read = 0;
            if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                          &read, nullptr) ||
                read == 0) {
                return std::nullopt;
            }
            done += read;
        }
        return bytes;
    }

    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) override {
        if (IsReadOnly(path)) {
            return nullptr;
        }
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        return std::make_unique<Win32OutputFile>(file);
    }

    LocalTime Now() override {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }

    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }

    std::string LoadText(unsigned id) override {
        char buffer[1024] = {};
        const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
        return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
    }

    int ShowMessageBox(const std::string& text, unsigned style) override {
        const std::string title = LoadText(IDS_APP_TITLE);
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

    Answer AskYesNoCancel(const std::string& text) override {
        const std::string title = LoadText(IDS_APP_TITLE);
        switch (MessageBoxA(nullptr, text.c_str(), title.c_str(),
                            MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL)) {
            case IDYES:
                return Answer::Yes;
            case IDNO:
                return Answer::No;
            default:
                return Answer::Cancel;
        }
    }

    std::optional<std::string> ChooseGameFile() override { return ui::ChooseGameFile(); }
    void ShowSplash() override { ui::ShowSplash(); }
    void HideSplash() override { ui::HideSplash(); }
    void DestroySplash() override { ui::DestroySplash(); }

    void BeginWaitCursor() override {
        previousCursor_ = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
    }
    void EndWaitCursor() override { SetCursor(previousCursor_); }

    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override {
        char buffer[kPathBuffer] = {};
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, kPathBuffer,
                                 file.c_str());
        return buffer;
    }

    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        return Check(
            WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()));
    }

    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        return RegWriteString(HKEY_LOCAL_MACHINE, kRunOnceKey, name.c_str(), command);
    }

    OsResult DeleteStartupEntry(const std::string& name) override {
        return RegDeleteString(HKEY_LOCAL_MACHINE, kRunOnceKey, name.c_str());
    }

    // Creating the mutex and finding that it exists already is one step, so two
    // launchers started together cannot both pass.
    MutexState AcquireMutex(const std::string& name) override {
        if (mutex_) {
            return MutexState::Acquired;
        }
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
        const DWORD error = GetLastError();
        if (!mutex) {
            return error == ERROR_ACCESS_DENIED ? MutexState::HeldElsewhere : MutexState::Failed;
        }
        if (error == ERROR_ALREADY_EXISTS) {
            CloseHandle(mutex);
            return MutexState::HeldElsewhere;
        }
        mutex_ = std::make_unique<win32::KernelHandle>(mutex);
        return MutexState::Acquired;
    }

    bool WindowExists(const std::string& windowClass, const std::string& title) override {
        return FindWindowA(windowClass.c_str(), title.c_str()) != nullptr;
    }

    bool StartAndWait(const std::string& file, const std::string& parameters,
                      const std::string& directory) override {
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpFile = file.c_str();
        info.lpParameters = parameters.c_str();
        info.lpDirectory = directory.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExA(&info) || !info.hProcess) {
            return false;
        }
        win32::KernelHandle process(info.hProcess);
        WaitForSingleObject(process.Get(), INFINITE);
        return true;
    }

  private:
    std::unique_ptr<win32::KernelHandle> mutex_;  // held until the process ends
    HCURSOR previousCursor_ = nullptr;
};

}  // namespace

Platform& NativePlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace srdw
