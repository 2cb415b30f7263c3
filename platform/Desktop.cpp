#include "platform/Desktop.h"

namespace srdw {

namespace {
Desktop* g_installed = nullptr;
}

Desktop* InstalledDesktop() {
    return g_installed;
}

void SetHost(Desktop* desktop) {
    g_installed = desktop;
}

}  // namespace srdw
