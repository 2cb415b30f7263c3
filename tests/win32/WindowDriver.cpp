#include "WindowDriver.h"

#include <algorithm>

#include "platform/win32/CodePage.h"
#include "platform/win32/ScopedHandle.h"

namespace srdw::gui {

namespace {

using GdiObject = win32::ScopedHandle<HGDIOBJ, DeleteObject>;
using LoadedModule = win32::ScopedHandle<HMODULE, FreeLibrary>;

constexpr char kDialogClass[] = "#32770";
constexpr int kMessageTextId = 0xffff;
constexpr int kFileNameCombo = 0x47c;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr UINT kAnswerTimeout = 2000;
constexpr DWORD kClickTimeout = 5000;

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(context);
    if (found->first == 0 || ProcessOf(window) == found->first) {
        found->second.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

bool IsPushButton(HWND window) {
    if (ClassOf(window) != "Button" || !IsWindowVisible(window)) {
        return false;
    }
    const LONG_PTR type = StyleOf(window) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

class DeviceContext {
  public:
    explicit DeviceContext(HDC dc, HWND window = nullptr, bool created = false)
        : dc_(dc), window_(window), created_(created) {}
    ~DeviceContext() {
        if (dc_ == nullptr) {
            return;
        }
        if (created_) {
            DeleteDC(dc_);
        } else {
            ReleaseDC(window_, dc_);
        }
    }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
    HWND window_;
    bool created_;
};

class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The bitmap's pixels, converted by GDI to 32 bits per pixel, top row first.
std::optional<Pixels> ReadBitmap(HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.rgb.data(), &info,
                  DIB_RGB_COLORS) != height) {
        return std::nullopt;
    }
    for (auto& pixel : pixels.rgb) {
        pixel &= 0x00ffffff;
    }
    return pixels;
}

// Equal but for what a display of fewer colours (16 bits a pixel) loses.
bool Near(std::uint32_t a, std::uint32_t b) {
    constexpr int kTolerance = 8;
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference =
            static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
        if (difference > kTolerance || difference < -kTolerance) {
            return false;
        }
    }
    return true;
}

bool Matches(const Pixels& screen, const Pixels& picture, int left, int top, int step) {
    for (int y = 0; y < picture.height; y += step) {
        for (int x = 0; x < picture.width; x += step) {
            if (!Near(screen.At(left + x, top + y), picture.At(x, y))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout, DWORD interval) {
    const ULONGLONG end = GetTickCount64() + timeout;
    while (GetTickCount64() < end) {
        if (condition()) {
            return true;
        }
        Sleep(interval);
    }
    return condition();
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    const int length = GetClassNameA(window, name, sizeof name);
    return length > 0 ? std::string(name, static_cast<std::size_t>(length)) : std::string();
}

std::string CaptionOf(HWND window) {
    char text[1024] = {};
    const int length = GetWindowTextA(window, text, sizeof text);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

std::string ControlText(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeout,
                             &length)) {
        return {};
    }
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kAnswerTimeout, &copied)) {
        return {};
    }
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

RECT RectOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

LONG_PTR StyleOf(HWND window) {
    return GetWindowLongPtrA(window, GWL_STYLE);
}

LONG_PTR ExStyleOf(HWND window) {
    return GetWindowLongPtrA(window, GWL_EXSTYLE);
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> found{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

HWND FindTopLevel(DWORD processId, const char* className, const char* title) {
    for (HWND window : TopLevelWindows(processId)) {
        if ((className == nullptr || ClassOf(window) == className) &&
            (title == nullptr || CaptionOf(window) == title)) {
            return window;
        }
    }
    return nullptr;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND DescendantById(HWND parent, int id, const char* className) {
    for (HWND child : Descendants(parent)) {
        if (GetDlgCtrlID(child) == id && (className == nullptr || ClassOf(child) == className)) {
            return child;
        }
    }
    return nullptr;
}

bool IsMessageBox(HWND window) {
    if (ClassOf(window) != kDialogClass || (StyleOf(window) & WS_CAPTION) != WS_CAPTION) {
        return false;
    }
    bool hasText = false;
    bool hasButton = false;
    for (HWND child : Descendants(window)) {
        if (GetParent(child) != window) {
            continue;  // a message box has no nested controls
        }
        hasText = hasText || (GetDlgCtrlID(child) == kMessageTextId && ClassOf(child) == "Static");
        hasButton = hasButton || IsPushButton(child);
    }
    return hasText && hasButton && !IsOpenDialog(window);
}

std::optional<MessageBoxView> ReadMessageBox(HWND window) {
    if (!IsMessageBox(window)) {
        return std::nullopt;
    }
    MessageBoxView view;
    view.window = window;
    view.caption = CaptionOf(window);
    for (HWND child : Descendants(window)) {
        if (GetDlgCtrlID(child) == kMessageTextId && ClassOf(child) == "Static") {
            view.text = CaptionOf(child);
            if (view.text.empty()) {
                view.text = ControlText(child);
            }
        } else if (IsPushButton(child)) {
            view.buttons.push_back(GetDlgCtrlID(child));
        }
    }
    std::sort(view.buttons.begin(), view.buttons.end());
    return view;
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, DWORD timeout) {
    std::optional<MessageBoxView> view;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId)) {
                if (IsWindowVisible(window) && (view = ReadMessageBox(window))) {
                    return true;
                }
            }
            return false;
        },
        timeout);
    return view;
}

bool PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != 0;
}

bool IsOpenDialog(HWND window) {
    return ClassOf(window) == kDialogClass && FileNameField(window) != nullptr;
}

HWND WaitForOpenDialog(DWORD processId, DWORD timeout) {
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId)) {
                if (IsWindowVisible(window) && IsOpenDialog(window)) {
                    dialog = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return dialog;
}

HWND FileNameField(HWND dialog) {
    // The combo box may be a ComboBoxEx32 holding a ComboBox holding the edit, all
    // three with the same id.
    if (HWND edit = DescendantById(dialog, kFileNameCombo, "Edit"); edit != nullptr) {
        return edit;
    }
    if (HWND combo = DescendantById(dialog, kFileNameCombo); combo != nullptr) {
        for (HWND child : Descendants(combo)) {
            if (ClassOf(child) == "Edit") {
                return child;
            }
        }
    }
    return DescendantById(dialog, kFileNameEdit, "Edit");
}

bool ClickAndWait(HWND dialog, int id, DWORD timeout) {
    HWND button = GetDlgItem(dialog, id);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(button), SMTO_ABORTIFHUNG, timeout,
                               &result) != 0;
}

bool EnterFileName(HWND dialog, const std::string& path) {
    return EnterFileName(dialog, win32::FromAnsi(path));
}

bool EnterFileName(HWND dialog, const std::wstring& path) {
    HWND field = FileNameField(dialog);
    DWORD_PTR result = 0;
    return field != nullptr &&
           SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                               SMTO_ABORTIFHUNG, kAnswerTimeout, &result) &&
           result && ClickAndWait(dialog, IDOK, kClickTimeout);
}

std::optional<Pixels> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    DeviceContext screen(GetDC(nullptr));
    DeviceContext memory(CreateCompatibleDC(screen.Get()), nullptr, true);
    GdiObject bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (screen.Get() == nullptr || memory.Get() == nullptr || bitmap.Get() == nullptr) {
        return std::nullopt;
    }
    {
        Selection selected(memory.Get(), bitmap.Get());
        if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top,
                    SRCCOPY)) {
            return std::nullopt;
        }
    }
    return ReadBitmap(memory.Get(), static_cast<HBITMAP>(bitmap.Get()), width, height);
}

std::optional<Pixels> LoadBitmapResource(const std::string& program, int id) {
    LoadedModule module(LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module.Get() == nullptr) {
        return std::nullopt;
    }
    GdiObject bitmap(
        LoadImageA(module.Get(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP shape = {};
    if (bitmap.Get() == nullptr || GetObjectA(bitmap.Get(), sizeof shape, &shape) == 0) {
        return std::nullopt;
    }
    DeviceContext screen(GetDC(nullptr));
    return ReadBitmap(screen.Get(), static_cast<HBITMAP>(bitmap.Get()), shape.bmWidth,
                      shape.bmHeight);
}

std::optional<POINT> FindPicture(const Pixels& screen, const Pixels& picture) {
    // A coarse grid first, so that most places are ruled out after a few pixels.
    constexpr int kCoarseStep = 23;
    for (int top = 0; top + picture.height <= screen.height; ++top) {
        for (int left = 0; left + picture.width <= screen.width; ++left) {
            if (Matches(screen, picture, left, top, kCoarseStep) &&
                Matches(screen, picture, left, top, 1)) {
                return POINT{left, top};
            }
        }
    }
    return std::nullopt;
}

}  // namespace srdw::gui
