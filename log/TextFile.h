// Text written as the launcher writes its log and its marker: every "\n" reaches
// the file as CR LF, on every platform, so the files are the same bytes everywhere.
#pragma once

#include <string>
#include <string_view>

namespace srdw {

void AppendCrLf(std::string& out, std::string_view text);

inline std::string ToCrLf(std::string_view text) {
    std::string out;
    AppendCrLf(out, text);
    return out;
}

}  // namespace srdw
