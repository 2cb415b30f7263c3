#include "script/CommandTable.h"

#include <algorithm>
#include <optional>
#include <vector>

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

void SayFileError(std::string_view leadIn, const std::string& path, std::string_view closing) {
    Say(leadIn);
    Say(path);
    Say(closing);
}

Verdict Succeeded(bool done) {
    return done ? Verdict::Done : Verdict::Failed;
}

bool RenameOneWay(const std::string& from, const std::string& to) {
    CommandPaths paths({from, to});
    PathState& source = paths[from];
    PathState& target = paths[to];
    if (!source.Exists()) {
        SayFileError("ERROR: the file '", from, "' does not exist!\n");
    } else if (target.Exists()) {
        SayFileError("ERROR: the file '", to, "' already exists!\n");
    } else if (!MovePath(source, target)) {
        Say("ERROR: failed to rename '");
        Say(from);
        SayFileError("' to '", to, "'!\n");
    } else {
        return true;
    }
    return false;
}

Verdict Swap(ExpandedArguments a) {
    return AnyEmpty(a) ? Verdict::Skipped : Succeeded(SwapFiles(a[0], a[1], a[2]));
}

Verdict Unswap(ExpandedArguments a) {
    return AnyEmpty(a) ? Verdict::Skipped : Succeeded(UnswapFiles(a[0], a[1], a[2]));
}

// A directory that cannot be changed to is no error of the script's: the
// commands after it work where the launcher is, and nothing is said.
Verdict ChangeDirectory(ExpandedArguments a) {
    static_cast<void>(Files().ChangeDirectory(a[0]));
    return Verdict::Done;
}

// Restore puts back the directory from before the command instead.
Verdict KeepDirectory(ExpandedArguments) {
    return Verdict::Done;
}

Verdict RenameForward(ExpandedArguments a) {
    return AnyEmpty(a) ? Verdict::Skipped : Succeeded(RenameOneWay(a[0], a[1]));
}

Verdict RenameBack(ExpandedArguments a) {
    return AnyEmpty(a) ? Verdict::Skipped : Succeeded(RenameOneWay(a[1], a[0]));
}

// Undoes moves last to first and says the first that cannot be undone, after
// which it stops: what is left stays for the next try. A move followed by its
// own reversal (the install took back half a swap) did nothing together.
struct UndoFailure {
    UndoOutcome outcome;
    std::size_t index;  // of the move among the command's
    std::size_t outOfPlace;
};
// Every path of the command's moves is looked up once, sources first, so that
// a name shared by two moves is spelled as the journal stored it.
std::optional<UndoFailure> UndoMoves(const JournalCommand& command, const UndoChain& chain) {
    const auto& moves = command.moves;
    std::vector<std::string> names;
    names.reserve(2 * moves.size());
    for (const auto& move : moves) {
        names.push_back(move.from);
    }
    for (const auto& move : moves) {
        names.push_back(move.to);
    }
    CommandPaths paths(names);
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
        if (outcome == UndoOutcome::Undone || outcome == UndoOutcome::NotNeeded ||
            ((outcome == UndoOutcome::Missing || outcome == UndoOutcome::Replaced) &&
             chain.FoundFurtherBack(move))) {
            continue;
        }
        const auto left = std::count_if(moves.begin(), moves.begin() + static_cast<long>(i) + 1,
                                        [](const JournalMove& m) { return !m.failed; });
        return UndoFailure{outcome, i, static_cast<std::size_t>(left)};
    }
    return std::nullopt;
}

// An argument as the install's command had it.
std::string ArgumentText(const JournalCommand& command, std::size_t index) {
    if (index >= command.arguments.size()) {
        return {};
    }
    const auto& argument = command.arguments[index];
    return std::string(argument.expanded.value_or(argument.source));
}

// The full paths behind a verdict, on lines of their own after it.
void SayUndoDetail(const UndoFailure& failure, const JournalMove& move) {
    switch (failure.outcome) {
        case UndoOutcome::Occupied:
            Say(" > '");
            Say(move.from);
            Say("' is in the way of '");
            Say(move.to);
            return Say("'; nothing was moved\n");
        case UndoOutcome::Replaced:
            Say(" > '");
            Say(move.to);
            Say("' is not the file the install moved there from '");
            Say(move.from);
            return Say("'; nothing was moved\n");
        case UndoOutcome::Missing:
            Say(" > the file the install moved from '");
            Say(move.from);
            Say("' to '");
            Say(move.to);
            return Say("' is at neither\n");
        default:
            Say(" > moving '");
            Say(move.to);
            Say("' back to '");
            Say(move.from);
            return Say("' was refused\n");
    }
}

// The swap's own verdicts: the first move took the original to the backup,
// the second the modified file to the original; undone, the second goes
// first.
std::size_t UndoSwap(const JournalCommand& command, const UndoChain& chain) {
    Say("Unswapping files...");
    const auto failure = UndoMoves(command, chain);
    if (!failure) {
        Say("succeeded!\n");
        return 0;
    }
    const std::string original = ArgumentText(command, 0);
    const std::string modified = ArgumentText(command, 1);
    const std::string backup = ArgumentText(command, 2);
    const bool second = failure->index > 0;
    Say("FAILED!");
    switch (failure->outcome) {
        case UndoOutcome::Occupied:
            second ? SayFileError("\n > the modified file '", modified, "' still exists!\n")
                   : SayFileError("\n > cannot restore '", backup, "'!\n");
            break;
        case UndoOutcome::Missing:
            second ? SayFileError("\n > the original file '", original, "' does not exist!\n")
                   : SayFileError("\n > the backup file '", backup, "' does not exist!\n");
            break;
        default:
            second ? SayFileError("\n > cannot move '", original, "'!\n")
                   : SayFileError("\n > cannot restore '", backup, "'!\n");
    }
    SayUndoDetail(*failure, command.moves[failure->index]);
    return failure->outOfPlace;
}

std::size_t UndoRename(const JournalCommand& command, const UndoChain& chain) {
    const auto failure = UndoMoves(command, chain);
    if (!failure) {
        return 0;
    }
    const std::string source = ArgumentText(command, 0);
    const std::string target = ArgumentText(command, 1);
    switch (failure->outcome) {
        case UndoOutcome::Missing:
            SayFileError("ERROR: the file '", target, "' does not exist!\n");
            break;
        case UndoOutcome::Occupied:
            SayFileError("ERROR: the file '", source, "' already exists!\n");
            break;
        default:
            Say("ERROR: failed to rename '");
            Say(target);
            SayFileError("' to '", source, "'!\n");
    }
    SayUndoDetail(*failure, command.moves[failure->index]);
    return failure->outOfPlace;
}

// Changing the directory moves nothing, and the journal's paths are whole.
std::size_t UndoNothing(const JournalCommand&, const UndoChain&) {
    return 0;
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
