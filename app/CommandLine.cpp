#include "app/CommandLine.h"

#include "platform/Desktop.h"

namespace srdw {

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kEditSwitch = "/edit";

}  // namespace

std::string PrepareCommandLine(std::string_view tail) {
    const auto first = tail.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = tail.find_last_not_of(kWhiteSpace);
    return Host().LowerCase(std::string(tail.substr(first, last - first + 1)));
}

bool HasRecoverSwitch(std::string_view commandLine) {
    return commandLine.find("/recover") != std::string_view::npos;
}

void RemoveEditSwitch(std::string& commandLine) {
    const auto at = commandLine.find(kEditSwitch);
    if (at != std::string::npos) {
        commandLine.erase(at, kEditSwitch.size());
    }
}

}  // namespace srdw
