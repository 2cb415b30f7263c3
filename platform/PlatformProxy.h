// A platform that hands every operation to another one. Derive from it and
// override one operation to change just that: make a move fail, answer a
// question, fix the clock.
#pragma once

#include "platform/Platform.h"

namespace srdw {

class PlatformProxy : public Platform {
  public:
    explicit PlatformProxy(Platform& inner) : inner_(inner) {}

    std::string OwnPath() override { return inner_.OwnPath(); }
    std::string ShortPathOf(const std::string& path) override { return inner_.ShortPathOf(path); }
    std::string CommandLineTail() override { return inner_.CommandLineTail(); }
    std::string LowerCase(std::string text) override { return inner_.LowerCase(std::move(text)); }

    std::optional<FileAttributes> Attributes(const std::string& path) override {
        return inner_.Attributes(path);
    }
    OsResult SetNormalAttributes(const std::string& path) override {
        return inner_.SetNormalAttributes(path);
    }
    OsResult RestoreAttributes(const std::string& path, const FileAttributes& attributes) override {
        return inner_.RestoreAttributes(path, attributes);
    }
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        return inner_.MoveNoReplace(from, to);
    }
    std::string StoredName(const std::string& path) override { return inner_.StoredName(path); }
    OsResult RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
    OsResult ChangeDirectory(const std::string& path) override {
        return inner_.ChangeDirectory(path);
    }
    std::string WorkingDirectory() override { return inner_.WorkingDirectory(); }
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        return inner_.ReadWholeFile(path);
    }
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path) override {
        return inner_.CreateOutputFile(path);
    }

    LocalTime Now() override { return inner_.Now(); }
    void Sleep(unsigned milliseconds) override { inner_.Sleep(milliseconds); }

    std::string LoadText(unsigned id) override { return inner_.LoadText(id); }
    int ShowMessageBox(const std::string& text, unsigned style) override {
        return inner_.ShowMessageBox(text, style);
    }
    Answer AskYesNoCancel(const std::string& text) override { return inner_.AskYesNoCancel(text); }
    std::optional<std::string> ChooseGameFile() override { return inner_.ChooseGameFile(); }
    void ShowSplash() override { inner_.ShowSplash(); }
    void HideSplash() override { inner_.HideSplash(); }
    void DestroySplash() override { inner_.DestroySplash(); }
    void BeginWaitCursor() override { inner_.BeginWaitCursor(); }
    void EndWaitCursor() override { inner_.EndWaitCursor(); }

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
    MutexState AcquireMutex(const std::string& name) override { return inner_.AcquireMutex(name); }
    bool WindowExists(const std::string& windowClass, const std::string& title) override {
        return inner_.WindowExists(windowClass, title);
    }
    bool StartAndWait(const std::string& file, const std::string& parameters,
                      const std::string& directory) override {
        return inner_.StartAndWait(file, parameters, directory);
    }

  protected:
    Platform& inner_;
};

// Installs a platform for the life of a scope.
class ScopedOs {
  public:
    explicit ScopedOs(Platform& platform) { SetOs(&platform); }
    ~ScopedOs() { SetOs(nullptr); }
    ScopedOs(const ScopedOs&) = delete;
    ScopedOs& operator=(const ScopedOs&) = delete;
};

}  // namespace srdw
