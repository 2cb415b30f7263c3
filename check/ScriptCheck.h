// SrdwCheck's analysis: a script read with the launcher's own reader, parser and
// expansion, every surprise of theirs reported where it stands, and, given the
// game directory, a dry run of install and restore on a model of it.
#pragma once

#include <string>
#include <string_view>

#include "check/CheckReport.h"

namespace srdw::check {

struct CheckOptions {
    std::string gameDirectory;  // empty: no game directory given, no dry run
    std::string commandLine;    // the launcher's command line, as the player types it
};

// The game directory's stand-in when none is given.
std::string PlaceholderGameDirectory();

// Checks the script read from `scriptPath` whose bytes are `source`.
CheckReport CheckScript(const std::string& scriptPath, std::string_view source,
                        const CheckOptions& options);

}  // namespace srdw::check
