#include "script/CommandTable.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "log/RunLog.h"
#include "platform/FileSystem.h"
#include "script/FileMoves.h"
#include "script/FileSwap.h"
#include "script/UndoJournal.h"

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
    CommandPaths paths({from, to});
    PathState& source = paths[from];
    PathState& target = paths[to];
    if (!source.Exists()) {
        LogFileError("ERROR: the file '", from, "' does not exist!\n");
    } else if (target.Exists()) {
        LogFileError("ERROR: the file '", to, "' already exists!\n");
    } else if (!MovePath(source, target)) {
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

// Undoes moves last to first and says the first that cannot be undone, after
// which it stops: what is left stays for the next try. A move followed by its
// own reversal (the install took back half a swap) did nothing together.
struct UndoFailure {
    UndoOutcome outcome;
    const JournalMove* move;
};
// Every path of the command's moves is looked up once, sources first, so that
// a name shared by two moves is spelled as the journal stored it; the journal
// holds the stored names, so none is asked of the disk.
std::optional<UndoFailure> UndoMoves(std::span<const JournalMove> moves) {
    std::vector<std::string> names;
    for (const auto& move : moves) {
        names.push_back(move.from);
    }
    for (const auto& move : moves) {
        names.push_back(move.to);
    }
    CommandPaths paths(names, false);
    for (std::size_t i = moves.size(); i-- > 0;) {
        const JournalMove& move = moves[i];
        PathState& source = paths[move.from];
        PathState& target = paths[move.to];
        if (i > 0 && move.from == moves[i - 1].to && move.to == moves[i - 1].from &&
            target.Exists() && !source.Exists()) {
            --i;
            continue;
        }
        const UndoOutcome outcome = UndoMove(move, source, target);
        if (outcome != UndoOutcome::Undone && outcome != UndoOutcome::NotNeeded) {
            return UndoFailure{outcome, &move};
        }
    }
    return std::nullopt;
}

void LogUndoFailure(std::string_view leadIn, const UndoFailure& failure) {
    LogWrite(leadIn);
    switch (failure.outcome) {
        case UndoOutcome::Occupied:
            return LogFileError("the file '", failure.move->from, "' already exists!\n");
        case UndoOutcome::Missing:
            return LogFileError("the file '", failure.move->to, "' does not exist!\n");
        default:
            LogWrite("cannot move '");
            LogWrite(failure.move->to);
            return LogFileError("' back to '", failure.move->from, "'!\n");
    }
}

bool UndoSwap(std::span<const JournalMove> moves) {
    LogWrite("Unswapping files...");
    const auto failure = UndoMoves(moves);
    if (failure) {
        LogWrite("FAILED!");
        LogUndoFailure("\n > ", *failure);
        return false;
    }
    LogWrite("succeeded!\n");
    return true;
}

bool UndoRename(std::span<const JournalMove> moves) {
    const auto failure = UndoMoves(moves);
    if (failure) {
        LogUndoFailure("ERROR: ", *failure);
    }
    return !failure;
}

// Changing the directory moves nothing, and the journal's paths are whole.
bool UndoNothing(std::span<const JournalMove>) {
    return true;
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
    {"RenameEx", "Executing 'RenameEx()'\n", kSwapArguments, Swap, UndoSwap, Unswap},
    // "SetDirectoty" is the log's own spelling, which players' logs and the
    // tools that read them have always had: it stays as it is.
    {"SetDirectory", "Executing 'SetDirectoty()'\n", kDirectoryArguments, ChangeDirectory,
     UndoNothing, KeepDirectory},
    {"Rename", "Executing 'Rename()'\n", kRenameArguments, RenameForward, UndoRename, RenameBack},
};

}  // namespace

bool CommandDefinition::ChangesDirectory() const {
    return std::any_of(arguments.begin(), arguments.end(), [](const CommandArgument& argument) {
        return argument.role == PathRole::Directory;
    });
}

bool CommandDefinition::MovesFiles() const {
    return std::any_of(arguments.begin(), arguments.end(), [](const CommandArgument& argument) {
        return argument.role == PathRole::Writes;
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
    const auto* const found =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [name](const CommandDefinition& c) { return c.name == name; });
    return found == std::end(kCommands) ? nullptr : found;
}

}  // namespace srdw
