#include "platform/Platform.h"

namespace srdw {

namespace {
Platform* g_current = nullptr;
}

Platform& Os() {
    return g_current ? *g_current : NativePlatform();
}

void SetOs(Platform* platform) {
    g_current = platform;
}

}  // namespace srdw
