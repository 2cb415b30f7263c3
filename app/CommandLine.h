// The launcher's command line: passed on to the game, and read for the switches
// "/recover" (restore only) and "/edit" (removed before the game starts).
#pragma once

#include <string>
#include <string_view>

namespace srdw {

// Trimmed of blanks and control characters 0x09 to 0x0D at both ends, then lowered.
std::string PrepareCommandLine(std::string_view tail);
// A switch counts where it begins a word: at the start or after white space, also
// as the start of a longer word ("/recovery"), never inside one ("-save=d:/recover").
bool HasRecoverSwitch(std::string_view commandLine);
// The command line the game is started with: cuts out the first "/edit" that
// begins a word, leaving the blanks around it, and the first whole word that
// counts as the "/recover" switch.
void RemoveSwitches(std::string& commandLine);

}  // namespace srdw
