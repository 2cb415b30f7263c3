#include "platform/NameCase.h"

#include <windows.h>

namespace srdw {

// The code page's own lowering: the file system compares names in Unicode,
// ignoring case, and the names reach it through this code page.
std::string FoldNameCase(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace srdw
