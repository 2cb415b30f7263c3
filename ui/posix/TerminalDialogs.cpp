// The player's dialogs on POSIX: texts, messages and questions on the
// terminal (standard error and standard input). There is no splash and no wait
// cursor.
#include <iostream>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/GameFile.h"
#include "res/resource.h"
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
    switch (line.empty() ? '\0' : line.front()) {
        case 'y':
        case 'Y':
            return Answer::Yes;
        case 'n':
        case 'N':
            return Answer::No;
        default:
            return otherwise;
    }
}

class TerminalDialogs final : public PlayerDialogs {
  public:
    std::string LoadText(unsigned id) override {
        switch (id) {
            case IDS_GAME_NOT_FOUND:
                return TEXT_GAME_NOT_FOUND;
            case IDS_CHOOSER_FILTER:
                return TEXT_CHOOSER_FILTER;
            case IDS_SCRIPT_NOT_LOADED:
                return TEXT_SCRIPT_NOT_LOADED;
            case IDS_GAME_RUNNING:
                return TEXT_GAME_RUNNING;
            case IDS_REINSTALL_QUESTION:
                return TEXT_REINSTALL_QUESTION;
            case IDS_NO_GUARD:
                return TEXT_NO_GUARD;
            case IDS_OWN_PATH_UNUSABLE:
                return TEXT_OWN_PATH_UNUSABLE;
            case IDS_GAME_NOT_STARTED:
                return TEXT_GAME_NOT_STARTED;
            case IDS_LOG_IS_LINK:
                return TEXT_LOG_IS_LINK;
            case IDS_NEEDS_ADMIN:
                return TEXT_NEEDS_ADMIN;
            case IDS_LAUNCHER_WAITING:
                return TEXT_LAUNCHER_WAITING;
            case IDS_PATH_CHARACTERS:
                return TEXT_PATH_CHARACTERS;
            case IDS_RESTORE_UNFINISHED:
                return TEXT_RESTORE_UNFINISHED;
            case IDS_FOLDER_NOT_WRITABLE:
                return TEXT_FOLDER_NOT_WRITABLE;
            case IDS_FOREIGN_JOURNAL:
                return TEXT_FOREIGN_JOURNAL;
            case IDS_SCRIPT_FAULT:
                return TEXT_SCRIPT_FAULT;
            case IDS_SCRIPT_ELSEWHERE:
                return TEXT_SCRIPT_ELSEWHERE;
            case IDS_COMMANDS_FAILED:
                return TEXT_COMMANDS_FAILED;
            case IDS_RECOVERED_BY_HAND:
                return TEXT_RECOVERED_BY_HAND;
            case IDS_APP_TITLE:
                return TEXT_APP_TITLE;
            default:
                return {};
        }
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

}  // namespace srdw
