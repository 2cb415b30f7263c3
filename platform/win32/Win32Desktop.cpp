// The Win32 desktop: each operation is the Windows call the launcher was
// designed around, with the launcher's own resources for texts and icon.
#include "platform/win32/Win32Desktop.h"

#include <shellapi.h>  // after windows.h, which it needs

#include <utility>

#include "platform/win32/ResourceText.h"
#include "platform/win32/Win32Error.h"
#include "res/resource.h"

namespace srdw::win32 {

namespace {

constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

OsResult FromStatus(LONG status) {
    return {ErrorFromCode(static_cast<DWORD>(status))};
}

// One string value of a registry key; nothing happens when the key cannot be opened.
OsResult RegWriteString(HKEY root, const char* key, const char* name, const std::string& text) {
    RegistryKey opened;
    const LONG status = RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                        nullptr, opened.Out(), nullptr);
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    return FromStatus(RegSetValueExA(opened.Get(), name, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() + 1)));
}

OsResult RegDeleteString(HKEY root, const char* key, const char* name) {
    RegistryKey opened;
    const LONG status = RegOpenKeyExA(root, key, 0, KEY_WRITE, opened.Out());
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    return FromStatus(RegDeleteValueA(opened.Get(), name));
}

}  // namespace

// A path that fills the whole buffer was cut: it is none.
std::string SystemDesktop::OwnPath() {
    char buffer[kPathBuffer] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, kPathBuffer);
    return length > 0 && length < kPathBuffer ? std::string(buffer, length) : std::string();
}

std::string SystemDesktop::ShortPathOf(const std::string& path) {
    char buffer[kPathBuffer] = {};
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, kPathBuffer);
    return length > 0 && length < kPathBuffer ? std::string(buffer, length) : path;
}

// As the C runtime hands it to a program: a quoted program name ends after its
// closing quote, an unquoted one at the first blank or control character, and
// the blanks after it are skipped.
std::string SystemDesktop::CommandLineTail() {
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

std::string SystemDesktop::LowerCase(std::string text) {
    if (!text.empty()) {
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

std::string SystemDesktop::LoadText(unsigned id) {
    return ResourceText(id);
}

int SystemDesktop::ShowMessageBox(const std::string& text, unsigned style) {
    const std::string title = AppTitle();
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

Answer SystemDesktop::AskYesNoCancel(const std::string& text) {
    const std::string title = AppTitle();
    switch (MessageBoxA(nullptr, text.c_str(), title.c_str(),
                        MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL)) {
        case IDYES:
            return Answer::Yes;
        case IDNO:
            return Answer::No;
        case 0:
            return Answer::NoAnswer;  // the box could not be shown
        default:
            return Answer::Cancel;
    }
}

void SystemDesktop::BeginWaitCursor() {
    previousCursor_ = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
}

void SystemDesktop::EndWaitCursor() {
    SetCursor(previousCursor_);
}

std::string SystemDesktop::ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key) {
    char buffer[kPathBuffer] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, kPathBuffer, file.c_str());
    return buffer;
}

OsResult SystemDesktop::WriteProfileString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& value) {
    return Check(
        WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()));
}

OsResult SystemDesktop::WriteStartupEntry(const std::string& name, const std::string& command) {
    return RegWriteString(HKEY_LOCAL_MACHINE, kRunOnceKey, name.c_str(), command);
}

OsResult SystemDesktop::DeleteStartupEntry(const std::string& name) {
    return RegDeleteString(HKEY_LOCAL_MACHINE, kRunOnceKey, name.c_str());
}

// Creating the mutex and finding that it exists already is one step, so two
// launchers started together cannot both pass.
MutexState SystemDesktop::AcquireMutex(const std::string& name) {
    if (mutex_.IsValid()) {
        return MutexState::Acquired;
    }
    KernelHandle mutex(CreateMutexA(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!mutex.IsValid()) {
        return error == ERROR_ACCESS_DENIED ? MutexState::HeldElsewhere : MutexState::Failed;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        return MutexState::HeldElsewhere;
    }
    mutex_ = std::move(mutex);
    return MutexState::Acquired;
}

bool SystemDesktop::WindowExists(const std::string& windowClass, const std::string& title) {
    return FindWindowA(windowClass.c_str(), title.c_str()) != nullptr;
}

namespace {

// The system's text for an error code, on one line, with "%1" standing for `file`.
std::string SystemReason(DWORD code, const std::string& file) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    if (const auto at = reason.find("%1"); at != std::string::npos) {
        reason.replace(at, 2, file);
    }
    return (reason.empty() ? "error" : reason) + " (" + std::to_string(code) + ")";
}

}  // namespace

// The shell shows no error box of its own: the launcher tells the player itself.
ProgramRun SystemDesktop::StartAndWait(const std::string& file, const std::string& parameters,
                                       const std::string& directory) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        return ProgramRun::NotStarted(SystemReason(GetLastError(), file));
    }
    if (!info.hProcess) {
        return ProgramRun::NotStarted("no process was started");
    }
    const KernelHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
    return {};
}

}  // namespace srdw::win32
