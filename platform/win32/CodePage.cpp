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

// No UTF-16 unit takes more than three bytes, so three a unit is room enough. A
// character the code page lacks does not come back from it: neither its "?"
// nor a look-alike is the character itself.
AnsiPath ToAnsi(std::wstring_view wide) {
    // UTF-8 as the code page holds every character, and takes neither the
    // flag nor a default character.
    const bool utf8 = GetACP() == CP_UTF8;
    AnsiPath path{std::string(wide.size() * 3, '\0')};
    path.text.resize(static_cast<std::size_t>(WideCharToMultiByte(
        CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
        path.text.data(), static_cast<int>(path.text.size()), utf8 ? nullptr : "?", nullptr)));
    path.whole = FromAnsi(path.text) == wide;
    return path;
}

namespace {
std::string g_unusablePath;
}

std::string AcceptedPath(std::wstring_view path) {
    AnsiPath converted = ToAnsi(path);
    g_unusablePath = converted.whole ? std::string() : std::move(converted.text);
    return converted.whole ? std::move(converted.text) : std::string();
}

std::string UnusablePath() {
    return g_unusablePath;
}

}  // namespace srdw::win32
