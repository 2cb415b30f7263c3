#include "script/UndoJournal.h"

#include <array>

#include "platform/AsciiCase.h"

namespace srdw {

namespace {

// The file: this header, then records of [length][payload][checksum of payload],
// lengths and numbers as 32-bit little-endian.
constexpr std::string_view kHeader = "SRDWJNL1";

enum class RecordKind : unsigned char { Start = 1, Command = 2, Move = 3, End = 4, Failed = 5 };

void PutNumber(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

void PutText(std::string& out, std::string_view text) {
    PutNumber(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

void PutFlag(std::string& out, bool flag) {
    out.push_back(flag ? '\1' : '\0');
}

std::string Record(RecordKind kind) {
    return std::string(1, static_cast<char>(kind));
}

// Reads a payload front to back; any read past its end makes it bad.
class Reader {
  public:
    explicit Reader(std::string_view data) : data_(data) {}

    std::uint32_t Number() {
        if (data_.size() < 4) {
            return Fail(), 0;
        }
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(data_[static_cast<std::size_t>(i)]);
        }
        data_.remove_prefix(4);
        return value;
    }
    std::string Text() {
        const std::uint32_t size = Number();
        if (data_.size() < size) {
            return Fail(), std::string();
        }
        std::string text(data_.substr(0, size));
        data_.remove_prefix(size);
        return text;
    }
    bool Flag() {
        if (data_.empty()) {
            return Fail(), false;
        }
        const bool flag = data_.front() != '\0';
        data_.remove_prefix(1);
        return flag;
    }
    bool Good() const { return good_; }
    bool AtEnd() const { return data_.empty(); }

  private:
    void Fail() {
        good_ = false;
        data_ = {};
    }
    std::string_view data_;
    bool good_ = true;
};

// Sets a move's links to the moves before it, and adds it to them.
// Whether `paths` holds the path or a folder it lies in: moving a folder moves
// what is in it.
bool HoldsPathOrFolder(const PathKeySet& paths, std::string_view key) {
    for (std::size_t end = key.size(); end != std::string::npos && end > 0;
         end = key.rfind('\\', end - 1)) {
        if (paths.contains(key.substr(0, end))) {
            return true;
        }
    }
    return false;
}

void Link(JournalMove& move, PathKeySet& sources, PathKeySet& targets) {
    std::string from = PathKey(move.from);
    std::string to = PathKey(move.to);
    move.sourceFilledEarlier = HoldsPathOrFolder(targets, from);
    move.targetFreedEarlier = HoldsPathOrFolder(sources, to);
    sources.insert(std::move(from));
    targets.insert(std::move(to));
}

// Adds one record's payload to what was read; false, with nothing added, when
// it makes no sense.
bool Apply(std::string_view payload, JournalContents& contents, bool& started, PathKeySet& sources,
           PathKeySet& targets) {
    if (payload.empty()) {
        return false;
    }
    const auto kind = static_cast<RecordKind>(payload.front());
    Reader in(payload.substr(1));
    const auto whole = [&in] { return in.Good() && in.AtEnd(); };
    if (kind == RecordKind::Start) {
        const std::uint32_t checksum = in.Number();
        if (started || !whole()) {
            return false;
        }
        contents.scriptChecksum = checksum;
        started = true;
        return true;
    }
    if (!started) {
        return false;
    }
    switch (kind) {
        case RecordKind::Command: {
            JournalCommand command;
            command.index = in.Number();
            command.name = in.Text();
            const std::uint32_t count = in.Number();
            for (std::uint32_t i = 0; i < count && in.Good(); ++i) {
                JournalArgument argument;
                argument.source = in.Text();
                if (in.Flag()) {
                    argument.expanded = in.Text();
                }
                command.arguments.push_back(std::move(argument));
            }
            if (!whole()) {
                return false;
            }
            contents.commands.push_back(std::move(command));
            return true;
        }
        case RecordKind::Move: {
            JournalMove move;
            move.from = in.Text();
            move.to = in.Text();
            move.attributes.bits = in.Number();
            move.attributes.directory = in.Flag();
            move.attributes.readOnly = in.Flag();
            move.attributes.normal = in.Flag();
            if (!whole() || contents.commands.empty()) {
                return false;
            }
            Link(move, sources, targets);
            contents.commands.back().moves.push_back(std::move(move));
            return true;
        }
        case RecordKind::Failed:
            if (!whole() || contents.commands.empty() || contents.commands.back().moves.empty()) {
                return false;
            }
            contents.commands.back().moves.back().failed = true;
            return true;
        case RecordKind::End:
            contents.complete = whole();
            return contents.complete;
        default:
            return false;
    }
}

UndoJournal* g_active = nullptr;

}  // namespace

std::string PathKey(std::string_view path) {
    std::string key(path);
    for (char& c : key) {
        c = c == '/' ? '\\' : LowerAscii(c);
    }
    return key;
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

bool UndoJournal::Start(const std::string& path, std::uint32_t scriptChecksum) {
    contents_ = {};
    contents_.scriptChecksum = scriptChecksum;
    sources_.clear();
    targets_.clear();
    pendingCommand_.clear();
    failed_ = false;
    refusedMoves_ = false;
    file_ = path.empty() ? nullptr : Files().CreateOutputFile(path);
    if (file_ && !file_->Write(kHeader)) {
        failed_ = true;
    }
    std::string start = Record(RecordKind::Start);
    PutNumber(start, scriptChecksum);
    Append(start);
    return Written();
}

void UndoJournal::BeginCommand(std::uint32_t index, std::string_view name,
                               std::vector<JournalArgument> arguments) {
    std::string record = Record(RecordKind::Command);
    PutNumber(record, index);
    PutText(record, name);
    PutNumber(record, static_cast<std::uint32_t>(arguments.size()));
    for (const auto& argument : arguments) {
        PutText(record, argument.source);
        PutFlag(record, argument.expanded.has_value());
        if (argument.expanded) {
            PutText(record, *argument.expanded);
        }
    }
    if (file_ && !failed_) {
        Frame(record, pendingCommand_);
    }
    contents_.commands.push_back({index, std::string(name), std::move(arguments), {}});
}

bool UndoJournal::BeforeMove(JournalMove move) {
    std::string record = Record(RecordKind::Move);
    PutText(record, move.from);
    PutText(record, move.to);
    PutNumber(record, move.attributes.bits);
    PutFlag(record, move.attributes.directory);
    PutFlag(record, move.attributes.readOnly);
    PutFlag(record, move.attributes.normal);
    Append(record);
    if (file_ && failed_) {
        refusedMoves_ = true;
        return false;
    }
    if (contents_.commands.empty()) {
        contents_.commands.push_back({});  // a move outside any command: undone all the same
    }
    Link(move, sources_, targets_);
    contents_.commands.back().moves.push_back(std::move(move));
    return true;
}

void UndoJournal::MoveFailed() {
    Append(Record(RecordKind::Failed));
    if (!contents_.commands.empty() && !contents_.commands.back().moves.empty()) {
        contents_.commands.back().moves.back().failed = true;
    }
}

bool UndoJournal::Finish() {
    Append(Record(RecordKind::End));
    contents_.complete = true;
    if (Written() && !file_->SyncToDisk()) {
        failed_ = true;
    }
    return Written();
}

void UndoJournal::Frame(const std::string& payload, std::string& out) {
    PutNumber(out, static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
    PutNumber(out, Checksum(payload));
}

// Writes the pending commands' records, if any, and this one in one write.
void UndoJournal::Append(const std::string& payload) {
    if (!file_ || failed_) {
        return;
    }
    std::string records = std::move(pendingCommand_);
    pendingCommand_.clear();
    Frame(payload, records);
    if (!file_->Write(records)) {
        failed_ = true;
    }
}

std::optional<JournalContents> ReadJournal(const std::string& path) {
    const auto bytes = Files().ReadWholeFile(path);
    return bytes ? ParseJournal(*bytes) : std::nullopt;
}

std::optional<JournalContents> ParseJournal(std::string_view bytes) {
    if (!bytes.starts_with(kHeader)) {
        return std::nullopt;
    }
    JournalContents contents;
    bool started = false;
    PathKeySet sources;
    PathKeySet targets;
    std::string_view rest = bytes.substr(kHeader.size());
    while (!rest.empty()) {
        Reader frame(rest);
        const std::uint32_t length = frame.Number();
        if (!frame.Good() || rest.size() - 4 < length || rest.size() - 4 - length < 4) {
            contents.torn = true;
            break;
        }
        const std::string_view payload = rest.substr(4, length);
        Reader tail(rest.substr(4 + length, 4));
        if (tail.Number() != Checksum(payload) ||
            !Apply(payload, contents, started, sources, targets)) {
            contents.torn = true;
            break;
        }
        rest.remove_prefix(8 + length);
    }
    if (!started) {
        return std::nullopt;
    }
    if (contents.torn) {
        contents.complete = false;
    }
    return contents;
}

UndoJournal* ActiveJournal() {
    return g_active;
}

ActiveJournalScope::ActiveJournalScope(UndoJournal& journal) : previous_(g_active) {
    g_active = &journal;
}

ActiveJournalScope::~ActiveJournalScope() {
    g_active = previous_;
}

}  // namespace srdw
