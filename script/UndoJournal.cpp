#include "script/UndoJournal.h"

#include <algorithm>
#include <array>
#include <set>
#include <type_traits>
#include <utility>

#include "platform/AsciiCase.h"
#include "script/PathModel.h"

namespace srdw {

namespace {

enum Kind : std::uint8_t {
    kStart = 1,  // the game folder (`text`) and the script's checksum (`number`)
    kCommand,
    kMove,
    kFailed,   // the move just recorded was refused by the system
    kPlanEnd,  // everything the install is to do is above, and on the disk
    // The install went otherwise than planned: only the first `number`
    // commands and `moves` moves of the plan stand; the records after this
    // one say the rest.
    kCut,
    kEnd,     // the install ran to its end
    kUndone,  // a restore put back every move of the command at position `number`
    // Right after the start: the game folder as the file system knows it, so
    // that a copy of the folder, or another folder of that name, is told from it.
    kFolder,
    // Right after the folder: the install went over a mod that could not be
    // restored, whose marker stays that mod's record.
    kOverUnrestored,
    kKinds,
};

}  // namespace

struct JournalRecord {
    std::uint8_t kind = 0;
    std::string_view text = {};
    std::uint32_t number = 0;
    std::uint32_t moves = 0;
    FileIdentity identity = {};
    JournalCommand command = {};
    JournalMove move = {};
};

namespace {

// Puts fields into a record's bytes or, made of the bytes, takes them out
// again: any read past the end makes it bad, and the texts it takes are
// views into the bytes.
class FieldBytes {
  public:
    explicit FieldBytes(std::string& out) : out_(&out) {}
    explicit FieldBytes(std::string_view in) : in_(in) {}

    template <std::unsigned_integral Number>  // a flag too, as one byte
    void operator()(Number& value) {
        if (out_) {
            std::array<char, sizeof(Number)> bytes{};
            for (std::size_t i = 0; i < sizeof(Number); ++i) {
                bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
            }
            out_->append(bytes.data(), bytes.size());
            return;
        }
        if (in_.size() < sizeof(Number)) {
            return Fail();
        }
        std::uint64_t taken = 0;
        for (std::size_t i = sizeof(Number); i-- > 0;) {
            taken = (taken << 8) | static_cast<unsigned char>(in_[i]);
        }
        in_.remove_prefix(sizeof(Number));
        good_ = good_ && (!std::is_same_v<Number, bool> || taken <= 1);
        value = static_cast<Number>(taken);
    }
    void operator()(std::string_view& text) {
        auto size = static_cast<std::uint32_t>(text.size());
        (*this)(size);
        if (out_) {
            out_->append(text);
        } else if (in_.size() < size) {
            Fail();
        } else {
            text = in_.substr(0, size);
            in_.remove_prefix(size);
        }
    }
    void operator()(std::optional<std::string_view>& text) {
        bool present = text.has_value();
        (*this)(present);
        if (present) {
            (*this)(text ? *text : text.emplace());
        }
    }
    void operator()(std::vector<JournalArgument>& arguments) {
        auto count = static_cast<std::uint32_t>(arguments.size());
        (*this)(count);
        for (std::uint32_t i = 0; i < count && good_; ++i) {
            auto& argument = i < arguments.size() ? arguments[i] : arguments.emplace_back();
            (*this)(argument.source);
            (*this)(argument.expanded);
        }
    }
    bool Good() const { return good_; }
    bool Whole() const { return good_ && in_.empty(); }

  private:
    void Fail() {
        good_ = false;
        in_ = {};
    }
    std::string* out_ = nullptr;
    std::string_view in_;
    bool good_ = true;
};

// Each record's fields in the order they are stored, for writing and reading.
void Fields(FieldBytes& io, JournalRecord& record) {
    const auto identityFields = [&io](auto& identity) {
        io(identity.known);
        io(identity.volume);
        io(identity.file);
    };
    switch (record.kind) {
        case kStart:
            io(record.text);
            io(record.number);
            break;
        case kCommand:
            io(record.command.index);
            io(record.command.name);
            io(record.command.arguments);
            break;
        case kMove:
            io(record.move.from);
            io(record.move.to);
            io(record.move.directory);
            io(record.move.readOnly);
            identityFields(record.move.identity);
            break;
        case kCut:
            io(record.number);
            io(record.moves);
            break;
        case kUndone:
            io(record.number);
            break;
        case kFolder:
            identityFields(record.identity);
            break;
        default:
            break;
    }
}

// The record of the frame that `bytes` begin with, when the frame is whole,
// at most `longest` long, and its checksum holds: a frame is a record's
// length and bytes, as a text is stored, and its checksum.
std::optional<std::string_view> FrameAt(std::string_view bytes,
                                        std::uint32_t longest = UINT32_MAX) {
    FieldBytes in(bytes);
    std::string_view record;
    std::uint32_t checksum = 0;
    in(record);
    in(checksum);
    if (!in.Good() || record.empty() || record.size() > longest || checksum != Checksum(record)) {
        return std::nullopt;
    }
    return record;
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
        if (FrameAt(damaged.substr(at), kLongestRecord)) {
            return false;
        }
    }
    return true;
}

// Adds one whole record to the contents, its texts left where they are; false
// when it makes no sense there. A journal being written and one read back
// take their records alike.
bool Apply(JournalRecord& record, JournalContents& contents) {
    auto& commands = contents.commands;
    switch (record.kind) {
        case kStart:
            contents.folder = std::string(record.text);
            contents.scriptChecksum = record.number;
            return true;
        case kFolder:
            contents.folderIdentity = record.identity;
            return commands.empty();
        case kOverUnrestored:
            contents.overUnrestored = true;
            return commands.empty();
        case kCommand:
            commands.push_back(std::move(record.command));
            return true;
        case kMove:
            if (commands.empty()) {
                return false;
            }
            commands.back().moves.push_back(record.move);
            return true;
        case kFailed:
            if (commands.empty() || commands.back().moves.empty()) {
                return false;
            }
            commands.back().moves.back().failed = true;
            return true;
        case kPlanEnd:
            return !std::exchange(contents.planned, true);
        case kCut: {
            commands.resize(std::min<std::size_t>(record.number, commands.size()));
            std::size_t moves = record.moves;
            for (auto& command : commands) {
                command.moves.resize(std::min(moves, command.moves.size()));
                moves -= command.moves.size();
            }
            return contents.planned;
        }
        case kEnd:
            return contents.complete = true;
        default:  // undone
            if (record.number >= commands.size()) {
                return false;
            }
            commands[record.number].undone = true;
            return true;
    }
}

// The same file name in the same folder (letter case and separators aside): a
// plan of the folder spells the folders as the script does, the install as the
// system gives them.
bool SamePath(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    const auto name = NameStart(a);
    if (a.size() != b.size() || a.substr(name) != b.substr(name)) {
        return false;
    }
    const auto fold = [](char c) { return c == '/' ? '\\' : LowerAscii(c); };
    for (std::size_t i = 0; i < name; ++i) {
        if (a[i] != b[i] && fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr std::size_t kProgressBatch = 4096;
constexpr std::size_t kPlanBatch = 1 << 16;

}  // namespace

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

OsResult UndoJournal::Start(FileSystem& files, const std::string& path, std::string_view folder,
                            FileIdentity folderIdentity, std::uint32_t scriptChecksum,
                            bool overUnrestored) {
    file_ = path.empty() ? nullptr : files.CreateOutputFile(path, &error_);
    if (file_) {
        pending_ = kJournalHeader;
    }
    Note({.kind = kStart, .text = folder, .number = scriptChecksum});
    Note({.kind = kFolder, .identity = folderIdentity});
    if (overUnrestored) {
        Note({.kind = kOverUnrestored});
    }
    return {error_};
}

OsResult UndoJournal::Plan(std::size_t commands, bool keepLookUps,
                           const std::function<bool()>& rehearse) {
    keepLookUps_ = keepLookUps;
    // The plan's list then grows once, not by doubling through copies of itself.
    contents_.commands.reserve(commands);
    const bool sure = rehearse();
    std::reverse(kept_.lookUps.begin(), kept_.lookUps.end());
    following_ = true;
    Note({.kind = kPlanEnd});
    if (!sure) {
        // A move the install will not make must not stand in the journal, where
        // a crash before the cut leaves it for every recovery to undo: each move
        // is recorded, and synced, before it is made.
        LeavePlan();
    }
    return WritePending(true);
}

void UndoJournal::LeavePlan() {
    following_ = false;
    Note({.kind = kCut,
          .number = static_cast<std::uint32_t>(commandsMet_),
          .moves = static_cast<std::uint32_t>(movesMet_)});
    kept_ = {};  // what the disk says now may differ: never taken again
}

void UndoJournal::BeginCommand(std::uint32_t index, std::string_view name,
                               std::span<const JournalArgument> arguments) {
    if (following_) {
        const auto& plan = contents_.commands;
        if (toMeet_.empty() && commandsMet_ < plan.size() && plan[commandsMet_].index == index) {
            toMeet_ = plan[commandsMet_++].moves;
            return;
        }
        LeavePlan();
    }
    Note({.kind = kCommand,
          .command = {index, false, name, {arguments.begin(), arguments.end()}, {}}});
}

std::vector<PathState> UndoJournal::LookUp(FileSystem& files, std::span<const std::string> paths,
                                           const std::string& directory) {
    const bool keeps = keepLookUps_ && !contents_.planned;
    if (!keeps && kept_.lookUps.empty()) {
        return files.LookUp(paths);
    }
    // A relative path names another file where the install's directory came
    // out otherwise than the rehearsal's. The directory stays the same over
    // most commands: its key is folded again only when it changed.
    if (directory != hashedDirectory_.first) {
        hashedDirectory_ = {directory, std::hash<std::string>{}(PathKey(directory))};
    }
    const std::size_t in = hashedDirectory_.second;
    const auto key = [in](const std::string& path) { return std::hash<std::string>{}(path) ^ in; };
    // The name the backend moves: on Windows the stored name, the path as
    // asked with its last part as stored, which keeps within the system's
    // length; elsewhere the whole path as the folder stores it, most often the
    // path as asked made full with the system's separators. Where the native
    // name is one of those and the stored name is the path as asked, both are
    // made again rather than kept.
    if (keeps) {
        auto states = files.LookUp(paths);
        for (const auto& state : states) {
            const bool nativeMadeAgain =
                kWindowsPaths || state.native == FullPathWithSeparators(state.path, directory);
            std::uint32_t names = 0;
            if (state.stored != state.path || !nativeMadeAgain) {
                kept_.names.emplace_back(
                    kept_.texts.Keep(state.stored),
                    kWindowsPaths ? std::string_view() : kept_.texts.Keep(state.native));
                names = static_cast<std::uint32_t>(kept_.names.size());
            }
            kept_.lookUps.push_back({key(state.path), state.attributes.value_or(FileAttributes{}),
                                     names, state.attributes.has_value()});
        }
        return states;
    }
    if (paths.size() > kept_.lookUps.size() ||
        !std::equal(paths.begin(), paths.end(), kept_.lookUps.rbegin(),
                    [&key](const std::string& path, const KeptLookUp& look) {
                        return look.key == key(path);
                    })) {
        kept_ = {};  // the install asks of other paths: it looks for itself from now on
        return files.LookUp(paths);
    }
    std::vector<PathState> taken;
    taken.reserve(paths.size());
    for (const std::string& path : paths) {
        const KeptLookUp& kept = kept_.lookUps.back();
        const auto* names = kept.names == 0 ? nullptr : &kept_.names[kept.names - 1];
        PathState& state = taken.emplace_back();
        state.path = path;
        state.stored = names ? std::string(names->first) : path;
        state.native = kWindowsPaths ? state.stored
                       : names       ? std::string(names->second)
                                     : FullPathWithSeparators(path, directory);
        state.attributes = kept.found ? std::optional(kept.attributes) : std::nullopt;
        kept_.lookUps.pop_back();
    }
    return taken;
}

bool UndoJournal::BeforeMove(const JournalMove& move) {
    if (file_ && error_ != OsError::None) {
        refusedMoves_ = true;
        return false;
    }
    if (following_) {
        const JournalMove* planned = toMeet_.empty() ? nullptr : &toMeet_.front();
        if (planned && !planned->failed && SamePath(planned->from, move.from) &&
            SamePath(planned->to, move.to) && planned->identity == move.identity) {
            toMeet_ = toMeet_.subspan(1);
            ++movesMet_;
            return true;
        }
        LeavePlan();
    }
    // Once the plan is on the disk, a move it does not hold reaches the disk
    // before the move is made.
    if (!Note({.kind = kMove, .move = move}, contents_.planned)) {
        refusedMoves_ = true;
        return false;
    }
    return true;
}

void UndoJournal::MoveFailed() {
    if (following_) {
        LeavePlan();  // the plan counted on it
    }
    Note({.kind = kFailed});
    // Handed to the file at once, so that a recovery after a kill knows the
    // command moved nothing; lost to a power loss, the disk says as much.
    if (contents_.planned) {
        static_cast<void>(WritePending(false));
    }
}

bool UndoJournal::Finish() {
    if (following_ && (!toMeet_.empty() || commandsMet_ != contents_.commands.size())) {
        LeavePlan();
    }
    kept_ = {};
    Note({.kind = kEnd});
    return static_cast<bool>(WritePending(true));
}

bool UndoJournal::Reopen(FileSystem& files, const std::string& path) {
    file_ = files.AppendToFile(path);
    return file_ != nullptr;
}

void UndoJournal::CommandUndone(std::size_t position) {
    // Gathered into few writes and not synced: a record lost to a kill or a
    // power loss costs only a look at the disk, which finds the files back
    // by their identity.
    Note({.kind = kUndone, .number = static_cast<std::uint32_t>(position)});
    if (pending_.size() >= kProgressBatch) {
        static_cast<void>(WritePending(false));
    }
}

void UndoJournal::FlushProgress() {
    if (!pending_.empty()) {
        static_cast<void>(WritePending(false));
    }
}

// Adds the record to the journal's contents as a journal read back would take
// it, its texts kept: an expansion that is part of its source (a path in
// quotes, one without a placeholder) shares its bytes, and the sources are the
// script's own. With a file, the record is first added to what is handed to it
// next, and with `durable` written through to the disk: false when that
// failed, and the record is then kept nowhere.
bool UndoJournal::Note(JournalRecord record, bool durable) {
    if (file_ && error_ == OsError::None) {
        // A long plan goes to the file as it grows, unsynced, so that its bytes
        // are not held beside its contents; the plan's end syncs once.
        if (!contents_.planned && pending_.size() >= kPlanBatch) {
            static_cast<void>(WritePending(false));
        }
        const std::size_t at = pending_.size();
        FieldBytes frame(pending_);
        std::uint32_t length = 0;  // known once the record is written
        frame(length);
        frame(record.kind);
        Fields(frame, record);
        const std::string_view payload = std::string_view(pending_).substr(at + 4);
        std::uint32_t checksum = Checksum(payload);
        for (std::size_t i = 0; i < 4; ++i) {
            pending_[at + i] = static_cast<char>((payload.size() >> (8 * i)) & 0xff);
        }
        frame(checksum);
    }
    if (durable && file_ && !WritePending(true)) {
        return false;
    }
    TextStore& texts = contents_.texts;
    for (auto& argument : record.command.arguments) {
        if (argument.expanded) {
            const auto at = argument.source.find(*argument.expanded);
            argument.expanded = at == std::string_view::npos
                                    ? texts.Keep(*argument.expanded)
                                    : argument.source.substr(at, argument.expanded->size());
        }
    }
    if (record.kind == kMove) {
        // A move's paths are most often its command's expansions, kept once.
        const auto keep = [&](std::string_view path) {
            if (!contents_.commands.empty()) {
                for (const auto& argument : contents_.commands.back().arguments) {
                    if (argument.expanded == path) {
                        return *argument.expanded;
                    }
                }
            }
            return texts.Keep(path);
        };
        record.move.from = keep(record.move.from);
        record.move.to = keep(record.move.to);
    }
    static_cast<void>(Apply(record, contents_));
    return true;
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
    // The texts read are views into the journal's own copy of the bytes.
    std::string_view rest = contents.texts.Keep(bytes.substr(kJournalHeader.size()));
    while (!rest.empty()) {
        const auto frame = FrameAt(rest);
        JournalRecord record;
        bool decoded = false;
        if (frame) {
            FieldBytes in(*frame);
            in(record.kind);
            Fields(in, record);
            decoded = in.Whole() && record.kind > 0 && record.kind < kKinds;
        }
        // The start comes first, and only there.
        if (!decoded || !Apply(record, contents) ||
            (record.kind == kStart) != (contents.records == 0)) {
            contents.torn = true;
            contents.tornTail = !decoded && OnlyTailDamaged(rest);
            break;
        }
        ++contents.records;
        rest.remove_prefix(8 + frame->size());
    }
    if (contents.records == 0) {
        return std::nullopt;
    }
    return contents;
}

void SyncMovedFolders(FileSystem& files, const JournalContents& journal) {
    std::set<std::string> synced;  // by PathKey
    std::string_view last;         // most moves share the folder of the one before
    for (const auto& command : journal.commands) {
        for (const auto& move : command.moves) {
            for (const std::string_view path : {move.from, move.to}) {
                const auto cut = NameStart(path);
                // A drive's or the system's root keeps its separator.
                const std::string_view folder =
                    path.substr(0, cut > 1 && path[cut - 2] != ':' ? cut - 1 : cut);
                if (move.failed || folder.empty() || folder == last) {
                    continue;
                }
                last = folder;
                if (!synced.insert(PathKey(folder)).second) {
                    continue;
                }
                // Best effort: a folder that cannot be written through is no reason
                // to keep records that the next start would only find put back.
                static_cast<void>(files.SyncFolder(std::string(folder)));
            }
        }
    }
}

std::uint32_t Checksum(std::string_view data) {
    // CRC-32 (IEEE 802.3), as zip and PNG use it, eight bytes a step: table
    // `k` holds what a byte contributes `k` bytes before the step's last.
    static const auto tables = [] {
        std::array<std::array<std::uint32_t, 256>, 8> entries{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[0][i] = c;
        }
        for (std::size_t k = 1; k < 8; ++k) {
            for (std::size_t i = 0; i < 256; ++i) {
                entries[k][i] = (entries[k - 1][i] >> 8) ^ entries[0][entries[k - 1][i] & 0xff];
            }
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t at = 0;
    for (; at + 8 <= data.size(); at += 8) {
        // Counted from the step's start: GCC then reads its first four bytes
        // as one number, in one load rather than four and their shifts.
        const auto byte = [step = data.data() + at](std::size_t i) -> std::uint32_t {
            return static_cast<unsigned char>(step[i]);
        };
        crc ^= byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
        crc = tables[7][crc & 0xff] ^ tables[6][(crc >> 8) & 0xff] ^ tables[5][(crc >> 16) & 0xff] ^
              tables[4][crc >> 24] ^ tables[3][byte(4)] ^ tables[2][byte(5)] ^ tables[1][byte(6)] ^
              tables[0][byte(7)];
    }
    for (; at < data.size(); ++at) {
        crc = tables[0][(crc ^ static_cast<unsigned char>(data[at])) & 0xff] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace srdw
