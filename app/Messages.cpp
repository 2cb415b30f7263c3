#include "app/Messages.h"

#include "platform/Desktop.h"

namespace srdw {

int ShowMessage(unsigned id, unsigned style) {
    return Host().ShowMessageBox(Host().LoadText(id), style);
}

}  // namespace srdw
