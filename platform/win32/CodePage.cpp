#include "platform/win32/CodePage.h"

#include <windows.h>

#include <utility>

namespace srdw::win32 {

// No character takes fewer bytes than UTF-16 units, so the text's size is room enough.
std::wstring FromAnsi(std::string_view text) {
    std::wstring wide(text.size(), L'\0');
    const int size = static_cast<int>(text.size());
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size)));
    return wide;
}

AnsiPath ToAnsi(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    // UTF-8 as the code page holds every character, and takes neither the
    // flag nor a default character.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* substitute = utf8 ? nullptr : "?";
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int size = static_cast<int>(wide.size());
    AnsiPath path;
    path.text.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, substitute, used)));
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, path.text.data(),
                        static_cast<int>(path.text.size()), substitute, used);
    path.whole = !path.text.empty() && !usedDefault && FromAnsi(path.text) == wide;
    return path;
}

namespace {
std::string g_unusablePath;
}

std::string AcceptedPath(std::wstring_view path) {
    AnsiPath converted = ToAnsi(path);
    if (!converted.whole) {
        g_unusablePath = std::move(converted.text);
        return {};
    }
    g_unusablePath.clear();
    return std::move(converted.text);
}

std::string UnusablePath() {
    return g_unusablePath;
}

}  // namespace srdw::win32
