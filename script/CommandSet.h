// The commands a script can use. Names match exactly, letter case included;
// a call of any other name is skipped without a word.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace srdw {

struct CommandInfo {
    std::string_view name;
    std::size_t arguments;           // how many it uses; further ones are ignored
    std::string_view argumentNames;  // for people: "original, modified, backup"
};

inline constexpr std::array<CommandInfo, 3> kCommandSet{{
    {"RenameEx", 3, "original, modified, backup"},
    {"SetDirectory", 1, "directory"},
    {"Rename", 2, "source, target"},
}};
// Each command is one entry of the set, so a found command compares equal by address.
inline constexpr const CommandInfo& kRenameEx = kCommandSet[0];
inline constexpr const CommandInfo& kSetDirectory = kCommandSet[1];
inline constexpr const CommandInfo& kRename = kCommandSet[2];

// The command of that exact name, or none.
inline const CommandInfo* FindCommand(std::string_view name) {
    for (const auto& command : kCommandSet) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace srdw
