#include "app/Messages.h"

#include "platform/Platform.h"

namespace srdw {

int ShowMessage(unsigned id, unsigned style) {
    return Os().ShowMessageBox(Os().LoadText(id), style);
}

}  // namespace srdw
