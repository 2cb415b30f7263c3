// What the system keeps on POSIX: the game's settings file where Wine keeps it
// (WINDIR) or in the user's configuration, and the start-up entry as an
// autostart desktop entry that removes itself.
#include <cstdlib>
#include <string>

#include "platform/SystemRecords.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/PosixFiles.h"

namespace srdw {

namespace sys = posix::sys;

std::string posix::ShownInDesktopEntry(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t' && c != '\r') || byte == 0x7f) {
            c = '?';
        }
    }
    return text;
}

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

// Text as one word of a POSIX shell, in single quotes.
std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted.append("'\\''");
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('\'');
    return quoted;
}

// One argument of an Exec key: in double quotes, with the characters the
// desktop entry format reserves escaped, then escaped again as a string value,
// which holds no control character but as the escapes \n, \t and \r. The
// launcher refuses a path with any other (see ShownInDesktopEntry).
std::string ExecArgument(const std::string& text) {
    std::string value = "\"";
    for (const char c : text) {
        if (c == '"' || c == '`' || c == '$') {
            value.append("\\\\").push_back(c);
        } else if (c == '\\') {
            value.append("\\\\\\\\");
        } else if (c == '\n') {
            value.append("\\n");
        } else if (c == '\t') {
            value.append("\\t");
        } else if (c == '\r') {
            value.append("\\r");
        } else if (c == '%') {
            value.append("%%");
        } else {
            value.push_back(c);
        }
    }
    return value + "\"";
}

// The start-up entry on Linux: an XDG autostart desktop entry that runs its
// command at the next log-in and, like Windows' RunOnce, only once: the entry
// removes itself before the command starts.
std::string RunOnceDesktopEntry(const std::string& entryPath,
                                const std::vector<std::string>& arguments) {
    std::string script = "rm -f -- " + ShellQuote(entryPath) + "; exec";
    for (const auto& argument : arguments) {
        script += " " + ShellQuote(argument);
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Skyrend 2: Duskwarden recovery\n"
           "Comment=Undoes the Duskwarden changes of an interrupted game, once\n"
           "Exec=sh -c " +
           ExecArgument(script) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string AutostartEntryPath(const std::string& name) {
    return ConfigHome() + "/autostart/" + name + ".desktop";
}

// Each folder of the path that is missing, the last one too.
void CreateDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (sys::mkdir(folder.c_str(), 0755) == 0) {
            posix::FollowChange({}, folder);
        }
        if (slash == std::string::npos) {
            return;
        }
    }
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
            path, RunOnceDesktopEntry(path, posix::SplitWindowsCommandLine(command)));
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
