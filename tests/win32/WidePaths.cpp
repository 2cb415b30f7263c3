#include "WidePaths.h"

#include <vector>

#include "platform/win32/CodePage.h"
#include "platform/win32/ScopedHandle.h"

namespace srdw::gui {

namespace {

using win32::FindHandle;
using win32::KernelHandle;

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const FindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search.IsValid()) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (FindNextFileW(search.Get(), &found));
    }
    return names;
}

void AddFiles(const std::wstring& folder, const std::wstring& prefix,
              std::map<std::wstring, std::string>& files) {
    for (const std::wstring& name : NamesIn(folder)) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            AddFiles(path, prefix + name + L"\\", files);
            continue;
        }
        std::string& bytes = files[prefix + name];
        const KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        char buffer[4096];
        DWORD read = 0;
        while (file.IsValid() && ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) &&
               read > 0) {
            bytes.append(buffer, read);
        }
    }
}

}  // namespace

// The launcher's own conversions, so that the tests see paths as it does.
std::wstring Wide(const std::string& ansi) {
    return win32::FromAnsi(ansi);
}

std::string Shown(const std::wstring& wide) {
    return win32::ToAnsi(wide).text;
}

bool CodePageHolds(const std::wstring& wide) {
    return win32::ToAnsi(wide).whole;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
         at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    const KernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void CopyInto(const std::string& file, const std::wstring& target) {
    WriteBytes(target, "");
    CopyFileW(Wide(file).c_str(), target.c_str(), FALSE);
}

std::map<std::wstring, std::string> WideSnapshot(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    AddFiles(folder, L"", files);
    return files;
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::wstring& name : NamesIn(path)) {
            RemoveTree(path + L"\\" + name);
        }
        RemoveDirectoryW(path.c_str());
        return;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

}  // namespace srdw::gui
