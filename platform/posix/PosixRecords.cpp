// What the system keeps on POSIX: the game's settings file where Wine keeps it
// (WINDIR) or in the user's configuration, and the start-up entry as an
// autostart desktop entry that removes itself.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/SystemRecords.h"
#include "platform/posix/Autostart.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/SystemCalls.h"
#include "platform/posix/WindowsCommandLine.h"

namespace srdw {

namespace sys = posix::sys;

namespace {

using posix::LastError;
using posix::ResolveCase;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// ${XDG_CONFIG_HOME:-~/.config}
std::string ConfigHome() {
    std::string home = Environment("XDG_CONFIG_HOME");
    return home.empty() ? Environment("HOME") + "/.config" : home;
}

// Where Windows keeps the game's settings file: WINDIR when it is set.
std::string SettingsDirectory() {
    std::string windir = Environment("WINDIR");
    return windir.empty() ? ConfigHome() : windir;
}

std::string AutostartEntryPath(const std::string& name) {
    return ConfigHome() + "/autostart/" + name + ".desktop";
}

void MakeDirectory(const std::string& path) {
    if (sys::mkdir(path.c_str(), 0755) == 0) {
        posix::FollowChange({}, path);
    }
}

void CreateDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        MakeDirectory(path.substr(0, slash));
    }
    MakeDirectory(path);
}

class PosixRecords final : public SystemRecords {
  public:
    std::string ReadProfileString(const std::string& file, const std::string& section,
                                  const std::string& key) override {
        const auto text = NativeFileSystem().ReadWholeFile(SettingsDirectory() + "/" + file);
        return text ? posix::IniValue(*text, section, key).value_or("") : "";
    }

    OsResult WriteProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& value) override {
        const std::string directory = SettingsDirectory();
        CreateDirectories(directory);
        const std::string path = ResolveCase(directory + "/" + file);
        const std::string old = NativeFileSystem().ReadWholeFile(path).value_or("");
        return posix::ReplaceFileContent(path, posix::WithIniValue(old, section, key, value));
    }

    OsResult WriteStartupEntry(const std::string& name, const std::string& command) override {
        const std::string path = AutostartEntryPath(name);
        CreateDirectories(ConfigHome() + "/autostart");
        return posix::ReplaceFileContent(
            path, posix::RunOnceDesktopEntry(path, posix::SplitWindowsCommandLine(command)));
    }

    // A kill while the entry was written may have left its temporary file.
    OsResult DeleteStartupEntry(const std::string& name) override {
        const std::string path = AutostartEntryPath(name);
        sys::unlink(posix::TemporaryFileOf(path).c_str());
        if (sys::unlink(path.c_str()) != 0) {
            return LastError();
        }
        posix::FollowChange(path, {});
        return OsResult::Ok();
    }

    std::string StartupEntryFile(const std::string& name) override {
        return AutostartEntryPath(name);
    }

    // The autostart folder is the user's own: both entries are the one there.
    OsResult WriteUserStartupEntry(const std::string& name, const std::string& command) override {
        return WriteStartupEntry(name, command);
    }
    OsResult DeleteUserStartupEntry(const std::string& name) override {
        return DeleteStartupEntry(name);
    }
};

}  // namespace

SystemRecords& NativeRecords() {
    static PosixRecords records;
    return records;
}

}  // namespace srdw
