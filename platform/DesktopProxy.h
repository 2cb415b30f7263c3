// Desktops that hand every operation to another one. Derive from one and
// override one operation to change just that: answer a question, refuse the
// mutex, play the game.
#pragma once

#include "platform/Desktop.h"

namespace srdw {

class LauncherProcessProxy : public LauncherProcess {
  public:
    explicit LauncherProcessProxy(LauncherProcess& inner) : inner_(inner) {}

    std::string OwnPath() override { return inner_.OwnPath(); }
    std::string UnusablePath() override { return inner_.UnusablePath(); }
    std::string ShortPathOf(const std::string& path) override { return inner_.ShortPathOf(path); }
    std::string CommandLineTail() override { return inner_.CommandLineTail(); }
    OsResult ProbeNewFile(const std::string& folder) override {
        return inner_.ProbeNewFile(folder);
    }
    Elevation RestartElevated(const std::string& program, const std::string& parameters,
                              const std::string& directory) override {
        return inner_.RestartElevated(program, parameters, directory);
    }
    MutexState AcquireMutex(const std::string& name) override { return inner_.AcquireMutex(name); }
    void ReleaseMutex(const std::string& name) override { inner_.ReleaseMutex(name); }
    MutexState LockFolder(const std::string& folder) override { return inner_.LockFolder(folder); }
    std::vector<std::string> LockFiles() override { return inner_.LockFiles(); }

  protected:
    LauncherProcess& inner_;
};

class SystemRecordsProxy : public SystemRecords {
  public:
    explicit SystemRecordsProxy(SystemRecords& inner) : inner_(inner) {}

    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override {
        return inner_.ReadProfileString(file, section, key);
    }
    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        return inner_.WriteProfileString(file, section, key, value);
    }
    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        return inner_.WriteStartupEntry(name, command);
    }
    OsResult DeleteStartupEntry(const std::string& name) override {
        return inner_.DeleteStartupEntry(name);
    }
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override {
        return inner_.WriteUserStartupEntry(name, command);
    }
    OsResult DeleteUserStartupEntry(const std::string& name) override {
        return inner_.DeleteUserStartupEntry(name);
    }
    std::string StartupEntryFile(const std::string& name) override {
        return inner_.StartupEntryFile(name);
    }

  protected:
    SystemRecords& inner_;
};

class GameProcessProxy : public GameProcess {
  public:
    explicit GameProcessProxy(GameProcess& inner) : inner_(inner) {}

    bool HasWindows() override { return inner_.HasWindows(); }
    bool WindowExists(const std::string& windowClass, const std::string& title) override {
        return inner_.WindowExists(windowClass, title);
    }
    ProgramRun StartAndWait(const std::string& file, const std::string& parameters,
                            const std::string& directory,
                            const WatchWhileRunning& whileRunning) override {
        return inner_.StartAndWait(file, parameters, directory, whileRunning);
    }

  protected:
    GameProcess& inner_;
};

class PlayerDialogsProxy : public PlayerDialogs {
  public:
    explicit PlayerDialogsProxy(PlayerDialogs& inner) : inner_(inner) {}

    std::string LoadText(unsigned id) override { return inner_.LoadText(id); }
    int ShowMessageBox(const std::string& text, unsigned style) override {
        return inner_.ShowMessageBox(text, style);
    }
    Answer AskYesNoCancel(const std::string& text) override { return inner_.AskYesNoCancel(text); }
    Answer AskYesNo(const std::string& text) override { return inner_.AskYesNo(text); }
    std::optional<std::string> ChooseGameFile() override { return inner_.ChooseGameFile(); }
    void ShowSplash() override { inner_.ShowSplash(); }
    void HideSplash() override { inner_.HideSplash(); }
    void DestroySplash() override { inner_.DestroySplash(); }
    void BeginWaitCursor() override { inner_.BeginWaitCursor(); }
    void EndWaitCursor() override { inner_.EndWaitCursor(); }

  protected:
    PlayerDialogs& inner_;
};

// The whole desktop handed on: the backend's own for the process, the records
// and the game, and `player` for the dialogs.
class DesktopProxy : public LauncherProcessProxy,
                     public SystemRecordsProxy,
                     public GameProcessProxy,
                     public PlayerDialogsProxy {
  public:
    explicit DesktopProxy(PlayerDialogs& player)
        : LauncherProcessProxy(NativeLauncherProcess()),
          SystemRecordsProxy(NativeRecords()),
          GameProcessProxy(NativeGameProcess()),
          PlayerDialogsProxy(player) {}
};

}  // namespace srdw
