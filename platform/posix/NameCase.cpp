#include "platform/NameCase.h"

#include <algorithm>

#include "platform/AsciiCase.h"

namespace srdw {

// As CaseInsensitivePath matches a name: other bytes, UTF-8's among them,
// are themselves.
std::string FoldNameCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
    return text;
}

}  // namespace srdw
