#include "platform/posix/IniFile.h"

#include "platform/AsciiCase.h"

#include <algorithm>
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

// Where `key` of `[section]` is. A line is a "[section]" (named up to its last
// "]"; what follows is ignored), a "key=value" or a key without "=", which has
// no value; a "[" line without "]" counts for nothing. Only the first section
// of a name counts, and in it only the first line of a key, also one without
// a value.
struct Found {
    std::vector<Line> lines;
    std::size_t section = 0;  // index of the section's line, or the number of lines
    std::size_t key = 0;      // index of the key's line, or of the line the section ends before
    bool hasKey = false;
    std::optional<std::string_view> value;
};

Found Find(std::string_view text, std::string_view section, std::string_view key) {
    Found found;
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const auto at = std::min(text.find_first_of("\r\n"), text.size());
        std::size_t endLength = text.compare(at, 2, "\r\n") == 0 ? 2 : 1;
        if (at == text.size()) {
            endLength = 0;
        }
        found.lines.push_back({text.substr(0, at), text.substr(at, endLength)});
        text.remove_prefix(at + endLength);
    }
    found.section = found.key = found.lines.size();
    for (std::size_t i = 0; i < found.lines.size(); ++i) {
        const std::string_view line = Trim(found.lines[i].text);
        const bool inside = found.section < found.lines.size();
        if (line.starts_with('[')) {
            const auto close = line.rfind(']');
            if (close != std::string_view::npos && inside) {
                found.key = i;
                break;
            }
            if (close != std::string_view::npos &&
                EqualIgnoringCase(UpToNul(Trim(line.substr(1, close - 1))), section)) {
                found.section = i;
            }
        } else if (inside && !line.empty()) {
            const auto equals = line.find('=');
            if (EqualIgnoringCase(UpToNul(Trim(line.substr(0, equals))), key)) {
                found.key = i;
                found.hasKey = true;
                if (equals != std::string_view::npos) {
                    found.value = UpToNul(Trim(line.substr(equals + 1)));
                }
                break;
            }
        }
    }
    return found;
}

}  // namespace

std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key) {
    const Found found = Find(text, section, key);
    if (!found.value) {
        return std::nullopt;
    }
    // One pair of matching quotes, double or single, around the whole value goes.
    std::string_view value = *found.value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

// Every other byte of the file stays as it was, except that its last line
// gets a line end; a line that is added ends as the section's own line does.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
    const Found found = Find(text, section, key);
    const std::vector<Line>& lines = found.lines;
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
