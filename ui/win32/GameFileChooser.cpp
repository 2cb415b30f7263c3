// The Open dialog that asks the user where the game's SREND.EXE is.
#include <windows.h>

#include <commdlg.h>

#include "platform/GameFile.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/ResourceText.h"
#include "res/resource.h"
#include "ui/Ui.h"

namespace srdw::ui {

namespace {

constexpr wchar_t kSuggestedName[] = L"Srend.exe";
constexpr DWORD kFileTitleBuffer = 64;

// The explorer-style hook: a child dialog of the Open dialog, which is its parent.
UINT_PTR CALLBACK GameFileHook(HWND hook, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            // LoadIcon gives a shared icon that must not be destroyed.
            HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_LAUNCHER));
            SendMessageA(GetParent(hook), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            return 1;
        }
        case WM_NOTIFY: {
            const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
            if (notify->hdr.code != CDN_FILEOK) {
                return 0;
            }
            // By the time of CDN_FILEOK the dialog has filled in the chosen file's name.
            const wchar_t* name = notify->lpOFN->lpstrFileTitle;
            if (name != nullptr && IsGameFileName(win32::ToAnsi(name).text)) {
                return 0;  // accepted: the dialog closes with OK
            }
            // Any other file is refused with a beep alone; the dialog stays open so
            // the user can pick again.
            MessageBeep(0);
            SetWindowLongPtrA(hook, DWLP_MSGRESULT, 1);
            return 1;
        }
        default:
            return 0;
    }
}

}  // namespace

// The dialog works in the system's own characters: its ANSI form would hand on
// a look-alike of a name the code page lacks, which cannot be told from the
// name itself.
std::optional<std::wstring> ChooseGameFile() {
    HMODULE module = GetModuleHandleA(nullptr);

    // The filter is kept in the string table with "|" for the NUL separators a
    // string resource cannot hold. The text ends in several "|", so the list is
    // closed by an empty text; the zeroed buffer adds the final NULs as well.
    wchar_t filter[256] = {};
    const int filterLength = LoadStringW(module, IDS_CHOOSER_FILTER, filter, 255);
    for (int i = 0; i < filterLength; ++i) {
        if (filter[i] == L'|') {
            filter[i] = L'\0';
        }
    }

    const std::wstring title = win32::FromAnsi(win32::ResourceText(IDS_APP_TITLE));
    wchar_t file[MAX_PATH] = {};
    lstrcpynW(file, kSuggestedName, MAX_PATH);
    wchar_t fileTitle[kFileTitleBuffer] = {};

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = nullptr;
    dialog.hInstance = module;
    dialog.lpstrFilter = filterLength > 0 ? filter : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = kFileTitleBuffer;
    dialog.lpstrInitialDir = nullptr;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = nullptr;
    dialog.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    dialog.lpfnHook = GameFileHook;

    if (!GetOpenFileNameW(&dialog)) {
        return std::nullopt;  // cancelled, or the dialog could not be shown
    }
    return std::wstring(file);
}

}  // namespace srdw::ui
