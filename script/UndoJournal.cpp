#include "script/UndoJournal.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include "platform/AsciiCase.h"
#include "script/PathModel.h"

namespace srdw {

namespace {

// Most of a journal is small texts; a block holds a few hundred commands'.
constexpr std::size_t kStoreBlock = std::size_t{64} * 1024;
static_assert(std::is_trivially_destructible_v<JournalArgument>,
              "the store's arguments are never destroyed one by one");

MoveRecord ToRecord(const JournalMove& move) {
    return {move.from, move.to, move.attributes.directory, move.attributes.readOnly,
            move.attributes.identity};
}

JournalMove FromRecord(const MoveRecord& record) {
    JournalMove move;
    move.from = record.from;
    move.to = record.to;
    move.attributes.directory = record.directory;
    move.attributes.readOnly = record.readOnly;
    move.attributes.normal = !record.readOnly;
    move.attributes.identity = record.identity;
    return move;
}

// Keeps the first `commands` commands and the first `moves` moves of them.
void Cut(JournalContents& contents, std::size_t commands, std::size_t moves) {
    contents.commands.resize(std::min(commands, contents.commands.size()));
    for (auto& command : contents.commands) {
        command.moves.resize(std::min(moves, command.moves.size()));
        moves -= command.moves.size();
    }
}

// The same file name (letter case included) in the same folder (letter case
// and separators aside): a plan of the folder spells the folders as the
// script does, the install as the system gives them.
bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto fold = [](char c) { return c == '/' ? '\\' : LowerAscii(c); };
    const auto last = a.find_last_of("\\/") + 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i < last ? fold(a[i]) != fold(b[i]) : a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// Adds one record to what was read; false when it makes no sense there.
bool Apply(JournalRecord&& record, JournalContents& contents, bool& started) {
    if (auto* start = std::get_if<StartRecord>(&record)) {
        if (started) {
            return false;
        }
        contents.folder = std::move(start->folder);
        contents.scriptChecksum = start->scriptChecksum;
        return started = true;
    }
    if (!started) {
        return false;
    }
    if (auto* folder = std::get_if<FolderRecord>(&record)) {
        if (!contents.commands.empty() || contents.folderIdentity.known) {
            return false;
        }
        contents.folderIdentity = folder->identity;
        return true;
    }
    if (auto* command = std::get_if<CommandRecord>(&record)) {
        contents.AddCommand(command->index, command->name, command->arguments);
        return true;
    }
    if (auto* move = std::get_if<MoveRecord>(&record)) {
        if (contents.commands.empty()) {
            return false;
        }
        contents.commands.back().moves.push_back(FromRecord(*move));
        return true;
    }
    if (std::holds_alternative<FailedRecord>(record)) {
        if (contents.commands.empty() || contents.commands.back().moves.empty()) {
            return false;
        }
        contents.commands.back().moves.back().failed = true;
        return true;
    }
    if (std::holds_alternative<PlanEndRecord>(record)) {
        return !std::exchange(contents.planned, true);
    }
    if (auto* cut = std::get_if<CutRecord>(&record)) {
        Cut(contents, cut->commands, cut->moves);
        return contents.planned;
    }
    if (std::holds_alternative<EndRecord>(record)) {
        return contents.complete = true;
    }
    const auto& undone = std::get<UndoneRecord>(record);
    if (undone.command >= contents.commands.size()) {
        return false;
    }
    contents.commands[undone.command].undone = true;
    return true;
}

// A restore's progress records are written in batches of about this size.
constexpr std::size_t kProgressBatch = 4096;
// A plan is handed to the file in pieces of about this size.
constexpr std::size_t kPlanBatch = 1 << 16;

}  // namespace

void* JournalStore::Take(std::size_t bytes, std::size_t alignment) {
    const std::size_t at = (used_ + alignment - 1) & ~(alignment - 1);
    if (block_ && at + bytes <= size_) {
        used_ = at + bytes;
        return block_ + at;
    }
    if (bytes > kStoreBlock / 4) {
        // A long one gets a block of its own; the current block stays in use.
        blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(bytes));
        return blocks_.back().get();
    }
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kStoreBlock));
    block_ = blocks_.back().get();
    size_ = kStoreBlock;
    used_ = bytes;
    return block_;
}

std::string_view JournalStore::Keep(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    auto* kept = static_cast<char*>(Take(text.size(), 1));
    std::memcpy(kept, text.data(), text.size());
    return {kept, text.size()};
}

std::span<const JournalArgument> JournalStore::Keep(std::span<const JournalArgument> arguments) {
    if (arguments.empty()) {
        return {};
    }
    auto* kept = static_cast<JournalArgument*>(
        Take(sizeof(JournalArgument) * arguments.size(), alignof(JournalArgument)));
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view source = Keep(arguments[i].source);
        std::optional<std::string_view> expanded;
        if (const auto& given = arguments[i].expanded) {
            const auto at = source.find(*given);
            expanded =
                at == std::string_view::npos ? Keep(*given) : source.substr(at, given->size());
        }
        std::construct_at(kept + i, JournalArgument{source, expanded});
    }
    return {kept, arguments.size()};
}

JournalCommand& JournalContents::AddCommand(std::uint32_t index, std::string_view name,
                                            std::span<const JournalArgument> arguments) {
    return commands.emplace_back(
        JournalCommand{index, store.Keep(name), store.Keep(arguments), {}, false});
}

OsResult UndoJournal::Start(const std::string& path, std::string folder,
                            FileIdentity folderIdentity, std::uint32_t scriptChecksum) {
    contents_ = {};
    phase_ = Phase::Idle;
    pending_.clear();
    plannedMoves_.clear();
    plannedCommands_ = commandsSeen_ = movesMatched_ = syncs_ = 0;
    failed_ = refusedMoves_ = false;
    error_ = OsError::None;
    contents_.folder = std::move(folder);
    contents_.folderIdentity = folderIdentity;
    contents_.scriptChecksum = scriptChecksum;
    file_ = path.empty() ? nullptr : Files().CreateOutputFile(path, &error_);
    if (file_) {
        pending_ = kJournalHeader;
        Add(StartRecord{contents_.folder, scriptChecksum});
        Add(FolderRecord{folderIdentity});
    }
    return {path.empty() ? OsError::None : error_};
}

void UndoJournal::BeginPlan(std::size_t commands) {
    phase_ = Phase::Planning;
    // The plan's list then grows once, not by doubling through copies of itself.
    contents_.commands.reserve(commands);
}

OsResult UndoJournal::EndPlan() {
    plannedCommands_ = contents_.commands.size();
    for (std::size_t c = 0; c < plannedCommands_; ++c) {
        for (std::size_t m = 0; m < contents_.commands[c].moves.size(); ++m) {
            plannedMoves_.emplace_back(c, m);
        }
    }
    phase_ = Phase::Following;
    contents_.planned = true;
    Add(PlanEndRecord{});
    return file_ ? WritePending(true) : OsResult::Ok();
}

void UndoJournal::BeginCommand(std::uint32_t index, std::string_view name,
                               std::span<const JournalArgument> arguments) {
    if (phase_ == Phase::Idle) {
        static_cast<void>(EndPlan());  // nothing planned: every move is recorded on its own
    }
    if (phase_ == Phase::Following) {
        ++commandsSeen_;
        if (commandsSeen_ <= plannedCommands_ &&
            contents_.commands[commandsSeen_ - 1].index == index) {
            return;
        }
        Diverge(commandsSeen_ - 1, movesMatched_);
    }
    Add(CommandRecord{index, name, arguments});
    contents_.AddCommand(index, name, arguments);
}

bool UndoJournal::MatchesPlan(const JournalMove& move) const {
    if (movesMatched_ >= plannedMoves_.size()) {
        return false;
    }
    const auto [command, at] = plannedMoves_[movesMatched_];
    const JournalMove& planned = contents_.commands[command].moves[at];
    return command + 1 == commandsSeen_ && !planned.failed && SamePath(planned.from, move.from) &&
           SamePath(planned.to, move.to) && planned.attributes.identity == move.attributes.identity;
}

bool UndoJournal::BeforeMove(JournalMove move) {
    if (phase_ == Phase::Idle) {
        static_cast<void>(EndPlan());
    }
    if (file_ && failed_) {
        refusedMoves_ = true;
        return false;
    }
    if (phase_ == Phase::Following) {
        if (MatchesPlan(move)) {
            ++movesMatched_;
            return true;
        }
        Diverge(commandsSeen_, movesMatched_);
    }
    Add(ToRecord(move));
    // A planned move needs no write now; any other reaches the disk before the move.
    if (phase_ == Phase::Diverged && file_ && !WritePending(true)) {
        refusedMoves_ = true;
        return false;
    }
    if (contents_.commands.empty()) {
        contents_.commands.push_back({});  // a move outside any command: undone all the same
    }
    contents_.commands.back().moves.push_back(std::move(move));
    return true;
}

void UndoJournal::MoveFailed() {
    if (phase_ == Phase::Following) {
        // The plan counted on it: the plan stands only up to it, and the
        // install goes on record by record.
        Diverge(commandsSeen_, movesMatched_);
    }
    Add(FailedRecord{});
    if (!contents_.commands.empty() && !contents_.commands.back().moves.empty()) {
        contents_.commands.back().moves.back().failed = true;
    }
    // Handed to the file at once, so that a recovery after a kill knows the
    // command moved nothing; lost to a power loss, the disk says as much.
    if (phase_ != Phase::Planning && file_) {
        static_cast<void>(WritePending(false));
    }
}

bool UndoJournal::Finish() {
    if (phase_ == Phase::Idle) {
        static_cast<void>(EndPlan());
    }
    if (phase_ == Phase::Following &&
        (commandsSeen_ != plannedCommands_ || movesMatched_ != plannedMoves_.size())) {
        Diverge(commandsSeen_, movesMatched_);
    }
    Add(EndRecord{});
    contents_.complete = true;
    return WritePending(true) && Written();
}

bool JournalContents::NothingToUndo() const {
    if (torn && !tornTail) {
        return false;  // what the lost records say is not known
    }
    return !planned || std::all_of(commands.begin(), commands.end(), [](const JournalCommand& c) {
        return c.undone || std::all_of(c.moves.begin(), c.moves.end(),
                                       [](const JournalMove& m) { return m.failed; });
    });
}

void SyncMovedFolders(const JournalContents& journal) {
    std::vector<std::string> synced;  // by PathKey
    for (const auto& command : journal.commands) {
        for (const auto& move : command.moves) {
            for (const std::string* path : {&move.from, &move.to}) {
                std::string folder = path->substr(0, path->find_last_of("\\/") + 1);
                // A drive's or the system's root keeps its separator.
                if (folder.size() > 1 && folder[folder.size() - 2] != ':') {
                    folder.pop_back();
                }
                std::string key = PathKey(folder);
                if (move.failed || folder.empty() ||
                    std::find(synced.begin(), synced.end(), key) != synced.end()) {
                    continue;
                }
                synced.push_back(std::move(key));
                // Best effort: a folder that cannot be written through is no reason
                // to keep records that the next start would only find put back.
                static_cast<void>(Files().SyncFolder(folder));
            }
        }
    }
}

bool UndoJournal::Reopen(const std::string& path) {
    file_ = Files().AppendToFile(path);
    failed_ = false;
    return file_ != nullptr;
}

void UndoJournal::CommandUndone(std::size_t position) {
    if (position < contents_.commands.size()) {
        contents_.commands[position].undone = true;
    }
    // Gathered into few writes and not synced: a record lost to a kill or a
    // power loss costs only a look at the disk, which finds the files back
    // by their identity.
    Add(UndoneRecord{static_cast<std::uint32_t>(position)});
    if (pending_.size() >= kProgressBatch) {
        static_cast<void>(WritePending(false));
    }
}

void UndoJournal::FlushProgress() {
    if (!pending_.empty()) {
        static_cast<void>(WritePending(false));
    }
}

void UndoJournal::Diverge(std::size_t commands, std::size_t moves) {
    Cut(contents_, commands, moves);
    Add(CutRecord{static_cast<std::uint32_t>(commands), static_cast<std::uint32_t>(moves)});
    phase_ = Phase::Diverged;
}

void UndoJournal::Add(const JournalRecord& record) {
    if (file_ && !failed_) {
        AppendFrame(record, pending_);
        // A long plan goes to the file as it grows, unsynced, so that its
        // bytes are not held beside its contents; the plan's end syncs once.
        if (phase_ == Phase::Planning && pending_.size() >= kPlanBatch) {
            static_cast<void>(WritePending(false));
        }
    }
}

// While planning, records reach the disk at the plan's end; a command's record
// waits for its first move or the journal's end, since a command that moved
// nothing has nothing to undo.
OsResult UndoJournal::WritePending(bool sync) {
    if (!file_ || failed_) {
        return {file_ ? error_ : OsError::Other};
    }
    OsResult written = file_->Write(pending_);
    if (written && sync) {
        written = file_->SyncToDisk();
    }
    if (!written) {
        failed_ = true;
        error_ = written.error;
        return written;
    }
    syncs_ += sync ? 1 : 0;
    pending_.clear();
    return OsResult::Ok();
}

std::optional<JournalContents> ReadJournal(const std::string& path) {
    const auto bytes = Files().ReadWholeFile(path);
    return bytes ? ParseJournal(*bytes) : std::nullopt;
}

std::optional<JournalContents> ParseJournal(std::string_view bytes) {
    if (!bytes.starts_with(kJournalHeader)) {
        return std::nullopt;
    }
    JournalContents contents;
    bool started = false;
    const FrameWalk walk = ReadFrames(bytes.substr(kJournalHeader.size()), [&](JournalRecord&& r) {
        return Apply(std::move(r), contents, started);
    });
    if (!started) {
        return std::nullopt;
    }
    contents.records = walk.taken;
    contents.torn = !walk.clean;
    contents.tornTail = walk.tailOnly;
    return contents;
}

}  // namespace srdw
