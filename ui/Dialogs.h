// The player's dialogs of this program: message boxes, the splash and the
// chooser on Windows (win32/), the terminal on Linux (posix/).
#pragma once

#include "platform/PlayerDialogs.h"

namespace srdw::ui {

PlayerDialogs& NativeDialogs();

}  // namespace srdw::ui
