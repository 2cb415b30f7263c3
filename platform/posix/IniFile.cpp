#include "platform/posix/IniFile.h"

#include "platform/AsciiCase.h"

#include <vector>

namespace srdw::posix {

namespace {

// What Windows trims around names and values: the C blanks and Ctrl-Z, the end
// of a file under DOS that old editors still leave.
constexpr std::string_view kBlanks = " \t\n\v\f\r\x1a";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Windows keeps names and values as C strings: a NUL ends them.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// A line and the line end after it (empty at the end of the file). Every CR and
// every LF ends a line, so files with CR LF, LF or CR alone read alike.
struct Line {
    std::string_view text;
    std::string_view end;
};

std::vector<Line> Lines(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::vector<Line> lines;
    while (!text.empty()) {
        const auto at = text.find_first_of("\r\n");
        if (at == std::string_view::npos) {
            lines.push_back({text, {}});
            break;
        }
        const std::size_t endLength = text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back({text.substr(0, at), text.substr(at, endLength)});
        text.remove_prefix(at + endLength);
    }
    return lines;
}

// What a line is: a "[section]" (named up to its last "]"; what follows is
// ignored), a "key=value" or a key without "=", which has no value. A "[" line
// without "]" counts for nothing.
struct Entry {
    enum Kind { Nothing, Section, Key } kind = Nothing;
    std::string_view name;
    std::optional<std::string_view> value;
};

Entry EntryOf(std::string_view line) {
    line = Trim(line);
    if (line.empty()) {
        return {};
    }
    if (line.front() == '[') {
        const auto close = line.rfind(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {Entry::Section, UpToNul(Trim(line.substr(1, close - 1))), std::nullopt};
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return {Entry::Key, UpToNul(line), std::nullopt};
    }
    return {Entry::Key, UpToNul(Trim(line.substr(0, equals))),
            UpToNul(Trim(line.substr(equals + 1)))};
}

// One pair of matching quotes, double or single, around the whole value goes.
std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Only the first section of a name counts, and in it only the first line of a
// key, also one without a value.
struct Found {
    std::size_t section = 0;  // index of the section's line, or the number of lines
    std::size_t key = 0;      // index of the key's line, or of the line the section ends before
    bool hasKey = false;
};

Found Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found found{lines.size(), lines.size(), false};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Entry entry = EntryOf(lines[i].text);
        const bool inside = found.section < lines.size();
        if (entry.kind == Entry::Section) {
            if (inside) {
                found.key = i;
                return found;
            }
            if (EqualIgnoringCase(entry.name, section)) {
                found.section = i;
            }
        } else if (inside && entry.kind == Entry::Key && EqualIgnoringCase(entry.name, key)) {
            found.key = i;
            found.hasKey = true;
            return found;
        }
    }
    return found;
}

}  // namespace

std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key) {
    const std::vector<Line> lines = Lines(text);
    const Found found = Find(lines, section, key);
    if (!found.hasKey) {
        return std::nullopt;
    }
    const auto value = EntryOf(lines[found.key].text).value;
    if (!value) {
        return std::nullopt;
    }
    return std::string(Unquoted(*value));
}

// Every other byte of the file stays as it was, except that its last line
// gets a line end; a line that is added ends as the section's own line does.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
    const std::vector<Line> lines = Lines(text);
    const Found found = Find(lines, section, key);
    const std::string entry = std::string(key) + "=" + std::string(value);
    const bool hasSection = found.section < lines.size();
    const std::string_view lineEnd =
        hasSection && !lines[found.section].end.empty() ? lines[found.section].end : "\n";
    std::string out(text.starts_with(kByteOrderMark) ? kByteOrderMark : "");
    const auto add = [&out, lineEnd](std::string_view line, std::string_view end) {
        out.append(line).append(end.empty() ? lineEnd : end);
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == found.key) {
            add(entry, found.hasKey ? lines[i].end : lineEnd);
            if (found.hasKey) {
                continue;
            }
        }
        add(lines[i].text, lines[i].end);
    }
    if (!hasSection) {
        add("[" + std::string(section) + "]", lineEnd);
    }
    if (found.key == lines.size()) {
        add(entry, lineEnd);
    }
    return out;
}

}  // namespace srdw::posix
