#include "script/CommandTable.h"

#include <algorithm>

#include "log/RunLog.h"
#include "platform/FileSystem.h"
#include "script/FileMoves.h"
#include "script/FileSwap.h"

namespace srdw {

namespace {

bool AnyEmpty(ExpandedArguments arguments) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& argument) { return argument.empty(); });
}

void LogFileError(std::string_view leadIn, const std::string& path, std::string_view closing) {
    LogWrite(leadIn);
    LogWrite(path);
    LogWrite(closing);
}

void RenameOneWay(const std::string& from, const std::string& to) {
    if (!Exists(from)) {
        LogFileError("ERROR: the file '", from, "' does not exist!\n");
    } else if (Exists(to)) {
        LogFileError("ERROR: the file '", to, "' already exists!\n");
    } else if (!MovePath(from, to)) {
        LogWrite("ERROR: failed to rename '");
        LogWrite(from);
        LogFileError("' to '", to, "'!\n");
    }
}

void Swap(ExpandedArguments a) {
    if (!AnyEmpty(a)) {
        SwapFiles(a[0], a[1], a[2]);
    }
}

void Unswap(ExpandedArguments a) {
    if (!AnyEmpty(a)) {
        UnswapFiles(a[0], a[1], a[2]);
    }
}

// A directory that cannot be changed to is no error of the script's: the
// commands after it work where the launcher is.
void ChangeDirectory(ExpandedArguments a) {
    static_cast<void>(Files().ChangeDirectory(a[0]));
}

// Restore puts back the directory from before the command instead.
void KeepDirectory(ExpandedArguments) {}

void RenameForward(ExpandedArguments a) {
    if (!AnyEmpty(a)) {
        RenameOneWay(a[0], a[1]);
    }
}

void RenameBack(ExpandedArguments a) {
    if (!AnyEmpty(a)) {
        RenameOneWay(a[1], a[0]);
    }
}

constexpr CommandArgument kSwapArguments[] = {
    {"original", PathRole::Writes},
    {"modified", PathRole::Reads},
    {"backup", PathRole::Writes},
};
constexpr CommandArgument kDirectoryArguments[] = {{"directory", PathRole::Directory}};
constexpr CommandArgument kRenameArguments[] = {
    {"source", PathRole::Reads},
    {"target", PathRole::Writes},
};

const CommandDefinition kCommands[] = {
    {"RenameEx", "Executing 'RenameEx()'\n", kSwapArguments, Swap, Unswap},
    // "SetDirectoty" is the log's own spelling, which players' logs and the
    // tools that read them have always had: it stays as it is.
    {"SetDirectory", "Executing 'SetDirectoty()'\n", kDirectoryArguments, ChangeDirectory,
     KeepDirectory},
    {"Rename", "Executing 'Rename()'\n", kRenameArguments, RenameForward, RenameBack},
};

}  // namespace

bool CommandDefinition::ChangesDirectory() const {
    return std::any_of(arguments.begin(), arguments.end(), [](const CommandArgument& argument) {
        return argument.role == PathRole::Directory;
    });
}

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
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [name](const CommandDefinition& c) { return c.name == name; });
    return found == std::end(kCommands) ? nullptr : found;
}

}  // namespace srdw
