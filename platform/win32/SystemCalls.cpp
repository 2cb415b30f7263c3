#include "platform/win32/SystemCalls.h"

namespace srdw {
SRDW_DEFINE_SYSTEM_CALLS(win32, SRDW_WIN32_SYSTEM_CALLS)
}  // namespace srdw
