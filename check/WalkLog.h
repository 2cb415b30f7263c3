// The launcher's log of one walk over a script (an install, a restore, a
// recovery) as the dry run receives it, line by line while it is written: the
// lines a report lists. Nothing more of it is kept, so that a huge script's
// dry run does not hold its logs whole. What failed the dry run hears from the
// engine itself (WalkVerdicts), not from these lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace srdw::check {

class WalkLog {
  public:
    // The walk's log begins with `heading`, which is left out; the first
    // `listedLines` lines after it are kept.
    WalkLog(std::string_view heading, std::size_t listedLines);

    // Bytes as the log file takes them, with CR LF line ends.
    void Write(std::string_view bytes);
    // The end of the walk: its last line.
    void Finish();

    // The kept lines, "\n" line ends.
    std::string TakeText() { return std::move(text_); }
    std::size_t LinesLeftOut() const { return leftOut_; }

  private:
    void Receive(char c);
    void Line(std::string_view line, bool ended);

    std::size_t skip_;
    std::size_t listedLines_;
    std::string text_;
    std::size_t lines_ = 0;
    std::size_t leftOut_ = 0;
    std::string line_;  // the line being received
    bool carriageReturn_ = false;
};

}  // namespace srdw::check
