// The sample game: a stand-in for Skyrend 2's srend.exe. It writes what it was
// started with and which game files it finds into srend-saw.txt in its working
// directory, so that a demo can show what the player's game would see while the
// mod is installed. On Windows it also shows that text in the game's own window
// (class and title "Skyrend 2", as the real game's) for a few seconds, as a
// game is played, and then ends.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string Report(int argc, char** argv) {
    std::ostringstream out;
    out << "Skyrend 2 (stand-in) started in " << fs::current_path().string() << "\n";
    out << "parameters:";
    for (int i = 1; i < argc; ++i) {
        out << " [" << argv[i] << "]";
    }
    out << "\n";
    std::set<std::string> files;  // sorted, so the list reads the same everywhere
    for (const auto& entry : fs::recursive_directory_iterator("Data")) {
        if (entry.is_regular_file()) {
            std::ifstream file(entry.path(), std::ios::binary);
            std::string firstLine;
            std::getline(file, firstLine);
            files.insert(entry.path().generic_string() + ": " + firstLine);
        }
    }
    for (const auto& line : files) {
        out << "  " << line << "\n";
    }
    return out.str();
}

#ifdef _WIN32

constexpr char kGameWindow[] = "Skyrend 2";
constexpr ULONGLONG kPlayTime = 3000;  // milliseconds; closing the window ends it sooner

std::string shownText;

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            InflateRect(&area, -12, -12);
            DrawTextA(dc, shownText.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_EXPANDTABS);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The game's window, showing `text`, until the play time is over or the
// player closes it.
void Play(const std::string& text) {
    shownText = "Skyrend 2 (sample game)\n\n" + text;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kGameWindow;
    if (!RegisterClassA(&windowClass)) {
        return;
    }
    HWND window = CreateWindowExA(0, kGameWindow, kGameWindow, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 560, 300, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        return;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    const ULONGLONG end = GetTickCount64() + kPlayTime;
    MSG message;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    DestroyWindow(window);
}

#endif

}  // namespace

int main(int argc, char** argv) {
    const std::string text = Report(argc, argv);
    std::ofstream("srend-saw.txt", std::ios::binary) << text;
#ifdef _WIN32
    Play(text);
#endif
    return 0;
}
