// The launcher's command line: passed on to the game, and read for the switches
// "/recover" (restore only) and "/edit" (removed before the game starts).
#pragma once

#include <string>
#include <string_view>

namespace srdw {

// Trimmed of blanks and control characters 0x09 to 0x0D at both ends, then lowered.
std::string PrepareCommandLine(std::string_view tail);
// Anywhere in the text, also as the start of a longer word.
bool HasRecoverSwitch(std::string_view commandLine);
// Cuts out the first "/edit", leaving the blanks around it.
void RemoveEditSwitch(std::string& commandLine);

}  // namespace srdw
