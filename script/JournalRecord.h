// The undo journal's file format, both ways: every record is written and read
// by the same list of its fields, so the two cannot drift apart.
//
// The file is a header, then frames of [length][record][CRC-32 of record],
// numbers little-endian. A frame that is cut, zeroed or otherwise damaged ends
// what can be read: nothing after it is trusted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/FileSystem.h"

namespace srdw {

inline constexpr std::string_view kJournalHeader = "SRDWJNL2";

// One argument of a command, as the install expanded it. Views: into the
// journal's own store once recorded, into a record's bytes while read.
struct JournalArgument {
    std::string_view source;                   // as written in the script
    std::optional<std::string_view> expanded;  // none when it was too long
};

// The journal's first record: the game folder it belongs to and the script.
struct StartRecord {
    std::string folder;
    std::uint32_t scriptChecksum = 0;
};

// Its texts are views, as the arguments are.
struct CommandRecord {
    std::uint32_t index = 0;  // its position in the script
    std::string_view name;
    std::span<const JournalArgument> arguments;
};

// A move, as things stood just before it; the paths are views, as above.
struct MoveRecord {
    std::string_view from;  // full path, the name spelled as stored
    std::string_view to;    // full path
    bool directory = false;
    bool readOnly = false;  // of the file moved; the only attribute put back
    FileIdentity identity;  // of the file moved
};

// The move just recorded was refused by the system.
struct FailedRecord {};
// Everything the install is to do is recorded above, and on the disk.
struct PlanEndRecord {};
// The install went otherwise than planned: only the first `commands` commands
// and `moves` moves of the plan stand; the records after this one say the rest.
struct CutRecord {
    std::uint32_t commands = 0;
    std::uint32_t moves = 0;
};
// The install ran to its end.
struct EndRecord {};
// A restore put back every move of the command at this position of the journal.
struct UndoneRecord {
    std::uint32_t command = 0;
};
// Right after the start: the game folder as the file system knows it, so that
// a copy of the folder, or another folder of that name, is told from it.
struct FolderRecord {
    FileIdentity identity;
};

using JournalRecord = std::variant<StartRecord, CommandRecord, MoveRecord, FailedRecord,
                                   PlanEndRecord, CutRecord, EndRecord, UndoneRecord, FolderRecord>;

// Appends the record's frame to `out`.
void AppendFrame(const JournalRecord& record, std::string& out);

// Reads the frames after the header, in order, handing each record to `use`
// until `use` refuses one. The views in a record hold while `use` runs. Returns how many were
// taken, and whether the bytes ended cleanly (false: a frame was damaged, cut or refused).
struct FrameWalk {
    std::size_t taken = 0;
    bool clean = true;
    // Damage with no whole record after it, near the end: what a power loss
    // leaves of bytes written since the last sync. A damaged record followed
    // by good ones is not that: a sync made those later ones durable, and
    // with them everything before.
    bool tailOnly = false;
};
FrameWalk ReadFrames(std::string_view rest, const std::function<bool(JournalRecord&&)>& use);

// The CRC-32 the journal keeps of each record, and of the script's text.
std::uint32_t Checksum(std::string_view data);

}  // namespace srdw
