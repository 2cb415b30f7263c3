#include "platform/posix/Autostart.h"

namespace srdw::posix {

namespace {

// One argument of an Exec key: in double quotes, with the characters the desktop
// entry format reserves escaped, then escaped again as a string value, which
// holds no control character but as the escapes \n, \t and \r. The launcher
// refuses a path with any other (see ShownInDesktopEntry).
std::string ExecArgument(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted.push_back('\\');
        }
        quoted.push_back(c);
    }
    quoted.push_back('"');
    std::string value;
    for (const char c : quoted) {
        if (c == '\\') {
            value.append("\\\\");
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
    return value;
}

}  // namespace

std::string ShownInDesktopEntry(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t' && c != '\r') || byte == 0x7f) {
            c = '?';
        }
    }
    return text;
}

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

}  // namespace srdw::posix
