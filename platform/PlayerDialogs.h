// What the player sees of the launcher and answers: the application's texts,
// message boxes and questions, the game file chooser, the splash and the wait
// cursor. The windows belong to the layer above (ui/), which the program's
// entry point hands in.
#pragma once

#include <optional>
#include <string>

namespace srdw {

enum class Answer {
    Yes,
    No,
    Cancel,
    NoAnswer,  // nobody could be asked (no terminal, end of input, no desktop)
};

class PlayerDialogs {
  public:
    virtual ~PlayerDialogs() = default;

    // The application's text of this id (its string table), or empty.
    virtual std::string LoadText(unsigned id) = 0;
    // A message box with an OK button (style 0) and the application title as caption.
    // Returns the button pressed.
    virtual int ShowMessageBox(const std::string& text, unsigned style) = 0;
    // The Yes/No/Cancel question with the exclamation icon.
    virtual Answer AskYesNoCancel(const std::string& text) = 0;
    // The same question with Yes and No only.
    virtual Answer AskYesNo(const std::string& text) = 0;
    // Lets the user point at the game executable; only a file named srend.exe (any
    // letter case) is accepted. None when the user cancels.
    virtual std::optional<std::string> ChooseGameFile() = 0;
    // The splash window: shown (then a half-second pause) before the install,
    // hidden while the game runs, destroyed after the restore. Where there is no
    // splash, all three do nothing; so does the wait cursor where there is none.
    virtual void ShowSplash() {}
    virtual void HideSplash() {}
    virtual void DestroySplash() {}
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}
};

}  // namespace srdw
