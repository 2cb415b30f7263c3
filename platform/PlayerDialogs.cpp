#include "platform/PlayerDialogs.h"

namespace srdw {

namespace {

// Where no dialogs are installed there is nobody to ask.
class NobodyToAsk final : public PlayerDialogs {
  public:
    std::string LoadText(unsigned) override { return {}; }
    int ShowMessageBox(const std::string&, unsigned) override { return 0; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::NoAnswer; }
    Answer AskYesNo(const std::string&) override { return Answer::NoAnswer; }
    std::optional<std::string> ChooseGameFile() override { return std::nullopt; }
};

}  // namespace

PlayerDialogs& Player() {
    static NobodyToAsk nobody;
    PlayerDialogs* dialogs = Installed<PlayerDialogs>::Current();
    return dialogs ? *dialogs : nobody;
}

}  // namespace srdw
