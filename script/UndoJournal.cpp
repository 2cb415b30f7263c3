#include "script/UndoJournal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>
#include <variant>

#include "platform/AsciiCase.h"
#include "script/PathModel.h"

namespace srdw {

namespace {

// The records, in the order of the kind byte that begins each (from 1).
struct StartRecord {
    std::string_view folder;
    std::uint32_t scriptChecksum = 0;
};
struct CommandRecord {
    std::uint32_t index = 0;
    std::string_view name;
    std::vector<JournalArgument> arguments;
};
struct FailedRecord {};   // the move just recorded was refused by the system
struct PlanEndRecord {};  // everything the install is to do is above, and on the disk
// The install went otherwise than planned: only the first `commands` commands
// and `moves` moves of the plan stand; the records after this one say the rest.
struct CutRecord {
    std::uint32_t commands = 0;
    std::uint32_t moves = 0;
};
struct EndRecord {};  // the install ran to its end
// A restore put back every move of the command at this position of the journal.
struct UndoneRecord {
    std::uint32_t command = 0;
};
// Right after the start: the game folder as the file system knows it, so that
// a copy of the folder, or another folder of that name, is told from it.
struct FolderRecord {
    FileIdentity identity;
};
using Record = std::variant<StartRecord, CommandRecord, JournalMove, FailedRecord, PlanEndRecord,
                            CutRecord, EndRecord, UndoneRecord, FolderRecord>;

// Puts fields into a record's bytes.
class Writer {
  public:
    explicit Writer(std::string& out) : out_(out) {}

    void operator()(std::uint32_t value) { Put(value, 4); }
    void operator()(std::uint64_t value) { Put(value, 8); }
    void operator()(bool flag) { out_.push_back(flag ? '\1' : '\0'); }
    void operator()(std::string_view text) {
        (*this)(static_cast<std::uint32_t>(text.size()));
        out_.append(text);
    }
    void operator()(const std::optional<std::string_view>& text) {
        (*this)(text.has_value());
        if (text) {
            (*this)(*text);
        }
    }
    void operator()(const std::vector<JournalArgument>& arguments) {
        (*this)(static_cast<std::uint32_t>(arguments.size()));
        for (const auto& argument : arguments) {
            (*this)(argument.source);
            (*this)(argument.expanded);
        }
    }

  private:
    void Put(std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out_.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
        }
    }
    std::string& out_;
};

// Takes the same fields out again; any read past the end makes it bad. The
// texts it takes are views into the record's bytes.
class Reader {
  public:
    explicit Reader(std::string_view data) : data_(data) {}

    void operator()(std::uint32_t& value) { value = static_cast<std::uint32_t>(Take(4)); }
    void operator()(std::uint64_t& value) { value = Take(8); }
    void operator()(bool& flag) {
        const auto byte = Take(1);
        good_ = good_ && byte <= 1;
        flag = byte == 1;
    }
    void operator()(std::string_view& text) {
        const auto size = Take(4);
        if (data_.size() < size) {
            return Fail();
        }
        text = data_.substr(0, size);
        data_.remove_prefix(size);
    }
    void operator()(std::optional<std::string_view>& text) {
        bool present = false;
        (*this)(present);
        if (present) {
            (*this)(text.emplace());
        }
    }
    void operator()(std::vector<JournalArgument>& arguments) {
        std::uint32_t count = 0;
        (*this)(count);
        for (std::uint32_t i = 0; i < count && good_; ++i) {
            (*this)(arguments.emplace_back().source);
            (*this)(arguments.back().expanded);
        }
    }
    bool Whole() const { return good_ && data_.empty(); }

  private:
    std::uint64_t Take(std::size_t bytes) {
        if (data_.size() < bytes) {
            Fail();
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = bytes; i-- > 0;) {
            value = (value << 8) | static_cast<unsigned char>(data_[i]);
        }
        data_.remove_prefix(bytes);
        return value;
    }
    void Fail() {
        good_ = false;
        data_ = {};
    }
    std::string_view data_;
    bool good_ = true;
};

template <typename Io, typename Identity>
void IdentityFields(Io& io, Identity& identity) {
    io(identity.known);
    io(identity.volume);
    io(identity.file);
}

// The one list of each record's fields, in the order they are stored; the
// same for writing (`record` const) and reading.
template <typename Io, typename Kept>
void Fields(Io& io, Kept& record) {
    using Kind = std::remove_const_t<Kept>;
    if constexpr (std::is_same_v<Kind, StartRecord>) {
        io(record.folder);
        io(record.scriptChecksum);
    } else if constexpr (std::is_same_v<Kind, CommandRecord>) {
        io(record.index);
        io(record.name);
        io(record.arguments);
    } else if constexpr (std::is_same_v<Kind, JournalMove>) {
        io(record.from);
        io(record.to);
        io(record.directory);
        io(record.readOnly);
        IdentityFields(io, record.identity);
    } else if constexpr (std::is_same_v<Kind, CutRecord>) {
        io(record.commands);
        io(record.moves);
    } else if constexpr (std::is_same_v<Kind, UndoneRecord>) {
        io(record.command);
    } else if constexpr (std::is_same_v<Kind, FolderRecord>) {
        IdentityFields(io, record.identity);
    }
}

std::uint32_t NumberAt(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size() < 4 ? 0 : 4; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

// The kind byte of a record: its place among the records, from 1.
template <class Kind, std::size_t Index = 0>
constexpr std::size_t KindOf() {
    if constexpr (std::is_same_v<Kind, std::variant_alternative_t<Index, Record>>) {
        return Index + 1;
    } else {
        return KindOf<Kind, Index + 1>();
    }
}

template <class Kept>
void AppendFrame(const Kept& record, std::string& out) {
    std::string payload(1, static_cast<char>(KindOf<Kept>()));
    Writer writer(payload);
    Fields(writer, record);
    Writer frame(out);
    frame(static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
    frame(Checksum(payload));
}

template <std::size_t Index = 0>
std::optional<Record> Decode(std::size_t kind, std::string_view fields) {
    if constexpr (Index < std::variant_size_v<Record>) {
        if (kind != Index + 1) {
            return Decode<Index + 1>(kind, fields);
        }
        Reader in(fields);
        Record record(std::in_place_index<Index>);
        Fields(in, std::get<Index>(record));
        return in.Whole() ? std::optional(std::move(record)) : std::nullopt;
    } else {
        return std::nullopt;
    }
}

// Far more than the records written between two syncs (a batch of a
// restore's progress, an end record, one move's amendment): a damaged stretch
// longer than this was not left by a power loss. Records are short, so a
// whole one found after the damage is one of at most kLongestRecord bytes.
constexpr std::size_t kUnsyncedTail = std::size_t{64} * 1024;
constexpr std::uint32_t kLongestRecord = 16 * 1024;

// Damage with no whole record after it, near the end, is what a power loss
// leaves of bytes written since the last sync. A damaged record followed by
// good ones is not that: a sync made those later ones durable, and with them
// everything before.
bool OnlyTailDamaged(std::string_view damaged) {
    if (damaged.size() > kUnsyncedTail) {
        return false;
    }
    for (std::size_t at = 1; at + 9 <= damaged.size(); ++at) {
        const std::string_view rest = damaged.substr(at);
        const std::uint32_t length = NumberAt(rest);
        if (length != 0 && length <= kLongestRecord && rest.size() - 8 >= length &&
            NumberAt(rest.substr(4 + length)) == Checksum(rest.substr(4, length))) {
            return false;
        }
    }
    return true;
}

// Keeps the first `commands` commands and the first `moves` moves of them.
void Cut(JournalContents& contents, std::size_t commands, std::size_t moves) {
    contents.commands.resize(std::min(commands, contents.commands.size()));
    for (auto& command : contents.commands) {
        command.moves.resize(std::min(moves, command.moves.size()));
        moves -= command.moves.size();
    }
}

// With `sources` the sources too; else they are views the caller keeps alive.
void Keep(TextStore& texts, std::vector<JournalArgument>& arguments, bool sources = true) {
    for (auto& argument : arguments) {
        const std::string_view source = sources ? texts.Keep(argument.source) : argument.source;
        if (argument.expanded) {
            // An expansion that is part of its source (a path in quotes, one
            // without a placeholder) shares its bytes.
            const auto at = source.find(*argument.expanded);
            argument.expanded = at == std::string_view::npos
                                    ? texts.Keep(*argument.expanded)
                                    : source.substr(at, argument.expanded->size());
        }
        argument.source = source;
    }
}

// A move's paths are mostly its command's expanded arguments, and kept once.
JournalMove Kept(TextStore& texts, const JournalCommand* command, JournalMove move) {
    const auto keep = [&](std::string_view text) {
        if (command) {
            for (const auto& argument : command->arguments) {
                if (argument.expanded == text) {
                    return *argument.expanded;
                }
            }
        }
        return texts.Keep(text);
    };
    move.from = keep(move.from);
    move.to = keep(move.to);
    return move;
}

// Adds one record to what was read; false when it makes no sense there.
bool Apply(Record&& record, JournalContents& contents, bool& started) {
    if (auto* start = std::get_if<StartRecord>(&record)) {
        contents.folder = std::string(start->folder);
        contents.scriptChecksum = start->scriptChecksum;
        return !std::exchange(started, true);
    }
    auto& commands = contents.commands;
    if (!started) {
        return false;
    }
    if (auto* folder = std::get_if<FolderRecord>(&record)) {
        contents.folderIdentity = folder->identity;
        return commands.empty();
    }
    if (auto* command = std::get_if<CommandRecord>(&record)) {
        Keep(contents.texts, command->arguments);
        commands.push_back({command->index,
                            contents.texts.Keep(command->name),
                            std::move(command->arguments),
                            {},
                            false});
        return true;
    }
    if (auto* move = std::get_if<JournalMove>(&record)) {
        if (commands.empty()) {
            return false;
        }
        commands.back().moves.push_back(Kept(contents.texts, &commands.back(), *move));
        return true;
    }
    if (std::holds_alternative<FailedRecord>(record)) {
        if (commands.empty() || commands.back().moves.empty()) {
            return false;
        }
        commands.back().moves.back().failed = true;
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
    if (undone.command >= commands.size()) {
        return false;
    }
    commands[undone.command].undone = true;
    return true;
}

// A restore's progress records are written in batches of about this size.
constexpr std::size_t kProgressBatch = 4096;
// A plan is handed to the file in pieces of about this size.
constexpr std::size_t kPlanBatch = 1 << 16;
// Most of a journal is small texts; a block holds a few hundred commands'.
constexpr std::size_t kStoreBlock = std::size_t{64} * 1024;

}  // namespace

std::string_view TextStore::Keep(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (blocks_.empty() || used_ + text.size() > size_) {
        // A long one gets a block of its own; the one in use stays so.
        const std::size_t size = std::max(kStoreBlock, text.size());
        auto block = std::make_unique_for_overwrite<char[]>(size);
        if (size > kStoreBlock && !blocks_.empty()) {
            std::memcpy(block.get(), text.data(), text.size());
            blocks_.insert(blocks_.end() - 1, std::move(block));
            return {blocks_[blocks_.size() - 2].get(), text.size()};
        }
        blocks_.push_back(std::move(block));
        used_ = 0;
        size_ = size;
    }
    char* kept = blocks_.back().get() + used_;
    std::memcpy(kept, text.data(), text.size());
    used_ += text.size();
    return {kept, text.size()};
}

bool JournalCommand::Moved() const {
    return std::any_of(moves.begin(), moves.end(), [](const JournalMove& m) { return !m.failed; });
}

bool JournalContents::NothingToUndo() const {
    if (torn && !tornTail) {
        return false;  // what the lost records say is not known
    }
    return !planned || std::all_of(commands.begin(), commands.end(),
                                   [](const JournalCommand& c) { return c.undone || !c.Moved(); });
}

OsResult UndoJournal::Start(FileSystem& files, const std::string& path, std::string folder,
                            FileIdentity folderIdentity, std::uint32_t scriptChecksum) {
    contents_ = {};
    phase_ = Phase::Idle;
    pending_.clear();
    plannedCommands_ = plannedMoves_ = commandsSeen_ = movesMatched_ = syncs_ = 0;
    matchedCommand_ = matchedMove_ = 0;
    DropLookUps();
    refusedMoves_ = false;
    error_ = OsError::None;
    contents_.folder = std::move(folder);
    contents_.folderIdentity = folderIdentity;
    contents_.scriptChecksum = scriptChecksum;
    file_ = path.empty() ? nullptr : files.CreateOutputFile(path, &error_);
    if (file_) {
        pending_ = kJournalHeader;
        Add(StartRecord{contents_.folder, scriptChecksum});
        Add(FolderRecord{folderIdentity});
    }
    return {error_};
}

void UndoJournal::BeginPlan(std::size_t commands, bool keepLookUps) {
    phase_ = Phase::Planning;
    keepLookUps_ = keepLookUps;
    // The plan's list then grows once, not by doubling through copies of itself.
    contents_.commands.reserve(commands);
}

OsResult UndoJournal::EndPlan() {
    plannedCommands_ = contents_.commands.size();
    for (const auto& command : contents_.commands) {
        plannedMoves_ += command.moves.size();
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
        --commandsSeen_;
        Diverge();
        ++commandsSeen_;
    }
    CommandRecord record{index, name, {arguments.begin(), arguments.end()}};
    Add(record);
    Keep(contents_.texts, record.arguments, false);
    contents_.commands.push_back({index, name, std::move(record.arguments), {}, false});
}

// The same file name (letter case included) in the same folder (letter case
// and separators aside): a plan of the folder spells the folders as the
// script does, the install as the system gives them.
bool SamePath(std::string_view a, std::string_view b) {
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

bool UndoJournal::MatchesPlan(const JournalMove& move) const {
    if (movesMatched_ >= plannedMoves_ || matchedCommand_ + 1 != commandsSeen_) {
        return false;
    }
    const JournalMove& planned = contents_.commands[matchedCommand_].moves[matchedMove_];
    return !planned.failed && SamePath(planned.from, move.from) && SamePath(planned.to, move.to) &&
           planned.identity == move.identity;
}

void UndoJournal::KeepLookUps(std::span<const PathState> states) {
    if (phase_ != Phase::Planning || !keepLookUps_) {
        return;
    }
    for (const auto& state : states) {
        // The name the backend moves: on Windows the path as asked, its last
        // part as stored, which keeps within the system's length; elsewhere
        // the whole path as the folder stores it.
        const std::string& native = kWindowsPaths ? state.stored : state.native;
        lookUps_.push_back({std::hash<std::string_view>{}(state.path), native,
                            state.stored == state.path ? std::string() : state.stored,
                            state.attributes});
    }
}

void UndoJournal::DropLookUps() {
    lookUps_ = {};
    lookUpsTaken_ = 0;
}

bool UndoJournal::PlannedLookUps(std::span<const std::string> paths,
                                 std::vector<PathState>& states) {
    const bool following =
        phase_ == Phase::Following && lookUps_.size() - lookUpsTaken_ >= paths.size() &&
        std::equal(paths.begin(), paths.end(),
                   lookUps_.begin() + static_cast<std::ptrdiff_t>(lookUpsTaken_),
                   [](const std::string& path, const KeptLookUp& kept) {
                       return std::hash<std::string_view>{}(path) == kept.pathHash;
                   });
    if (!following) {
        if (phase_ != Phase::Planning) {
            DropLookUps();  // what the disk says now may differ: never taken again
        }
        return false;
    }
    states.resize(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        KeptLookUp& kept = lookUps_[lookUpsTaken_++];
        states[i].path = paths[i];
        states[i].stored = std::move(kept.stored);
        if (states[i].stored.empty()) {
            states[i].stored = paths[i];
        }
        states[i].native = std::move(kept.native);
        states[i].attributes = kept.attributes;
    }
    return true;
}

bool UndoJournal::BeforeMove(const JournalMove& move) {
    if (phase_ == Phase::Idle) {
        static_cast<void>(EndPlan());
    }
    if (file_ && error_ != OsError::None) {
        refusedMoves_ = true;
        return false;
    }
    if (phase_ == Phase::Following) {
        // The next planned move, past commands the plan has none for.
        while (matchedCommand_ < plannedCommands_ &&
               matchedMove_ >= contents_.commands[matchedCommand_].moves.size()) {
            ++matchedCommand_;
            matchedMove_ = 0;
        }
        if (MatchesPlan(move)) {
            ++movesMatched_;
            ++matchedMove_;
            return true;
        }
        Diverge();
    }
    Add(move);
    // A planned move needs no write now; any other reaches the disk before the move.
    if (phase_ == Phase::Diverged && file_ && !WritePending(true)) {
        refusedMoves_ = true;
        return false;
    }
    if (contents_.commands.empty()) {
        contents_.commands.emplace_back();  // a move outside any command: undone all the same
    }
    auto& command = contents_.commands.back();
    command.moves.push_back(Kept(contents_.texts, &command, move));
    return true;
}

void UndoJournal::MoveFailed() {
    if (phase_ == Phase::Following) {
        // The plan counted on it: the plan stands only up to it, and the
        // install goes on record by record.
        Diverge();
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
        (commandsSeen_ != plannedCommands_ || movesMatched_ != plannedMoves_)) {
        Diverge();
    }
    DropLookUps();
    Add(EndRecord{});
    contents_.complete = true;
    return WritePending(true) && Written();
}

bool UndoJournal::Reopen(FileSystem& files, const std::string& path) {
    file_ = files.AppendToFile(path);
    error_ = OsError::None;
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

// The plan stands as far as the install met it: the commands seen, and of
// their moves those matched.
void UndoJournal::Diverge() {
    Cut(contents_, commandsSeen_, movesMatched_);
    Add(CutRecord{static_cast<std::uint32_t>(commandsSeen_),
                  static_cast<std::uint32_t>(movesMatched_)});
    phase_ = Phase::Diverged;
}

template <class Kept>
void UndoJournal::Add(const Kept& record) {
    if (file_ && error_ == OsError::None) {
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
    if (!file_ || error_ != OsError::None) {
        return {file_ ? error_ : OsError::Other};
    }
    OsResult written = file_->Write(pending_);
    if (written && sync) {
        written = file_->SyncToDisk();
    }
    if (!written) {
        error_ = written.error;
        return written;
    }
    syncs_ += sync ? 1 : 0;
    pending_.clear();
    return OsResult::Ok();
}

std::optional<JournalContents> ReadJournal(FileSystem& files, const std::string& path) {
    const auto bytes = files.ReadWholeFile(path);
    return bytes ? ParseJournal(*bytes) : std::nullopt;
}

std::optional<JournalContents> ParseJournal(std::string_view bytes) {
    if (!bytes.starts_with(kJournalHeader)) {
        return std::nullopt;
    }
    JournalContents contents;
    bool started = false;
    std::string_view rest = bytes.substr(kJournalHeader.size());
    while (!rest.empty()) {
        const std::uint32_t length = NumberAt(rest);
        std::optional<Record> record;
        if (rest.size() >= 8 && rest.size() - 8 >= length && length > 0 &&
            NumberAt(rest.substr(4 + length)) == Checksum(rest.substr(4, length))) {
            record = Decode(static_cast<unsigned char>(rest[4]), rest.substr(5, length - 1));
        }
        if (!record || !Apply(std::move(*record), contents, started)) {
            contents.torn = true;
            contents.tornTail = !record && OnlyTailDamaged(rest);
            break;
        }
        ++contents.records;
        rest.remove_prefix(8 + length);
    }
    if (!started) {
        return std::nullopt;
    }
    return contents;
}

void SyncMovedFolders(FileSystem& files, const JournalContents& journal) {
    std::vector<std::string> synced;  // by PathKey
    for (const auto& command : journal.commands) {
        for (const auto& move : command.moves) {
            for (const std::string_view path : {move.from, move.to}) {
                std::string folder(path.substr(0, path.find_last_of("\\/") + 1));
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
                static_cast<void>(files.SyncFolder(folder));
            }
        }
    }
}

std::uint32_t Checksum(std::string_view data) {
    // CRC-32 (IEEE 802.3), as zip and PNG use it.
    static const auto table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[i] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xff] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace srdw
