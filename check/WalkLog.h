// The launcher's log of one walk over a script (an install, a restore, a
// recovery) as the dry run receives it, line by line while it is written: the
// lines a report lists, and each command's verdict. Nothing more of it is kept,
// so that a huge script's dry run does not hold its logs whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FileSystemProxy.h"

namespace srdw::check {

class WalkLog {
  public:
    // Called for each command whose lines tell of a failure, with the command's
    // number in the walk's order (from 0) and those lines, joined.
    using FailureSink = std::function<void(std::size_t command, std::string verdict)>;

    // The walk's log begins with `heading`, which is left out; the first
    // `listedLines` lines after it are kept.
    WalkLog(std::string_view heading, std::size_t listedLines, FailureSink failed);

    // Bytes as the log file takes them, with CR LF line ends.
    void Write(std::string_view bytes);
    // The end of the walk: its last line and its last command.
    void Finish();

    // The kept lines, "\n" line ends.
    std::string TakeText() { return std::move(text_); }
    std::size_t LinesLeftOut() const { return leftOut_; }

  private:
    void Receive(char c);
    void Line(std::string_view line, bool ended);
    void EndCommand();

    std::size_t skip_;
    std::size_t listedLines_;
    FailureSink failed_;
    std::string text_;
    std::size_t lines_ = 0;
    std::size_t leftOut_ = 0;
    std::string line_;  // the line being received
    bool carriageReturn_ = false;
    bool inCommand_ = false;
    std::size_t command_ = 0;
    bool failing_ = false;
    std::string verdict_;
};

// The file system of a dry run, whose log (the file at `logPath`) goes to the
// walk that is followed, or nowhere; other files, such as the undo journal, are
// the inner file system's.
class LogTap final : public FileSystemProxy {
  public:
    LogTap(FileSystem& inner, std::string logPath)
        : FileSystemProxy(inner), logPath_(std::move(logPath)) {}

    void Follow(WalkLog* walk) { walk_ = walk; }
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) override;

  private:
    std::string logPath_;
    WalkLog* walk_ = nullptr;
};

}  // namespace srdw::check
