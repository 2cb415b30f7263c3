#include "platform/win32/ResourceText.h"

#include <windows.h>

namespace srdw::win32 {

std::string ResourceText(unsigned id) {
    char buffer[1024] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace srdw::win32
