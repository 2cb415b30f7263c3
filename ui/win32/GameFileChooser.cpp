// The Open dialog that asks the user where the game's SREND.EXE is.
#include <windows.h>

#include <commdlg.h>

#include "platform/GameFile.h"
#include "platform/win32/ResourceText.h"
#include "res/resource.h"
#include "ui/Ui.h"

namespace srdw::ui {

namespace {

constexpr char kSuggestedName[] = "Srend.exe";
constexpr std::size_t kFileTitleBuffer = 64;

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
            const auto* notify = reinterpret_cast<const OFNOTIFYA*>(lParam);
            if (notify->hdr.code != CDN_FILEOK) {
                return 0;
            }
            // By the time of CDN_FILEOK the dialog has filled in the chosen file's name.
            const char* name = notify->lpOFN->lpstrFileTitle;
            if (name != nullptr && IsGameFileName(name)) {
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

std::optional<std::string> ChooseGameFile() {
    HMODULE module = GetModuleHandleA(nullptr);

    // The filter is kept in the string table with "|" for the NUL separators a
    // string resource cannot hold. The text ends in several "|", so the list is
    // closed by an empty text; the zeroed buffer adds the final NULs as well.
    char filter[256] = {};
    const int filterLength = LoadStringA(module, IDS_CHOOSER_FILTER, filter, sizeof filter - 1);
    for (int i = 0; i < filterLength; ++i) {
        if (filter[i] == '|') {
            filter[i] = '\0';
        }
    }

    const std::string title = win32::AppTitle();
    char file[MAX_PATH] = {};
    lstrcpynA(file, kSuggestedName, sizeof file);
    char fileTitle[kFileTitleBuffer] = {};

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = nullptr;
    dialog.hInstance = module;
    dialog.lpstrFilter = filterLength > 0 ? filter : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = sizeof fileTitle;
    dialog.lpstrInitialDir = nullptr;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = nullptr;
    dialog.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    dialog.lpfnHook = GameFileHook;

    if (!GetOpenFileNameA(&dialog)) {
        return std::nullopt;  // cancelled, or the dialog could not be shown
    }
    return std::string(file);
}

}  // namespace srdw::ui
