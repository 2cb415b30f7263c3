#include "app/Messages.h"

#include "log/RunLog.h"
#include "platform/Desktop.h"

namespace srdw {

int ShowMessage(unsigned id, unsigned style) {
    return Host().ShowMessageBox(Host().LoadText(id), style);
}

bool RefuseUnusablePath() {
    const std::string shown = Host().UnusablePath();
    if (shown.empty()) {
        return false;
    }
    std::string text = Host().LoadText(IDS_PATH_CHARACTERS);
    if (const auto at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, shown);
    }
    Host().ShowMessageBox(text, 0);
    LogWrite("ERROR: the path '");
    LogWrite(shown);
    LogWrite("' holds characters that cannot be used here; nothing was changed!\n");
    return true;
}

}  // namespace srdw
