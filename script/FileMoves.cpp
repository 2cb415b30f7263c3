#include "script/FileMoves.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "script/PathModel.h"

namespace srdw {

namespace {

// The paths one command works on, each looked up once, together; its moves
// keep them up to date. Paths that differ only in letter case or separators
// share one state. A path through "." or ".." is looked up as the journal
// keeps it, folded by the text: so the folder it names has a name of its own,
// spelled as stored, for the way back.
class CommandPaths {
  public:
    CommandPaths(FileSystem& files, std::span<const std::string> paths, UndoJournal* journal,
                 const std::string& directory) {
        std::vector<std::string> folded;
        if (std::any_of(paths.begin(), paths.end(), HasDotPart)) {
            for (const std::string& path : paths) {
                folded.push_back(HasDotPart(path) ? Resolve(ResolveAbsolute(directory), path).Text()
                                                  : path);
            }
            paths = folded;
        }
        std::vector<std::string_view> distinct;
        distinct.reserve(paths.size());
        stateOf_.reserve(paths.size());
        for (const std::string_view path : paths) {
            // Folding keeps a path's length: only paths of one length can share a key.
            std::size_t at = 0;
            while (at < distinct.size() && distinct[at] != path &&
                   (distinct[at].size() != path.size() || PathKey(distinct[at]) != PathKey(path))) {
                ++at;
            }
            stateOf_.push_back(at);
            if (at == distinct.size()) {
                distinct.emplace_back(path);
            }
        }
        const auto lookUp = [&](std::span<const std::string> asked) {
            return journal ? journal->LookUp(files, asked, directory) : files.LookUp(asked);
        };
        // Paths that name files of their own are looked up as they are, not copied.
        states_ = distinct.size() == paths.size()
                      ? lookUp(paths)
                      : lookUp(std::vector<std::string>(distinct.begin(), distinct.end()));
    }
    PathState& operator[](std::size_t index) { return states_[stateOf_[index]]; }

  private:
    std::vector<std::size_t> stateOf_;
    std::vector<PathState> states_;
};

// A file that another program holds for a moment (a virus scanner, an indexer,
// the game's lingering process) is tried again after growing pauses, each
// told to the engine's listener; any other failure is final at once. A
// read-only file is made writable only when the system refuses to move it
// otherwise, and read-only again right after, so that no crash can leave a
// game file writable that was read-only.
bool MoveKeepingAttributes(const Engine& engine, const PathState& from, const PathState& to) {
    const auto move = [&] {
        unsigned pause = kFirstRetryPause;
        for (int attempt = 0;; ++attempt) {
            const OsResult moved = engine.files.MoveLookedUp(from, to);
            if (moved || moved.error != OsError::SharingViolation || attempt == kMoveRetries) {
                return moved;
            }
            engine.observer.MoveHeld(from.path, pause);
            engine.files.Sleep(pause);
            pause *= 2;
        }
    };
    const OsResult moved = move();
    const auto& attributes = from.attributes;
    if (moved || moved.error != OsError::AccessDenied || !attributes || !attributes->readOnly) {
        return static_cast<bool>(moved);
    }
    // Ignored by design: the move that follows tells whether it helped.
    static_cast<void>(engine.files.SetNormalAttributes(from.native));
    const bool movedNow = static_cast<bool>(move());
    // Ignored by design: the move is what the script asked for, and it is done.
    static_cast<void>(
        engine.files.RestoreAttributes(movedNow ? to.native : from.native, *attributes));
    return movedNow;
}

// A path as the journal keeps it: full, and with "." and ".." folded by the
// text as Windows folds them (the backend folds them so on every system), so
// that a move back reaches its place also once a folder the path passed
// through has moved. A path kept as it is is not copied: `made` holds one
// made anew.
std::string_view JournalPath(const std::string& path, const std::string& directory,
                             std::string& made) {
    if (HasDotPart(path)) {
        return made = Resolve(ResolveAbsolute(directory), path).Text();
    }
    return IsFullPath(path) ? std::string_view(path) : (made = FullPath(path, directory));
}

// Never replaces an existing target. An install's move is not made when the
// journal's file cannot take its record: what no journal holds, no crash
// recovery could undo. A move that is made updates both states.
bool MovePath(const CommandRun& run, PathState& from, PathState& to) {
    const bool folder = from.attributes && from.attributes->directory;
    // Windows moves no folder that holds a program's current directory: the
    // launcher's own is refused at once, not waited for as another program's.
    if (kWindowsPaths && folder) {
        const ResolvedPath here = ResolveAbsolute(run.directory);
        if (IsWithin(here, Resolve(here, from.stored))) {
            return false;
        }
    }
    if (run.journal) {
        const FileAttributes attributes = from.attributes.value_or(FileAttributes{});
        std::string made[2];
        const auto source = JournalPath(from.stored, run.directory, made[0]);
        const auto target = JournalPath(to.path, run.directory, made[1]);
        if (!run.journal->BeforeMove(
                {source, target, attributes.directory, attributes.readOnly, attributes.identity})) {
            return false;
        }
    }
    if (!MoveKeepingAttributes(run.engine, from, to)) {
        if (run.journal) {
            run.journal->MoveFailed();
        }
        return false;
    }
    if (folder && !kWindowsPaths) {  // on Windows it stays: such a move was refused above
        run.directory = run.engine.files.WorkingDirectory();
    }
    to.attributes = from.attributes;
    to.stored = to.path;
    from.attributes.reset();
    // The file that takes the place of one moved away gets the name as it was
    // stored: also when the script spells it in another letter case, the game
    // finds its file as it was.
    from.path = from.stored;
    return true;
}

void SayStep(const Engine& engine, const CommandStep& step,
             const std::function<std::string_view(std::size_t)>& argument) {
    engine.Say(step.leadIn);
    engine.Say(argument(step.path));
    if (!step.between.empty()) {
        engine.Say(step.between);
        engine.Say(argument(step.to));
    }
    engine.Say(step.closing);
}

}  // namespace

Verdict Perform(const CommandRun& run, const Procedure& procedure) {
    const auto namesOwnFile = [&run](const auto& held) {
        for (std::size_t i = 0; run.ownFiles && i < run.arguments.size(); ++i) {
            if (held(i)) {
                run.engine.Say("ERROR: '");
                run.engine.Say(run.arguments[i]);
                run.engine.Say(
                    "' is one of the launcher's own files, or holds one; nothing is moved!\n");
                return true;
            }
        }
        return false;
    };
    if (namesOwnFile(
            [&](std::size_t i) { return run.ownFiles->Holds(run.arguments[i], run.directory); })) {
        return Verdict::Failed;
    }
    if (std::any_of(run.arguments.begin(), run.arguments.end(),
                    [](const std::string& argument) { return argument.empty(); })) {
        return Verdict::Skipped;
    }
    const Engine& engine = run.engine;
    CommandPaths paths(engine.files, run.arguments, run.journal, run.directory);
    if (namesOwnFile([&](std::size_t i) { return run.ownFiles->Holds(paths[i].attributes); })) {
        return Verdict::Failed;
    }
    engine.Say(procedure.opening);
    const CommandStep* moved = nullptr;
    for (const auto& step : procedure.steps) {
        PathState& at = paths[step.path];
        bool done = step.kind == CommandStep::Present ? at.Exists() : !at.Exists();
        if (step.kind == CommandStep::Move) {
            done = MovePath(run, at, paths[step.to]);
        }
        if (!done) {
            if (run.stuck && step.kind != CommandStep::Present) {
                ++*run.stuck;
            }
            engine.Say(procedure.failed);
            SayStep(engine, step,
                    [&run](std::size_t i) -> std::string_view { return run.arguments[i]; });
            if (step.kind == CommandStep::Move && moved) {
                // After a failed second move the first one is taken back, so
                // the triple is as it was before.
                PathState& movedTo = paths[moved->to];
                PathState& movedFrom = paths[moved->path];
                const bool back = MovePath(run, movedTo, movedFrom);
                engine.Say(back ? " > the first move was undone: moved '"
                                : " > ERROR: cannot move '");
                engine.Say(movedTo.path);
                engine.Say("' back to '");
                engine.Say(movedFrom.path);
                engine.Say(back ? "'\n" : "'!\n");
            }
            return Verdict::Failed;
        }
        moved = step.kind == CommandStep::Move ? &step : moved;
    }
    engine.Say(procedure.succeeded);
    return Verdict::Done;
}

namespace {

// A folder named with a separator at its end ("Off\") is the folder "Off".
std::string_view WithoutEndSeparator(std::string_view path) {
    return path.substr(0, path.find_last_not_of("\\/") + 1);
}

// Whether the journal path `path` is `folder`, or lies below it.
bool AtOrBelow(std::string_view path, std::string_view folder) {
    folder = WithoutEndSeparator(folder);
    return path.size() >= folder.size() &&
           (path.size() == folder.size() || path[folder.size()] == '\\' ||
            path[folder.size()] == '/') &&
           PathKey(path.substr(0, folder.size())) == PathKey(folder);
}

// Where the journal path `path` is once what stood at `from` (itself, or a
// folder holding it) has moved to `to`; none where it does not lie there.
std::optional<std::string> MovedAlong(std::string_view path, std::string_view from,
                                      std::string_view to) {
    if (!AtOrBelow(path, from)) {
        return std::nullopt;
    }
    return std::string(WithoutEndSeparator(to))
        .append(path.substr(WithoutEndSeparator(from).size()));
}

// Whether the move's file is neither where it went nor where it came from
// because it is at the source of an earlier move of it: a file that passed
// through several names (a chain across commands) and was put back further
// already, by a restore whose records of that were lost. The move's source is
// followed back through the moves before it: a move of the file itself, or of
// a folder it lies in, took it there from somewhere else.
bool FoundFurtherBack(FileSystem& files, const JournalContents& journal, const JournalMove& move) {
    if (!move.identity.known) {
        return false;
    }
    std::vector<std::string> earlier{std::string(move.from)};
    bool before = false;
    for (auto command = journal.commands.rbegin(); command != journal.commands.rend(); ++command) {
        for (auto other = command->moves.rbegin(); other != command->moves.rend(); ++other) {
            if (!before) {
                before = &*other == &move;
                continue;
            }
            if (auto back = other->failed ? std::nullopt
                                          : MovedAlong(earlier.back(), other->to, other->from)) {
                earlier.push_back(std::move(*back));
            }
        }
    }
    earlier.erase(earlier.begin());  // the source itself was looked at already
    const auto found = files.LookUp(earlier);
    return std::any_of(found.begin(), found.end(), [&move](const PathState& state) {
        return state.attributes && state.attributes->identity == move.identity;
    });
}

// Whether the move's file is where an earlier move of its command took a folder
// holding it: the command looked the path up before that move, and the move of
// the file failed or was never made. Putting the folder back brings it back.
bool TakenAlong(FileSystem& files, std::span<const JournalMove> moves, std::size_t index) {
    const JournalMove& move = moves[index];
    for (std::size_t i = index; move.identity.known && i-- > 0;) {
        const auto now = moves[i].failed || !moves[i].directory
                             ? std::nullopt
                             : MovedAlong(move.from, moves[i].from, moves[i].to);
        if (now) {
            const auto found = files.LookUp(std::span(&*now, 1)).front().attributes;
            return found && found->identity == move.identity;
        }
    }
    return false;
}

// Whether the move's file is at its source and its target both, the target
// being where an earlier move took the same file from: the game's own second
// name of the file (a hard link), which a restore put back with the first,
// its record of that lost. Both names are as they were.
bool BackUnderBothNames(const JournalContents& journal, const JournalMove& move,
                        const PathState& source) {
    if (!move.identity.known || !source.attributes ||
        source.attributes->identity != move.identity) {
        return false;
    }
    const std::string target = PathKey(move.to);
    for (const auto& command : journal.commands) {
        for (const auto& other : command.moves) {
            if (&other == &move) {
                return false;
            }
            if (!other.failed && other.identity == move.identity && PathKey(other.from) == target) {
                return true;
            }
        }
    }
    return false;
}

enum class UndoOutcome {
    Undone,     // moved back
    NotNeeded,  // it never happened, or was undone already
    Occupied,   // something stands where the file is to go back: nothing is overwritten
    Missing,    // the file is neither where it went nor where it came from
    Replaced,   // another file stands where the install put the file
    Failed,     // the move back was refused
    // The folder holds what a later command could not put back: moved back,
    // it would take that away from where the journal looks for it.
    HoldsStuck,
};

// Whether what the look-up found is the file the move recorded; a file of
// unknown identity passes on its name alone.
bool IsMovedFile(const JournalMove& move, const std::optional<FileAttributes>& found) {
    return found &&
           (!move.identity.known || !found->identity.known || found->identity == move.identity);
}

// A crash may have left the read-only bit cleared; only that bit is put back.
void PutBackReadOnly(FileSystem& files, const JournalMove& move, PathState& at) {
    FileAttributes recorded;
    recorded.readOnly = move.readOnly;
    if (at.attributes && at.attributes->readOnly != move.readOnly &&
        files.RestoreAttributes(at.native, recorded)) {
        at.attributes->readOnly = move.readOnly;
    }
}

UndoOutcome UndoMove(const CommandRun& run, const JournalMove& move, PathState& source,
                     PathState& target) {
    if (move.failed) {
        return UndoOutcome::NotNeeded;
    }
    FileSystem& files = run.engine.files;
    if (!IsMovedFile(move, target.attributes)) {
        if (IsMovedFile(move, source.attributes)) {
            PutBackReadOnly(files, move, source);  // not moved, or moved back already
            return UndoOutcome::NotNeeded;
        }
        return target.Exists() ? UndoOutcome::Replaced : UndoOutcome::Missing;
    }
    if (source.Exists()) {
        return UndoOutcome::Occupied;
    }
    if (!MovePath(run, target, source)) {
        return UndoOutcome::Failed;
    }
    PutBackReadOnly(files, move, source);  // the file is back; its bit is the lesser matter
    if (run.movedBack) {
        ++*run.movedBack;
    }
    return UndoOutcome::Undone;
}

// The restore's step whose words tell the failure: the move back of the
// install's `index`-th move (the restore's moves take the install's back in
// the other order), or the check before it that guards its target (something
// in the way) or its source (the file missing).
const CommandStep& StepFor(const Procedure& restore, std::size_t index, UndoOutcome outcome) {
    std::vector<const CommandStep*> moves;
    for (const auto& step : restore.steps) {
        if (step.kind == CommandStep::Move) {
            moves.push_back(&step);
        }
    }
    const CommandStep& back = *moves[moves.size() - 1 - std::min(index, moves.size() - 1)];
    const auto guard = [&](CommandStep::Kind kind, std::uint8_t path) {
        const auto found = std::find_if(
            restore.steps.begin(), restore.steps.end(),
            [&](const CommandStep& step) { return step.kind == kind && step.path == path; });
        return found == restore.steps.end() ? &back : &*found;
    };
    if (outcome == UndoOutcome::Occupied) {
        return *guard(CommandStep::Absent, back.to);
    }
    return outcome == UndoOutcome::Missing ? *guard(CommandStep::Present, back.path) : back;
}

void SayUndoDetail(const Engine& engine, UndoOutcome outcome, const JournalMove& move) {
    const std::string_view from = move.from;
    const std::string_view to = move.to;
    const auto say = [&engine](std::initializer_list<std::string_view> pieces) {
        for (const auto piece : pieces) {
            engine.Say(piece);
        }
    };
    switch (outcome) {
        case UndoOutcome::Occupied:
            return say({" > '", from, "' is in the way of '", to, "'; nothing was moved\n"});
        case UndoOutcome::Replaced:
            return say({" > '", to, "' is not the file the install moved there from '", from,
                        "'; nothing was moved\n"});
        case UndoOutcome::Missing:
            return say(
                {" > the file the install moved from '", from, "' to '", to, "' is at neither\n"});
        case UndoOutcome::HoldsStuck:
            return say(
                {" > '", to, "' holds what could not be put back; it stays until that can\n"});
        default:
            return say({" > moving '", to, "' back to '", from, "' was refused\n"});
    }
}

}  // namespace

// Undoes the moves last first, and stops at the first that cannot be undone:
// what is left stays for the next try. Every path of the command's moves is
// looked up once, sources first, so that a name shared by two moves is
// spelled as the journal stored it.
std::size_t Undo(const CommandRun& run, const Procedure& restore, const JournalCommand& command,
                 const JournalContents& journal, std::vector<std::string_view>& stuck) {
    const Engine& engine = run.engine;
    engine.Say(restore.opening);
    const auto& moves = command.moves;
    std::vector<std::string> names(2 * moves.size());
    for (std::size_t i = 0; i < moves.size(); ++i) {
        names[i] = moves[i].from;
        names[moves.size() + i] = moves[i].to;
    }
    std::optional<CommandPaths> paths(std::in_place, engine.files, names, nullptr, run.directory);
    // The take-back of the command's own first move (a swap whose second move
    // failed): that move's undo finds the file back, or brings it back where
    // the take-back was never made, without moving it away and back.
    const auto takesBack = [&moves](std::size_t i) {
        return std::any_of(moves.begin(), moves.begin() + static_cast<std::ptrdiff_t>(i),
                           [&back = moves[i]](const JournalMove& m) {
                               return !m.failed && m.from == back.to && m.to == back.from &&
                                      m.identity == back.identity;
                           });
    };
    for (std::size_t i = moves.size(); i-- > 0;) {
        const JournalMove& move = moves[i];
        if (!move.failed && takesBack(i)) {
            continue;
        }
        const UndoOutcome outcome =
            !move.failed && move.directory &&
                    std::any_of(stuck.begin(), stuck.end(),
                                [&move](std::string_view path) { return AtOrBelow(path, move.to); })
                ? UndoOutcome::HoldsStuck
                : UndoMove(run, move, (*paths)[i], (*paths)[moves.size() + i]);
        if (outcome == UndoOutcome::Undone && move.directory) {
            // What lay below the folder came along: each path is looked up again.
            paths.emplace(engine.files, names, nullptr, run.directory);
        }
        if (outcome == UndoOutcome::Undone || outcome == UndoOutcome::NotNeeded ||
            ((outcome == UndoOutcome::Missing || outcome == UndoOutcome::Replaced) &&
             FoundFurtherBack(engine.files, journal, move)) ||
            (outcome == UndoOutcome::Missing && TakenAlong(engine.files, moves, i)) ||
            (outcome == UndoOutcome::Occupied && BackUnderBothNames(journal, move, (*paths)[i]))) {
            continue;
        }
        engine.Say(restore.failed);
        // In the command's words, with its arguments as the install had them.
        SayStep(engine, StepFor(restore, i, outcome), [&command](std::size_t at) {
            if (at >= command.arguments.size()) {
                return std::string_view();
            }
            const auto& argument = command.arguments[at];
            return argument.expanded.value_or(argument.source);
        });
        SayUndoDetail(engine, outcome, move);
        std::size_t left = 0;
        for (std::size_t j = 0; j <= i; ++j) {
            if (!moves[j].failed) {
                ++left;
                stuck.push_back(moves[j].from);
                stuck.push_back(moves[j].to);
            }
        }
        return left;
    }
    engine.Say(restore.succeeded);
    return 0;
}

}  // namespace srdw
