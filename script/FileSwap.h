// "RenameEx": a game file and the mod's file change places for the game's run,
// and change back afterwards. The triple is (original, modified, backup):
//   before install   original = game's file, modified = mod's file, backup absent
//   after install    original = mod's file,  modified absent,       backup = game's file
#pragma once

#include <string>

namespace srdw {

// Each says its verdict in the command's words; true when the files changed places.
bool SwapFiles(const std::string& original, const std::string& modified, const std::string& backup);
bool UnswapFiles(const std::string& original, const std::string& modified,
                 const std::string& backup);

}  // namespace srdw
