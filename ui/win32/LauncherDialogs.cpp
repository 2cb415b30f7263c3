// The player's dialogs on Windows: the string table's texts, message boxes
// with the launcher's icon, the wait cursor, the splash window and the game
// file chooser.
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "platform/GameFile.h"
#include "platform/win32/CodePage.h"
#include "platform/win32/ScopedHandle.h"
#include "res/resource.h"
#include "ui/Dialogs.h"

namespace srdw {

namespace {

std::string ResourceText(unsigned id) {
    char buffer[1024] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

// LoadIcon gives a shared icon owned by the system, which must not be destroyed.
HICON LauncherIcon() {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_LAUNCHER));
}

// Every box has the application title as its caption; the launcher's icon is
// shown where the style asks for MB_USERICON.
int ShowBox(const std::string& text, UINT style) {
    const std::string title = ResourceText(IDS_APP_TITLE);
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hInstance = GetModuleHandleA(nullptr);
    box.lpszText = text.c_str();
    box.lpszCaption = title.c_str();
    box.dwStyle = style;
    box.lpszIcon = MAKEINTRESOURCEA(IDI_LAUNCHER);
    return MessageBoxIndirectA(&box);
}

Answer AskInMessageBox(const std::string& text, UINT buttons) {
    switch (ShowBox(text, buttons | MB_ICONEXCLAMATION | MB_TASKMODAL)) {
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

// ---- the splash: the launcher's picture, shown while the mod is being set up ----

// How long the splash stays up before the launcher goes on, so it is seen even when
// there is nothing to do.
constexpr DWORD kSplashPause = 500;

// The handle may have gone stale (the window destroyed some other way, or the
// handle reused); IsWindow keeps us from destroying a stranger's window.
BOOL DestroyIfWindow(HWND window) {
    return IsWindow(window) && DestroyWindow(window);
}

// A launcher that ends early (an error path) never destroys the splash itself, so
// the holder destroys what is still alive when the process ends.
win32::ScopedHandle<HWND, DestroyIfWindow> splash;

// The size a window needs so that its client area is width x height, its frame
// (the dialog's border, the control's sunken edge) kept as it is.
SIZE AroundClientArea(HWND window, int width, int height) {
    RECT outer = {};
    RECT inner = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    return {width + (outer.right - outer.left) - inner.right,
            height + (outer.bottom - outer.top) - inner.bottom};
}

// The template's size is in dialog units, which follow the dialog font's metrics and
// so differ from system to system, while the picture keeps its size in pixels: the
// control and the window are sized to the picture, so that it shows whole and
// without bars. The window, sized so before it shows, is centred on the primary
// screen, then moved back inside its work area so no part of the picture lies under
// the taskbar or off screen. Should the window be larger than the
// work area, its top left corner stays visible.
void FitToPicture(HWND window) {
    // No control gives no image: a message to no window is answered with 0.
    HWND control = GetWindow(window, GW_CHILD);
    auto* const image =
        reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP picture = {};
    if (image == nullptr || GetObjectA(image, sizeof picture, &picture) == 0) {
        return;
    }
    const SIZE controlSize = AroundClientArea(control, picture.bmWidth, picture.bmHeight);
    SetWindowPos(control, nullptr, 0, 0, controlSize.cx, controlSize.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE size = AroundClientArea(window, controlSize.cx, controlSize.cy);

    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    RECT area = {0, 0, width, height};  // the whole screen where no work area is given
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const LONG x = width / 2 - size.cx / 2;
    const LONG y = height / 2 - size.cy / 2;
    SetWindowPos(window, nullptr, std::max(std::min(x, area.right - size.cx), area.left),
                 std::max(std::min(y, area.bottom - size.cy), area.top), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK SplashProc(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG: {
            // Only the big icon: the small one is derived from it for the taskbar.
            SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LauncherIcon()));
            // The window menu gives the taskbar button its menu. The window has no
            // caption to show it in, so the frame is not redrawn.
            const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
            SetWindowLongPtrA(window, GWL_STYLE, style | WS_SYSMENU);
            // The taskbar button and Alt+Tab show the window text.
            SetWindowTextA(window, ResourceText(IDS_APP_TITLE).c_str());
            FitToPicture(window);
            return TRUE;  // let the dialog manager set the focus
        }
        case WM_COMMAND:
            // Enter and Escape arrive as IDOK and IDCANCEL, and so do Alt+F4 and Close
            // from the window menu (the dialog manager turns WM_CLOSE into IDCANCEL).
            // The splash goes only when the launcher is done with it, so all of these
            // are swallowed here.
            return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
        default:
            return FALSE;
    }
}

// ---- the Open dialog that asks the user where the game's SREND.EXE is ----

// The explorer-style hook: a child dialog of the Open dialog, which is its parent.
UINT_PTR CALLBACK GameFileHook(HWND hook, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SendMessageA(GetParent(hook), WM_SETICON, ICON_BIG,
                         reinterpret_cast<LPARAM>(LauncherIcon()));
            return 1;
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

class LauncherDialogs final : public PlayerDialogs {
  public:
    std::string LoadText(unsigned id) override { return ResourceText(id); }
    int ShowMessageBox(const std::string& text, unsigned style) override {
        MessageBeep(0);
        return ShowBox(text, style | MB_USERICON);
    }
    Answer AskYesNoCancel(const std::string& text) override {
        return AskInMessageBox(text, MB_YESNOCANCEL);
    }
    Answer AskYesNo(const std::string& text) override { return AskInMessageBox(text, MB_YESNO); }

    // The dialog works in the system's own characters: its ANSI form would hand on
    // a look-alike of a name the code page lacks, which cannot be told from the
    // name itself. Only a file named srend.exe (any letter case) is accepted; for
    // any other name the dialog beeps and stays open.
    std::optional<std::string> ChooseGameFile() override {
        // The filter is kept in the string table with "|" for the NUL separators a
        // string resource cannot hold. The text ends in several "|", so the list is
        // closed by an empty text.
        std::wstring filter = win32::FromAnsi(ResourceText(IDS_CHOOSER_FILTER));
        std::replace(filter.begin(), filter.end(), L'|', L'\0');

        const std::wstring title = win32::FromAnsi(ResourceText(IDS_APP_TITLE));
        wchar_t file[MAX_PATH] = L"Srend.exe";
        wchar_t fileTitle[64] = {};

        OPENFILENAMEW dialog = {};
        dialog.lStructSize = sizeof dialog;
        dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrFileTitle = fileTitle;
        dialog.nMaxFileTitle = static_cast<DWORD>(std::size(fileTitle));
        dialog.lpstrTitle = title.c_str();
        dialog.Flags =
            OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
        dialog.lpfnHook = GameFileHook;

        // Cancelled, or the dialog could not be shown: no path, and none unusable.
        const bool chosen = GetOpenFileNameW(&dialog);
        std::string path = win32::AcceptedPath(chosen ? file : L"");
        return path.empty() ? std::nullopt : std::optional<std::string>(std::move(path));
    }

    // A modeless dialog built from the IDD_SPLASH template; the static control in the
    // template draws the bitmap, so the dialog itself only paints when minimised.
    void ShowSplash() override {
        // No owner: the splash is a top-level window with a taskbar button of its own.
        HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SPLASH),
                                         nullptr, SplashProc, 0);
        if (window == nullptr) {
            // The splash is decoration: the launcher carries on without it, and without
            // the pause that exists only to show it.
            return;
        }
        splash.Reset(window);
        ShowWindow(window, SW_SHOW);
        // There is no message loop in the launcher, so this is the only time the window
        // and the picture are painted. It cannot be closed by Enter, Escape, Alt+F4 or
        // the window menu, only by DestroySplash.
        UpdateWindow(window);
        Sleep(kSplashPause);
    }

    // Without a splash there is no window to hide, and the call does nothing.
    void HideSplash() override { ShowWindow(splash.Get(), SW_HIDE); }
    void DestroySplash() override { splash.Reset(); }
    void BeginWaitCursor() override {
        previousCursor_ = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
    }
    void EndWaitCursor() override { SetCursor(previousCursor_); }

  private:
    HCURSOR previousCursor_ = nullptr;
};

}  // namespace

PlayerDialogs& ui::NativeDialogs() {
    static LauncherDialogs dialogs;
    return dialogs;
}

}  // namespace srdw
