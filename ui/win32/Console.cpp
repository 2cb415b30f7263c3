#include <windows.h>

#include "ui/Console.h"

namespace srdw::ui {

bool ConsoleIsOwn() {
    DWORD processes[2];
    DWORD mode = 0;
    return GetConsoleProcessList(processes, 2) == 1 &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
           GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

void WaitForKey() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);  // a key pressed while the check ran is no answer
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputA(input, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}

}  // namespace srdw::ui
