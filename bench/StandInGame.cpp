// The game for timing whole launcher runs: it writes the wall-clock time (in
// nanoseconds since 1970) when it starts and when it ends into game-times.txt
// in its working directory. Portable C++, so the same file builds for Windows
// to time the launcher under Wine; there it shows the game's window in
// between, for long enough that a launcher watching for it sees it and does
// not wait for one to open after the game's end.
#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

#ifdef _WIN32
void ShowGameWindow() {
    constexpr DWORD kShown = 1000;  // five of the launcher's looks
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Skyrend 2";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "Skyrend 2", "Skyrend 2", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    const ULONGLONG end = GetTickCount64() + kShown;
    MSG message;
    while (GetTickCount64() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
    DestroyWindow(window);
}
#endif

}  // namespace

int main() {
    const long long started = Now();
    std::FILE* out = std::fopen("game-times.txt", "a");
    if (!out) {
        return 1;
    }
    std::fprintf(out, "start %lld\n", started);
#ifdef _WIN32
    ShowGameWindow();
#endif
    std::fprintf(out, "end %lld\n", Now());
    return std::fclose(out) == 0 ? 0 : 1;
}
