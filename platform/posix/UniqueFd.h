// A file descriptor closed when it goes out of scope; it can be handed on, never copied.
#pragma once

#include <unistd.h>

#include <utility>

#include "platform/posix/SystemCalls.h"

namespace srdw::posix {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    bool IsValid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(fd_, -1); }
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
