// Finding, reading and working another program's windows: the launcher's message
// boxes, its Open dialog and its splash, the way a user would, through messages.
// Every wait is bounded; a wait that runs out reports failure and never hangs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace srdw::gui {

// How long a test waits for anything the launcher should do promptly.
inline constexpr DWORD kPatience = 20000;

// Polls `condition` every `interval` ms until it holds (true) or `timeout` ms have
// passed (false). The condition is checked once more at the end.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout = kPatience,
               DWORD interval = 10);

std::string ClassOf(HWND window);
// The window's own text as the system keeps it; sends no message, so it also works
// for a window whose program does not answer messages.
std::string CaptionOf(HWND window);
// A control's text through WM_GETTEXT, for controls that keep their text themselves
// (edit fields); empty when the owner does not answer within two seconds.
std::string ControlText(HWND control);
RECT RectOf(HWND window);
LONG_PTR StyleOf(HWND window);
LONG_PTR ExStyleOf(HWND window);
DWORD ProcessOf(HWND window);

// The top-level windows of a process (all processes when `processId` is 0), in
// the system's z-order, visible or not.
std::vector<HWND> TopLevelWindows(DWORD processId);
// The first top-level window of the process with this class and title; a null
// pointer matches anything.
HWND FindTopLevel(DWORD processId, const char* className, const char* title);
// All child windows, at any depth.
std::vector<HWND> Descendants(HWND parent);
// The first child at any depth with this control id (and class, unless null).
HWND DescendantById(HWND parent, int id, const char* className = nullptr);

// What a message box shows.
struct MessageBoxView {
    HWND window = nullptr;
    std::string caption;
    std::string text;          // the static control 65535
    std::vector<int> buttons;  // ids of the visible push buttons, ascending
};

// A dialog (#32770) with a caption, the message text control (Static 65535) and
// at least one push button. The splash, which has a static 65535 too, has neither
// caption nor buttons.
bool IsMessageBox(HWND window);
std::optional<MessageBoxView> ReadMessageBox(HWND window);
// Waits for a visible message box of the process; nothing when none came in time.
std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, DWORD timeout = kPatience);

// Presses a dialog button as a click would report it: WM_COMMAND with the button's
// id, posted so that the caller never waits on the dialog's owner.
bool PressButton(HWND dialog, int id);
// Clicks a dialog button and waits until the dialog has dealt with the click
// (at most `timeout` ms); false when it did not answer in time.
bool ClickAndWait(HWND dialog, int id, DWORD timeout);

// The explorer-style Open dialog: a dialog with a file name field.
bool IsOpenDialog(HWND window);
HWND WaitForOpenDialog(DWORD processId, DWORD timeout = kPatience);
// The edit field that takes the file name: the edit inside the file name combo box
// (cmb13, 0x47c) when the dialog has one, else the plain edit field (edt1, 0x480).
HWND FileNameField(HWND dialog);
// Types `path` into the file name field and clicks Open (IDOK); returns once the
// dialog has dealt with the click, whether it took the name or refused it.
bool EnterFileName(HWND dialog, const std::string& path);
bool EnterFileName(HWND dialog, const std::wstring& path);

// Pixels as 0x00RRGGBB, row by row from the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t At(int x, int y) const {
        return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)];
    }
};
// What the screen shows in `area`.
std::optional<Pixels> CaptureScreen(const RECT& area);
// A bitmap resource of a program file, read without running the program.
std::optional<Pixels> LoadBitmapResource(const std::string& program, int id);
// Where `picture` appears whole in `screen`, if it does: every pixel the same, but
// for the rounding of a display with fewer colours.
std::optional<POINT> FindPicture(const Pixels& screen, const Pixels& picture);

}  // namespace srdw::gui
