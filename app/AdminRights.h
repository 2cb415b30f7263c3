// Folders that a launcher without administrator rights may not change: the
// launcher then starts itself again with them, or changes nothing.
#pragma once

#include <string>

#include "app/Launch.h"

namespace srdw {

// True when this process may go on to change `folder`. Otherwise it has handed
// the run to an elevated launcher (having let go of the launcher mutex first,
// so that the new one can take it), or, when the player declined or nothing
// could be elevated, told the player that the folder needs administrator
// rights; either way this process is to end without changing anything. A
// probe that fails for another reason than the rights lets the run go on: the
// moves then meet the problem and log it.
bool MayChange(const Launch& launch, const std::string& folder);

}  // namespace srdw
