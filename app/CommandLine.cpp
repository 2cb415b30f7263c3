#include "app/CommandLine.h"

#include "platform/NameCase.h"

namespace srdw {

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kEditSwitch = "/edit";
constexpr std::string_view kRecoverSwitch = "/recover";

// Where `word` first begins a word of the text: at its start or after white space.
std::size_t FindWordStart(std::string_view text, std::string_view word) {
    for (auto at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        if (at == 0 || kWhiteSpace.find(text[at - 1]) != std::string_view::npos) {
            return at;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::string PrepareCommandLine(std::string_view tail) {
    const auto first = tail.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = tail.find_last_not_of(kWhiteSpace);
    return FoldNameCase(std::string(tail.substr(first, last - first + 1)));
}

bool HasRecoverSwitch(std::string_view commandLine) {
    return FindWordStart(commandLine, kRecoverSwitch) != std::string_view::npos;
}

// The whole "/recover" word goes, as a longer word counts as the switch too.
void RemoveSwitches(std::string& commandLine) {
    if (const auto at = FindWordStart(commandLine, kEditSwitch); at != std::string::npos) {
        commandLine.erase(at, kEditSwitch.size());
    }
    if (const auto at = FindWordStart(commandLine, kRecoverSwitch); at != std::string::npos) {
        commandLine.erase(at, commandLine.find_first_of(kWhiteSpace, at) - at);
    }
}

}  // namespace srdw
