// The splash window: the launcher's picture, shown while the mod is being set up.
// It is a modeless dialog built from the IDD_SPLASH template; the static control in
// the template draws the bitmap, so the dialog itself only paints when minimised.
#include <windows.h>

#include "platform/win32/ResourceText.h"
#include "res/resource.h"
#include "ui/Ui.h"

namespace srdw::ui {

namespace {

// How long the splash stays up before the launcher goes on, so it is seen even when
// there is nothing to do.
constexpr DWORD kSplashPause = 500;

// RT_DIALOG in its ANSI form, whatever UNICODE says: the launcher calls the A functions.
const LPCSTR kDialogResource = MAKEINTRESOURCEA(5);

// Owns the splash window. The window must not outlive the launcher's use of it, and
// a launcher that ends early (an error path) never calls DestroySplash, so the holder
// destroys what is still alive when the process ends.
class SplashWindow {
  public:
    SplashWindow() = default;
    ~SplashWindow() { Destroy(); }
    SplashWindow(const SplashWindow&) = delete;
    SplashWindow& operator=(const SplashWindow&) = delete;

    HWND Get() const { return window_; }

    void Reset(HWND window) {
        Destroy();
        window_ = window;
    }

    void Destroy() {
        // The handle may have gone stale (the window destroyed some other way, or the
        // handle reused); IsWindow keeps us from destroying a stranger's window.
        if (window_ != nullptr && IsWindow(window_)) {
            DestroyWindow(window_);
        }
        window_ = nullptr;
    }

  private:
    HWND window_ = nullptr;
};

SplashWindow splash;

// The launcher icon. LoadIcon gives a shared icon owned by the system, which must
// not be destroyed, so it is kept as a plain handle.
HICON splashIcon = nullptr;

// BeginPaint and EndPaint must be paired on every path.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_ = {};
    HDC dc_ = nullptr;
};

// Minimised, the dialog has no room for the picture: draw the icon in the middle of
// what is left, on the background the system erases for icons.
void PaintIconic(HWND window) {
    PaintScope paint(window);
    SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.Dc()), 0);
    RECT client = {};
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint.Dc(), x, y, splashIcon);
}

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
// without bars.
void FitToPicture(HWND window) {
    HWND control = GetWindow(window, GW_CHILD);
    if (control == nullptr) {
        return;
    }
    auto* const image =
        reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP picture = {};
    if (image == nullptr || GetObjectA(image, sizeof picture, &picture) == 0) {
        return;
    }
    const SIZE controlSize = AroundClientArea(control, picture.bmWidth, picture.bmHeight);
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(control, nullptr, 0, 0, controlSize.cx, controlSize.cy, flags);
    const SIZE windowSize = AroundClientArea(window, controlSize.cx, controlSize.cy);
    SetWindowPos(window, nullptr, 0, 0, windowSize.cx, windowSize.cy, flags);
}

INT_PTR CALLBACK SplashProc(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG: {
            // Only the big icon: the small one is derived from it for the taskbar.
            SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(splashIcon));
            // The window menu gives the taskbar button its menu. The window has no
            // caption to show it in, so the frame is not redrawn.
            const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
            SetWindowLongPtrA(window, GWL_STYLE, style | WS_SYSMENU);
            // The taskbar button and Alt+Tab show the window text.
            SetWindowTextA(window, win32::ResourceText(IDS_APP_TITLE).c_str());
            FitToPicture(window);
            return TRUE;  // let the dialog manager set the focus
        }
        case WM_COMMAND:
            // Enter and Escape arrive as IDOK and IDCANCEL, and so do Alt+F4 and Close
            // from the window menu (the dialog manager turns WM_CLOSE into IDCANCEL).
            // The splash goes only when the launcher is done with it, so all of these
            // are swallowed here.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            if (IsIconic(window)) {
                PaintIconic(window);
                return TRUE;
            }
            return FALSE;  // the static control paints the picture
        case WM_QUERYDRAGICON:
            // One of the few dialog messages whose answer is the return value itself
            // rather than DWLP_MSGRESULT.
            return reinterpret_cast<INT_PTR>(splashIcon);
        default:
            return FALSE;
    }
}

// The template is a read-only part of the loaded module; resource handles from
// FindResource and LoadResource need no release.
const DLGTEMPLATE* FindSplashTemplate(HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SPLASH), kDialogResource);
    if (found == nullptr) {
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        return nullptr;
    }
    return static_cast<const DLGTEMPLATE*>(LockResource(loaded));
}

// Centres the window over the desktop, then moves it back inside the work area of
// the nearest monitor so no part of the picture lies under the taskbar or off screen.
// Should the window be larger than the work area, its top left corner stays visible.
void CentreOnScreen(HWND window) {
    RECT frame = {};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    HWND desktop = GetDesktopWindow();
    RECT centre = {};
    GetWindowRect(desktop, &centre);
    RECT area = centre;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(desktop, MONITOR_DEFAULTTONEAREST), &monitor)) {
        area = monitor.rcWork;
    }

    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    if (x + width > area.right) {
        x = area.right - width;
    }
    if (x < area.left) {
        x = area.left;
    }
    if (y + height > area.bottom) {
        y = area.bottom - height;
    }
    if (y < area.top) {
        y = area.top;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void ShowSplash() {
    HMODULE module = GetModuleHandleA(nullptr);
    splashIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_LAUNCHER));

    const DLGTEMPLATE* dialogTemplate = FindSplashTemplate(module);
    if (dialogTemplate == nullptr) {
        return;
    }
    // No owner: the splash is a top-level window with a taskbar button of its own.
    HWND window = CreateDialogIndirectParamA(module, dialogTemplate, nullptr, SplashProc, 0);
    if (window == nullptr) {
        // The splash is decoration: the launcher carries on without it, and without
        // the pause that exists only to show it.
        return;
    }
    splash.Reset(window);

    CentreOnScreen(window);
    ShowWindow(window, SW_SHOW);
    // There is no message loop in the launcher, so this is the only time the window
    // and the picture are painted.
    UpdateWindow(window);
    Sleep(kSplashPause);
}

void HideSplash() {
    if (splash.Get() != nullptr) {
        ShowWindow(splash.Get(), SW_HIDE);
    }
}

void DestroySplash() {
    splash.Destroy();
}

}  // namespace srdw::ui
