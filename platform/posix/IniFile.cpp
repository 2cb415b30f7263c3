#include "platform/posix/IniFile.h"

#include "platform/AsciiCase.h"

#include <algorithm>

namespace srdw::posix {

namespace {

// What Windows trims around names and values: the C blanks and Ctrl-Z, the end
// of a file under DOS that old editors still leave.
constexpr std::string_view kBlanks = " \t\n\v\f\r\x1a";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(kBlanks), text.size()));
    return text.substr(0, text.find_last_not_of(kBlanks) + 1);  // none left: npos + 1 is 0
}

// Windows keeps names and values as C strings: a NUL ends them.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Where `key` of `[section]` is. Every CR and every LF ends a line, so files
// with CR LF, LF or CR alone read alike. A line is a "[section]" (named up to
// its last "]"; what follows is ignored), a "key=value" or a key without "=",
// which has no value; a "[" line without "]" counts for nothing. Only the first
// section of a name counts, and in it only the first line of a key, also one
// without a value.
struct Found {
    bool hasSection = false;
    std::string_view lineEnd = "\n";  // the section line's own, which a line added gets
    std::size_t at = 0;               // the key's line, or where a line for it goes
    std::size_t size = 0;             // the key's line without its end; 0 where it has none
    std::optional<std::string_view> value;
};

Found Find(std::string_view text, std::string_view section, std::string_view key) {
    Found found;
    found.at = text.size();
    std::size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    for (std::size_t next = 0; start < text.size(); start = next) {
        const auto end = std::min(text.find_first_of("\r\n", start), text.size());
        next = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        const std::string_view line = Trim(text.substr(start, end - start));
        if (line.starts_with('[')) {
            const auto close = line.rfind(']');
            if (close != std::string_view::npos && found.hasSection) {
                found.at = start;
                break;
            }
            if (close != std::string_view::npos &&
                EqualIgnoringCase(UpToNul(Trim(line.substr(1, close - 1))), section)) {
                found.hasSection = true;
                found.lineEnd = end < text.size() ? text.substr(end, next - end) : "\n";
            }
        } else if (found.hasSection && !line.empty()) {
            const auto equals = line.find('=');
            if (EqualIgnoringCase(UpToNul(Trim(line.substr(0, equals))), key)) {
                found.at = start;
                found.size = end - start;  // never 0: the line holds the key
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
    std::string out(text);
    if (out.size() > (text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0) &&
        !out.ends_with('\n') && !out.ends_with('\r')) {
        out.append(found.lineEnd);
    }
    // The key's line takes the place of its old one without its end, or is added.
    std::string line = std::string(key) + "=" + std::string(value);
    if (found.size == 0) {
        line.append(found.lineEnd);
    }
    if (!found.hasSection) {
        line.insert(0, "[" + std::string(section) + "]" + std::string(found.lineEnd));
    }
    return out.replace(found.at == text.size() ? out.size() : found.at, found.size, line);
}

}  // namespace srdw::posix
