// A check's report for people (compiler-style findings, the command list, the
// dry run) and for a mod's own CI (JSON).
#pragma once

#include <string>
#include <string_view>

#include "check/ScriptCheck.h"

namespace srdw::check {

// A report's text as it is written. Not an iostream, which would bring the C++
// library's locales with it: on Windows they are half of SrdwCheck's size.
class ReportOut {
  public:
    ReportOut& operator<<(std::string_view text) {
        text_ += text;
        return *this;
    }
    ReportOut& operator<<(char c) {
        text_ += c;
        return *this;
    }
    ReportOut& operator<<(std::size_t number) { return *this << std::to_string(number); }

    const std::string& str() const { return text_; }

  private:
    std::string text_;
};

void WriteText(const CheckReport& report, ReportOut& out);
void WriteJson(const CheckReport& report, ReportOut& out);

}  // namespace srdw::check
