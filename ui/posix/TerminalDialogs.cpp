// The player's dialogs on POSIX: texts, messages and questions on the
// terminal (standard error and standard input). There is no splash and no wait
// cursor.
#include <algorithm>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "platform/AsciiCase.h"
#include "platform/FileSystem.h"
#include "platform/GameFile.h"
#include "res/resource.h"
#include "ui/Console.h"
#include "ui/Dialogs.h"

namespace srdw {

namespace {

// One line from standard input: y or Y answers Yes, n or N No, anything else
// `otherwise`. The end of input, or no input at all, is no answer.
Answer AskOnTerminal(const std::string& text, const char* choices, Answer otherwise) {
    std::cerr << TEXT_APP_TITLE ": " << text << ' ' << choices << ' ' << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::cerr << std::endl;
        return Answer::NoAnswer;
    }
    const char first = line.empty() ? '\0' : LowerAscii(line.front());
    return first == 'y' ? Answer::Yes : first == 'n' ? Answer::No : otherwise;
}

// The string table, as the resource compiler builds it on Windows.
constexpr std::pair<unsigned, const char*> kTexts[] = {
    {IDS_GAME_NOT_FOUND, TEXT_GAME_NOT_FOUND},
    {IDS_CHOOSER_FILTER, TEXT_CHOOSER_FILTER},
    {IDS_SCRIPT_NOT_LOADED, TEXT_SCRIPT_NOT_LOADED},
    {IDS_GAME_RUNNING, TEXT_GAME_RUNNING},
    {IDS_REINSTALL_QUESTION, TEXT_REINSTALL_QUESTION},
    {IDS_NO_GUARD, TEXT_NO_GUARD},
    {IDS_OWN_PATH_UNUSABLE, TEXT_OWN_PATH_UNUSABLE},
    {IDS_GAME_NOT_STARTED, TEXT_GAME_NOT_STARTED},
    {IDS_LOG_IS_LINK, TEXT_LOG_IS_LINK},
    {IDS_NEEDS_ADMIN, TEXT_NEEDS_ADMIN},
    {IDS_LAUNCHER_WAITING, TEXT_LAUNCHER_WAITING},
    {IDS_PATH_CHARACTERS, TEXT_PATH_CHARACTERS},
    {IDS_RESTORE_UNFINISHED, TEXT_RESTORE_UNFINISHED},
    {IDS_FOLDER_NOT_WRITABLE, TEXT_FOLDER_NOT_WRITABLE},
    {IDS_FOREIGN_JOURNAL, TEXT_FOREIGN_JOURNAL},
    {IDS_SCRIPT_FAULT, TEXT_SCRIPT_FAULT},
    {IDS_SCRIPT_ELSEWHERE, TEXT_SCRIPT_ELSEWHERE},
    {IDS_COMMANDS_FAILED, TEXT_COMMANDS_FAILED},
    {IDS_RECOVERED_BY_HAND, TEXT_RECOVERED_BY_HAND},
    {IDS_RESTORE_LEFT, TEXT_RESTORE_LEFT},
    {IDS_RECORDS_LEFT, TEXT_RECORDS_LEFT},
    {IDS_APP_TITLE, TEXT_APP_TITLE},
};

class TerminalDialogs final : public PlayerDialogs {
  public:
    std::string LoadText(unsigned id) override {
        const auto* found = std::ranges::find(kTexts, id, &std::pair<unsigned, const char*>::first);
        return found != std::end(kTexts) ? found->second : "";
    }

    int ShowMessageBox(const std::string& text, unsigned /*style*/) override {
        std::cerr << TEXT_APP_TITLE ": " << text << std::endl;
        return 1;  // OK
    }

    Answer AskYesNoCancel(const std::string& text) override {
        return AskOnTerminal(text, "[y/n/c]", Answer::Cancel);
    }

    Answer AskYesNo(const std::string& text) override {
        return AskOnTerminal(text, "[y/n]", Answer::No);
    }

    // Asks on standard input until the answer names an existing srend.exe (any
    // letter case); a refused answer rings the bell. An empty line or the end of
    // input cancels.
    std::optional<std::string> ChooseGameFile() override {
        FileSystem& disk = NativeFileSystem();
        for (;;) {
            std::cerr << TEXT_APP_TITLE ": path of srend.exe (empty to cancel): " << std::flush;
            std::string line;
            if (!std::getline(std::cin, line) || line.empty()) {
                return std::nullopt;
            }
            const auto attributes = disk.Attributes(line);
            if (IsGameFileName(line) && attributes && !attributes->directory) {
                return line.front() == '/' ? line : disk.WorkingDirectory() + "/" + line;
            }
            std::cerr << '\a' << std::flush;
        }
    }
};

}  // namespace

PlayerDialogs& ui::NativeDialogs() {
    static TerminalDialogs dialogs;
    return dialogs;
}

// A terminal outlives what runs in it.
bool ui::ConsoleIsOwn() {
    return false;
}

void ui::WaitForKey() {}

}  // namespace srdw
