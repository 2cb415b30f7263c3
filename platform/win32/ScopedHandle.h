// A Win32 handle closed when it goes out of scope, by the function that goes
// with its kind. Each kind says "no handle" with one value of its own: most with
// nullptr, files and searches with INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include <cstddef>
#include <utility>

namespace srdw::win32 {

// "No handle" is nullptr: processes, mutexes, registry keys, desktops, GDI objects, modules.
struct NullIsNone {
    static constexpr std::nullptr_t None() { return nullptr; }
};
// "No handle" is INVALID_HANDLE_VALUE: CreateFile and FindFirstFile.
struct InvalidIsNone {
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
};

template <typename T, auto Close, typename Kind = NullIsNone>
class ScopedHandle {
  public:
    ScopedHandle() = default;
    explicit ScopedHandle(T handle) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    bool IsValid() const { return handle_ != None(); }
    T Get() const { return handle_; }
    // Gives the handle up without closing it.
    T Release() { return std::exchange(handle_, None()); }
    // Closes the handle held, if any, and holds `handle` instead.
    void Reset(T handle = None()) {
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
    static T None() { return static_cast<T>(Kind::None()); }

    T handle_ = None();
};

using FileHandle = ScopedHandle<HANDLE, CloseHandle, InvalidIsNone>;
using KernelHandle = ScopedHandle<HANDLE, CloseHandle>;  // processes, mutexes
using FindHandle = ScopedHandle<HANDLE, FindClose, InvalidIsNone>;
using RegistryKey = ScopedHandle<HKEY, RegCloseKey>;
// CloseDesktop is refused while a thread still uses the desktop; the system
// closes it when the process ends.
using DesktopHandle = ScopedHandle<HDESK, CloseDesktop>;
using GdiObject = ScopedHandle<HGDIOBJ, DeleteObject>;
using LoadedModule = ScopedHandle<HMODULE, FreeLibrary>;

}  // namespace srdw::win32
