// What the POSIX file system, the game's process and the desktop share;
// nothing above platform/posix/ uses it.
#pragma once

#include <unistd.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/posix/SystemCalls.h"

namespace srdw::posix {

// The failure that errno tells of now.
OsResult LastError();

// Replaces a file's content so that a reader sees the old or the new text, never a mix.
OsResult ReplaceFileContent(const std::string& path, std::string_view content);
// The file beside `path` that ReplaceFileContent writes first.
inline std::string TemporaryFileOf(const std::string& path) {
    return path + ".tmp";
}

// Where the symbolic link leads, as written in it; empty where it cannot be read.
inline std::string LinkTarget(const std::string& link) {
    char target[4096];
    const ssize_t length = sys::readlink(link.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

// The game gets its parameters as one text, as on Windows; here that text is
// split into arguments by the rules the Windows C runtime uses. Blanks and
// tabs separate arguments outside double quotes. 2n backslashes before a quote
// give n backslashes and the quote opens or closes a quoted run; 2n+1 give n
// backslashes and a literal quote; "" inside a quoted run is a literal quote.
// Other backslashes are literal.
std::vector<std::string> SplitWindowsCommandLine(std::string_view text);

// The text as a desktop entry can hold it: "?" for each control character but
// LF, tab and CR, which its strings hold as escapes.
std::string ShownInDesktopEntry(std::string text);

// A file descriptor closed when it goes out of scope; it can be handed on (the
// move constructor), never copied.
class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

    bool IsValid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes the descriptor held, if any, and holds `fd` instead.
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            sys::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

}  // namespace srdw::posix
