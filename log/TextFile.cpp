#include "log/TextFile.h"

namespace srdw {

void AppendCrLf(std::string& out, std::string_view text) {
    for (;;) {
        const auto lineEnd = text.find('\n');
        if (lineEnd == std::string_view::npos) {
            out.append(text);
            return;
        }
        out.append(text.substr(0, lineEnd));
        out.append("\r\n");
        text.remove_prefix(lineEnd + 1);
    }
}

}  // namespace srdw
