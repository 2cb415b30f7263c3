// Starting the game and waiting for its end.
#pragma once

#include <string>

namespace srdw {

// Logs what is started, then starts it and waits. False when nothing started.
bool RunAndWait(const std::string& file, const std::string& parameters,
                const std::string& directory);

}  // namespace srdw
