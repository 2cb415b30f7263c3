// The run log: one plain-text file beside the launcher per run, overwritten by
// the next run. Every step and every failure of the launcher is written here;
// every "\n" reaches the file as CR LF, on every platform.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace srdw {

class RunLog {
  public:
    // The header's and the footer's time stamps come from `files`' clock.
    explicit RunLog(FileSystem& files) : files_(files) {}
    ~RunLog() { Close(); }

    // Opens (and empties) the log at `path` and writes the header. Without a
    // log the run goes on; false then.
    bool Open(const std::string& path);
    // The same into a file another opened (SrdwCheck's dry run keeps it).
    void Open(std::unique_ptr<OutputFile> file);
    // Appends the text unchanged; nothing when the log is closed or the text is empty.
    void Write(std::string_view text);
    // Appends the pieces one after the other, as the parts of one line.
    void Write(std::initializer_list<std::string_view> pieces);
    // Ends the line being written, if one is: a note that comes in the middle
    // of a line ("Swapping files...") then stands on lines of its own.
    void EndLine();
    // Hands what was written so far to the operating system, so a crash later keeps it.
    void Flush();
    // Writes the footer and closes the log; later writes do nothing.
    void Close();

  private:
    FileSystem& files_;
    std::unique_ptr<OutputFile> file_;  // none while closed
    std::string pending_;               // already converted to CR LF
    bool lineOpen_ = false;             // the last text written did not end its line
};

}  // namespace srdw
