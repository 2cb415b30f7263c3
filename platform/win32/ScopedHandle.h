// A Win32 handle closed when it goes out of scope, by the function that goes
// with its kind.
#pragma once

#include <windows.h>

namespace srdw::win32 {

template <typename T, auto Close>
class ScopedHandle {
  public:
    explicit ScopedHandle(T handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (IsValid()) {
            Close(handle_);
        }
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    // Functions that make handles say "none" with either value, each its own.
    bool IsValid() const {
        return handle_ != nullptr && static_cast<const void*>(handle_) != INVALID_HANDLE_VALUE;
    }
    T Get() const { return handle_; }

  private:
    T handle_;
};

using KernelHandle = ScopedHandle<HANDLE, CloseHandle>;  // files, processes, mutexes
using FindHandle = ScopedHandle<HANDLE, FindClose>;
// CloseDesktop is refused while a thread still uses the desktop; the system
// closes it when the process ends.
using DesktopHandle = ScopedHandle<HDESK, CloseDesktop>;
using GdiObject = ScopedHandle<HGDIOBJ, DeleteObject>;
using LoadedModule = ScopedHandle<HMODULE, FreeLibrary>;

}  // namespace srdw::win32
