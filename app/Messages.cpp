#include "app/Messages.h"

#include "log/RunLog.h"
#include "platform/LauncherProcess.h"
#include "platform/PlayerDialogs.h"

namespace srdw {

int ShowMessage(unsigned id, unsigned style) {
    return Player().ShowMessageBox(Player().LoadText(id), style);
}

std::string MessageText(unsigned id, std::initializer_list<std::string_view> inserts) {
    const std::string text = Player().LoadText(id);
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '0') <= inserts.size()) {
            filled.append(inserts.begin()[next - '1']);
            ++i;
        } else {
            filled.push_back(text[i]);
        }
    }
    return filled;
}

bool RefuseUnusablePath() {
    const std::string shown = OwnProcess().UnusablePath();
    if (shown.empty()) {
        return false;
    }
    Player().ShowMessageBox(MessageText(IDS_PATH_CHARACTERS, {shown}), 0);
    LogWrite("ERROR: the path '");
    LogWrite(shown);
    LogWrite("' holds characters that cannot be used here; nothing was changed!\n");
    return true;
}

}  // namespace srdw
