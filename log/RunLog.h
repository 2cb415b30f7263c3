// The run log: one plain-text file beside the launcher per run, overwritten by the
// next run. Every step and every failure of the launcher is written here.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Installed.h"

namespace srdw {

// Where the Log functions below write: one run's log, from LogOpen to
// LogClose. The program's entry point installs one (Installed<RunLog>); while
// none is installed, the process's own serves. Only those functions touch it.
struct RunLog {
    std::unique_ptr<OutputFile> file;  // none while closed
    std::string pending;               // already converted to CR LF
    bool lineOpen = false;             // the last text written did not end its line
};

// Opens (and empties) the log at `path` and writes the header. Without a log the
// run goes on; false then.
bool LogOpen(const std::string& path);
// Appends the text unchanged; nothing when the log is closed or the text is empty.
void LogWrite(std::string_view text);
// Ends the line being written, if one is: a note that comes in the middle of a
// line ("Swapping files...") then stands on lines of its own.
void LogEndLine();
// Hands what was written so far to the operating system, so a crash later keeps it.
void LogFlush();
// Writes the footer and closes the log; later writes do nothing.
void LogClose();

// "mm/dd/yy hh:mm:ss", the stamp of the header and the footer.
std::string TimeStamp();

}  // namespace srdw
