// The Win32 backend: each operation is the Windows call the launcher was
// designed around, with the launcher's own resources for texts and icon.
#include <windows.h>

#include "platform/Platform.h"
#include "res/resource.h"

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

// Closes a kernel handle when it goes out of scope.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (IsValid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};

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
    Handle file_;
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
        Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
};

}  // namespace

Platform& NativePlatform() {
    static Win32Platform platform;
    return platform;
}

}  // namespace srdw
