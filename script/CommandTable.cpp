#include "script/CommandTable.h"

#include <algorithm>
#include <iterator>

namespace srdw {

namespace {

// "RenameEx": a game file and the mod's file change places for the game's run,
// and change back afterwards. The triple is (original, modified, backup):
//   before install   original = game's file, modified = mod's file, backup absent
//   after install    original = mod's file,  modified absent,       backup = game's file
constexpr CommandArgument kSwapArguments[] = {
    {"original", PathRole::Writes},
    {"modified", PathRole::Reads},
    {"backup", PathRole::Writes},
};
constexpr CommandStep kSwap[] = {
    {CommandStep::Absent, 2, 0, "\n > the backup file '", "' already exists!\n"},
    {CommandStep::Present, 0, 0, "\n > the original file '", "' does not exist!\n"},
    {CommandStep::Present, 1, 0, "\n > the modified file '", "' does not exist!\n"},
    {CommandStep::Move, 0, 2, "\n > cannot backup '", "'!\n"},
    {CommandStep::Move, 1, 0, "\n > cannot move '", "'!\n"},
};
constexpr CommandStep kUnswap[] = {
    {CommandStep::Absent, 1, 0, "\n > the modified file '", "' still exists!\n"},
    {CommandStep::Present, 0, 0, "\n > the original file '", "' does not exist!\n"},
    {CommandStep::Present, 2, 0, "\n > the backup file '", "' does not exist!\n"},
    {CommandStep::Move, 0, 1, "\n > cannot move '", "'!\n"},
    {CommandStep::Move, 2, 0, "\n > cannot restore '", "'!\n"},
};
constexpr Procedure kSwapping{"Swapping files...", "FAILED!", "succeeded!\n", kSwap};
constexpr Procedure kUnswapping{"Unswapping files...", "FAILED!", "succeeded!\n", kUnswap};

constexpr CommandArgument kRenameArguments[] = {
    {"source", PathRole::Reads},
    {"target", PathRole::Writes},
};
constexpr CommandStep kRename[] = {
    {CommandStep::Present, 0, 0, "ERROR: the file '", "' does not exist!\n"},
    {CommandStep::Absent, 1, 0, "ERROR: the file '", "' already exists!\n"},
    {CommandStep::Move, 0, 1, "ERROR: failed to rename '", "'!\n", "' to '"},
};
constexpr CommandStep kRenameBack[] = {
    {CommandStep::Present, 1, 0, "ERROR: the file '", "' does not exist!\n"},
    {CommandStep::Absent, 0, 0, "ERROR: the file '", "' already exists!\n"},
    {CommandStep::Move, 1, 0, "ERROR: failed to rename '", "'!\n", "' to '"},
};
constexpr Procedure kRenaming{{}, {}, {}, kRename};
constexpr Procedure kRenamingBack{{}, {}, {}, kRenameBack};

constexpr CommandArgument kDirectoryArguments[] = {{"directory", PathRole::Directory}};

const CommandDefinition kCommands[] = {
    {"RenameEx", "Executing 'RenameEx()'\n", kSwapArguments, &kSwapping, &kUnswapping},
    // "SetDirectoty" is the log's own spelling, which players' logs and the
    // tools that read them have always had: it stays as it is.
    {"SetDirectory", "Executing 'SetDirectoty()'\n", kDirectoryArguments},
    {"Rename", "Executing 'Rename()'\n", kRenameArguments, &kRenaming, &kRenamingBack},
};

}  // namespace

std::string CommandDefinition::ArgumentNames() const {
    std::string names;
    for (const auto& argument : arguments) {
        names += names.empty() ? "" : ", ";
        names += argument.name;
    }
    return names;
}

std::span<const CommandDefinition> CommandTable() {
    return kCommands;
}

const CommandDefinition* FindCommand(std::string_view name) {
    const auto* const found = std::ranges::find(kCommands, name, &CommandDefinition::name);
    return found == std::end(kCommands) ? nullptr : found;
}

}  // namespace srdw
