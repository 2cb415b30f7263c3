// A Win32 handle closed when it goes out of scope, by the function that goes
// with its kind.
#pragma once

#include <windows.h>

#include <utility>

namespace srdw::win32 {

// Neither nullptr nor INVALID_HANDLE_VALUE is ever a handle to close: the calls
// say "no handle" with one or the other (CreateFile and FindFirstFile with the
// second), so either is none here, whatever the kind.
template <typename T, auto Close>
class ScopedHandle {
  public:
    ScopedHandle() = default;
    explicit ScopedHandle(T handle) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, T{})) {}
    // Safe on itself: the handle is taken out before the one held is closed.
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        Reset(std::exchange(other.handle_, T{}));
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    bool IsValid() const {
        return handle_ != nullptr && static_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE;
    }
    T Get() const { return handle_; }
    // Closes the handle held, if any, and holds `handle` instead.
    void Reset(T handle = T{}) {
        if (IsValid()) {
            static_cast<void>(Close(handle_));  // nothing to be done when closing fails
        }
        handle_ = handle;
    }
    // For functions that give the handle through a pointer: closes the one held first.
    T* Out() {
        Reset();
        return &handle_;
    }

  private:
    T handle_{};
};

using KernelHandle = ScopedHandle<HANDLE, CloseHandle>;  // files, processes, mutexes
using FindHandle = ScopedHandle<HANDLE, FindClose>;
using RegistryKey = ScopedHandle<HKEY, RegCloseKey>;

}  // namespace srdw::win32
