// What one launcher run does, chosen from the recovery marker and the script.
#pragma once

namespace srdw {

enum class LaunchMode {
    InstallMode,  // install the script, run the game, restore the script
    RecoverMode,  // restore the script named by the recovery marker; no game
    PlainMode,    // run the game with nothing installed or restored
};

}  // namespace srdw
