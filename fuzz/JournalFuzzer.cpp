// Reads arbitrary bytes as an undo journal, as the next start reads one a
// crash, a power loss or another program left behind: once as they are, and
// once with each frame's checksum made right, so that records of any content
// reach the fields' reader and the contents, as a journal crafted to pass its
// checksums would. Every text of what is read is read back, so that one
// pointing outside the journal's own bytes shows under AddressSanitizer; and a
// journal cut short never says more than the whole of it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "script/UndoJournal.h"

namespace {

using srdw::fuzz::Require;

// A sum of every byte of every text, so that each is read.
std::size_t ReadTexts(const srdw::JournalContents& journal) {
    std::size_t sum = 0;
    const auto read = [&sum](std::string_view text) {
        for (const char c : text) {
            sum += static_cast<unsigned char>(c);
        }
    };
    read(journal.folder);
    for (const auto& command : journal.commands) {
        read(command.name);
        for (const auto& argument : command.arguments) {
            read(argument.source);
            read(argument.expanded.value_or(std::string_view()));
        }
        for (const auto& move : command.moves) {
            read(move.from);
            read(move.to);
        }
    }
    return sum + journal.NothingToUndo() + journal.RecordsMayBeLost();
}

// The bytes with each frame ([length][record][checksum], little-endian) given
// the checksum of its record, as far as the lengths lead.
std::string WithChecksumsMade(std::string bytes) {
    std::size_t at = srdw::kJournalHeader.size();
    std::uint32_t length = 0;
    while (at + 4 <= bytes.size()) {
        std::memcpy(&length, bytes.data() + at, 4);  // this machine is little-endian
        if (length > bytes.size() - at - 4 || bytes.size() - at - 4 - length < 4) {
            break;
        }
        const std::uint32_t checksum =
            srdw::Checksum(std::string_view(bytes).substr(at + 4, length));
        std::memcpy(bytes.data() + at + 4 + length, &checksum, 4);
        at += 8 + length;
    }
    return bytes;
}

void Check(std::string_view bytes, unsigned char where) {
    const auto whole = srdw::ParseJournal(bytes);
    if (!whole) {
        return;
    }
    Require(whole->records > 0, "a journal read has at least its start");
    // Kept where the optimizer sees it: a sum nobody reads could be left out, and the reads with
    // it.
    volatile const std::size_t read = ReadTexts(*whole);
    static_cast<void>(read);
    const std::size_t header = srdw::kJournalHeader.size();
    const auto part =
        srdw::ParseJournal(bytes.substr(0, header + (bytes.size() - header) * where / 256));
    Require(!part || part->records <= whole->records,
            "a journal cut short holds no more records than the whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!bytes.starts_with(srdw::kJournalHeader)) {
        return 0;
    }
    // Where the cut falls is the input's last byte.
    Check(bytes, data[size - 1]);
    Check(WithChecksumsMade(std::string(bytes)), data[size - 1]);
    return 0;
}
