// A check's report for people (compiler-style findings, the command list, the
// dry run) and for a mod's own CI (JSON).
#pragma once

#include <charconv>
#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>

#include "check/ScriptCheck.h"

namespace srdw::check {

// Where a report goes: kept as a text, or written to a file as it grows. Not
// an iostream, which would bring the C++ library's locales with it: on
// Windows they are half of SrdwCheck's size.
class ReportOut {
  public:
    ReportOut() = default;  // keeps the report; str() has it
    explicit ReportOut(std::FILE* file) : file_(file) {}
    ReportOut(const ReportOut&) = delete;
    ReportOut& operator=(const ReportOut&) = delete;
    ~ReportOut() { Flush(); }

    ReportOut& operator<<(std::string_view text) {
        text_ += text;
        if (file_ && text_.size() >= kBlock) {
            Flush();
        }
        return *this;
    }
    ReportOut& operator<<(char c) { return *this << std::string_view(&c, 1); }
    template <std::integral Number>
    ReportOut& operator<<(Number number) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
    }

    const std::string& str() const { return text_; }
    // Writes what is kept to the file, if there is one.
    void Flush() {
        if (file_ && !text_.empty()) {
            static_cast<void>(std::fwrite(text_.data(), 1, text_.size(), file_));
            text_.clear();
        }
    }

  private:
    static constexpr std::size_t kBlock = std::size_t{64} << 10;
    std::FILE* file_ = nullptr;
    std::string text_;
};

void WriteText(const CheckReport& report, ReportOut& out);
void WriteJson(const CheckReport& report, ReportOut& out);

}  // namespace srdw::check
