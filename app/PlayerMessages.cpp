#include "app/PlayerMessages.h"

#include "res/resource.h"

namespace srdw {

void ShowMessage(PlayerDialogs& player, unsigned id) {
    player.ShowMessageBox(player.LoadText(id), 0);
}

std::string MessageText(PlayerDialogs& player, unsigned id,
                        std::initializer_list<std::string_view> inserts) {
    const std::string text = player.LoadText(id);
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

bool RefuseUnusablePath(const Launch& launch) {
    const std::string shown = launch.platform.process.UnusablePath();
    if (shown.empty()) {
        return false;
    }
    launch.Player().ShowMessageBox(MessageText(launch.Player(), IDS_PATH_CHARACTERS, {shown}), 0);
    launch.log.Write({"ERROR: the path '", shown,
                      "' holds characters that cannot be used here; nothing was changed!\n"});
    return true;
}

}  // namespace srdw
