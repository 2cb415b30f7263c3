#include "platform/posix/IniFile.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <vector>

namespace srdw::posix {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

// The section a line opens, if it is a "[section]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
        return std::nullopt;
    }
    return Trim(line.substr(1, line.size() - 2));
}

// The key of a "key=value" line.
std::optional<std::string_view> KeyOf(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, equals));
}

}  // namespace

std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key) {
    bool inSection = false;
    for (const std::string_view line : Lines(text)) {
        if (const auto name = SectionOf(line)) {
            inSection = EqualIgnoringCase(*name, section);
        } else if (inSection) {
            if (const auto name = KeyOf(line); name && EqualIgnoringCase(*name, key)) {
                return std::string(Trim(line.substr(line.find('=') + 1)));
            }
        }
    }
    return std::nullopt;
}

std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
    const std::string entry = std::string(key) + "=" + std::string(value);
    std::vector<std::string_view> lines = Lines(text);
    std::string out;
    bool inSection = false;
    bool sectionSeen = false;
    bool written = false;
    const auto add = [&out](std::string_view line) { out.append(line).push_back('\n'); };
    for (const std::string_view line : lines) {
        if (const auto name = SectionOf(line)) {
            if (inSection && !written) {
                add(entry);  // the section ends without the key
                written = true;
            }
            inSection = EqualIgnoringCase(*name, section);
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && !written) {
            if (const auto name = KeyOf(line); name && EqualIgnoringCase(*name, key)) {
                add(entry);
                written = true;
                continue;
            }
        }
        add(line);
    }
    if (!written) {
        if (!sectionSeen) {
            add("[" + std::string(section) + "]");
        }
        add(entry);
    }
    return out;
}

}  // namespace srdw::posix
