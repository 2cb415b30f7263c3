// The Win32 desktop without its windows: the process, message boxes, the
// settings file, the registry's start-up entry, the mutex and the game's start.
// The splash and the game file chooser are completed by ui/win32/, which also
// defines NativeDesktop().
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "platform/Desktop.h"
#include "platform/win32/ScopedHandle.h"

namespace srdw::win32 {

class SystemDesktop : public Desktop {
  public:
    std::string OwnPath() override;
    std::string UnusablePath() override { return unusablePath_; }
    std::string ShortPathOf(const std::string& path) override;
    std::string CommandLineTail() override;
    std::string LowerCase(std::string text) override;

    std::string LoadText(unsigned id) override;
    int ShowMessageBox(const std::string& text, unsigned style) override;
    Answer AskYesNoCancel(const std::string& text) override;
    Answer AskYesNo(const std::string& text) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override;
    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override;
    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override;
    OsResult DeleteStartupEntry(const std::string& name) override;
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override;
    OsResult DeleteUserStartupEntry(const std::string& name) override;

    OsResult ProbeNewFile(const std::string& folder) override;
    Elevation RestartElevated(const std::string& program, const std::string& parameters,
                              const std::string& directory) override;

    MutexState AcquireMutex(const std::string& name) override;
    void ReleaseMutex(const std::string& name) override;
    MutexState LockFolder(const std::string& folder) override;
    bool HasWindows() override { return true; }
    bool WindowExists(const std::string& windowClass, const std::string& title) override;
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override;

  protected:
    // The path in the code page, or none when it does not fit (it is then
    // kept for UnusablePath).
    std::string Accepted(std::wstring_view path);

  private:
    std::string unusablePath_;
    KernelHandle mutex_;                             // held until the process ends
    std::map<std::string, FileHandle> folderLocks_;  // by the lock file's path, lower-cased
    HCURSOR previousCursor_ = nullptr;
};

}  // namespace srdw::win32
