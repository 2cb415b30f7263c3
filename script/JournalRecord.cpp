#include "script/JournalRecord.h"

#include <array>
#include <type_traits>

namespace srdw {

namespace {

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
    void operator()(const std::string& text) { (*this)(std::string_view(text)); }
    void operator()(const std::optional<std::string_view>& text) {
        (*this)(text.has_value());
        if (text) {
            (*this)(*text);
        }
    }
    void operator()(std::span<const JournalArgument> arguments) {
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

// Takes the same fields out again; any read past the end makes it bad.
// The texts it takes are views into the record's bytes; a command's
// arguments are kept in the reader until the next record.
class Reader {
  public:
    // Starts on the fields of one record.
    void Start(std::string_view data) {
        data_ = data;
        good_ = true;
        arguments_.clear();
    }

    void operator()(std::uint32_t& value) { value = static_cast<std::uint32_t>(Take(4)); }
    void operator()(std::uint64_t& value) { value = Take(8); }
    void operator()(bool& flag) {
        const auto byte = Take(1);
        good_ = good_ && byte <= 1;
        flag = byte == 1;
    }
    void operator()(std::string_view& text) {
        std::uint32_t size = 0;
        (*this)(size);
        if (data_.size() < size) {
            return Fail();
        }
        text = data_.substr(0, size);
        data_.remove_prefix(size);
    }
    void operator()(std::string& text) {
        std::string_view view;
        (*this)(view);
        text.assign(view);
    }
    void operator()(std::optional<std::string_view>& text) {
        bool present = false;
        (*this)(present);
        if (present) {
            (*this)(text.emplace());
        }
    }
    void operator()(std::span<const JournalArgument>& arguments) {
        std::uint32_t count = 0;
        (*this)(count);
        for (std::uint32_t i = 0; i < count && good_; ++i) {
            (*this)(arguments_.emplace_back().source);
            (*this)(arguments_.back().expanded);
        }
        arguments = arguments_;
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
    std::vector<JournalArgument> arguments_;
};

// The one list of each record's fields, in the order they are stored; the
// same for writing (`record` const) and reading.
template <typename Io, typename Record>
void Fields(Io& io, Record& record) {
    using Kind = std::remove_const_t<Record>;
    if constexpr (std::is_same_v<Kind, StartRecord>) {
        io(record.folder);
        io(record.scriptChecksum);
    } else if constexpr (std::is_same_v<Kind, CommandRecord>) {
        io(record.index);
        io(record.name);
        io(record.arguments);
    } else if constexpr (std::is_same_v<Kind, MoveRecord>) {
        io(record.from);
        io(record.to);
        io(record.directory);
        io(record.readOnly);
        io(record.identity.known);
        io(record.identity.volume);
        io(record.identity.file);
    } else if constexpr (std::is_same_v<Kind, CutRecord>) {
        io(record.commands);
        io(record.moves);
    } else if constexpr (std::is_same_v<Kind, UndoneRecord>) {
        io(record.command);
    } else if constexpr (std::is_same_v<Kind, FolderRecord>) {
        io(record.identity.known);
        io(record.identity.volume);
        io(record.identity.file);
    }
}

// The kind byte that begins a record: its place in JournalRecord, from 1.
template <std::size_t Index = 0>
std::optional<JournalRecord> DecodeKind(std::size_t kind, Reader& in) {
    if constexpr (Index < std::variant_size_v<JournalRecord>) {
        if (kind != Index + 1) {
            return DecodeKind<Index + 1>(kind, in);
        }
        JournalRecord record(std::in_place_index<Index>);
        Fields(in, std::get<Index>(record));
        return in.Whole() ? std::optional(std::move(record)) : std::nullopt;
    } else {
        return std::nullopt;
    }
}

std::uint32_t NumberAt(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size() < 4 ? 0 : 4; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

}  // namespace

void AppendFrame(const JournalRecord& record, std::string& out) {
    std::string payload(1, static_cast<char>(record.index() + 1));
    Writer writer(payload);
    std::visit([&writer](const auto& fields) { Fields(writer, fields); }, record);
    Writer frame(out);
    frame(static_cast<std::uint32_t>(payload.size()));
    out.append(payload);
    frame(Checksum(payload));
}

namespace {

// Far more than the records written between two syncs (a batch of a
// restore's progress, an end record, one move's amendment): a damaged stretch
// longer than this was not left by a power loss. Records are short, so a
// whole one found after the damage is one of at most kLongestRecord bytes.
constexpr std::size_t kUnsyncedTail = std::size_t{64} * 1024;
constexpr std::uint32_t kLongestRecord = 16 * 1024;

bool WholeRecordAt(std::string_view bytes) {
    if (bytes.size() < 9) {
        return false;
    }
    const std::uint32_t length = NumberAt(bytes);
    if (length == 0 || length > kLongestRecord || bytes.size() - 8 < length) {
        return false;
    }
    const std::string_view payload = bytes.substr(4, length);
    return NumberAt(bytes.substr(4 + length)) == Checksum(payload);
}

bool OnlyTailDamaged(std::string_view damaged) {
    if (damaged.size() > kUnsyncedTail) {
        return false;
    }
    for (std::size_t at = 1; at + 9 <= damaged.size(); ++at) {
        if (WholeRecordAt(damaged.substr(at))) {
            return false;
        }
    }
    return true;
}

}  // namespace

FrameWalk ReadFrames(std::string_view rest, const std::function<bool(JournalRecord&&)>& use) {
    FrameWalk walk;
    Reader in;
    while (!rest.empty()) {
        if (rest.size() < 8 || rest.size() - 8 < NumberAt(rest)) {
            walk.clean = false;
            walk.tailOnly = OnlyTailDamaged(rest);
            break;
        }
        const std::uint32_t length = NumberAt(rest);
        const std::string_view payload = rest.substr(4, length);
        std::optional<JournalRecord> record;
        if (!payload.empty() && NumberAt(rest.substr(4 + length)) == Checksum(payload)) {
            in.Start(payload.substr(1));
            record = DecodeKind(static_cast<unsigned char>(payload.front()), in);
        }
        if (!record || !use(std::move(*record))) {
            walk.clean = false;
            walk.tailOnly = !record && OnlyTailDamaged(rest);
            break;
        }
        ++walk.taken;
        rest.remove_prefix(8 + length);
    }
    return walk;
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
