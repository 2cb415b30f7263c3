// The undo journal on disk: what survives a cut or a damaged tail, and what a
// restore from such a journal does to the game folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "script/ModScript.h"

namespace srdw::test {
namespace {

constexpr const char* kScript =
    "RenameEx(Sky.pak, Sky.dw, Sky.bak)\n"
    "Rename(notes.txt, \"old notes.txt\")\n"
    "SetDirectory(Data)\n"
    "RenameEx(World.map, World.dw, World.bak)\n";

std::vector<std::string> Contents(const Snapshot& snapshot) {
    std::vector<std::string> contents;
    for (const auto& [path, state] : snapshot) {
        contents.push_back(state.content);
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

class UndoJournalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(game_.Path() / "Sky.pak", "sky");
        WriteFile(game_.Path() / "Sky.dw", "dusk sky");
        WriteFile(game_.Path() / "notes.txt", "notes");
        WriteFile(game_.Path() / "Data/World.map", "world");
        WriteFile(game_.Path() / "Data/World.dw", "dusk world");
        MakeReadOnly(game_.Path() / "Sky.pak");
        WriteFile(launcher_.Path() / "mod.dat", kScript);
    }

    // Installs the script, its journal in the launcher's folder; returns the
    // journal's bytes.
    std::string Install() {
        InDirectory inGame(game_.Path());
        ModScript script;
        EXPECT_TRUE(script.Load(launcher_ / "mod.dat"));
        UndoJournal journal;
        EXPECT_TRUE(journal.Start(JournalPath(), script.TextChecksum()));
        script.Install({game_.Path().string(), ""}, journal);
        EXPECT_TRUE(journal.Finish());
        return ReadFile(JournalPath());
    }
    std::string JournalPath() const { return launcher_ / "restore.jnl"; }

    ScratchDir game_;
    ScratchDir launcher_;
};

TEST_F(UndoJournalTest, ReadsBackWhatWasWrittenAndNoMoreThanSurvived) {
    const std::string bytes = Install();
    const auto whole = ReadJournal(JournalPath());
    ASSERT_TRUE(whole.has_value());
    EXPECT_TRUE(whole->complete);
    EXPECT_FALSE(whole->torn);
    ASSERT_EQ(whole->commands.size(), 4u);
    EXPECT_EQ(whole->commands[1].name, "Rename");
    EXPECT_EQ(whole->commands[1].arguments[1].source, "\"old notes.txt\"");
    EXPECT_EQ(whole->commands[1].arguments[1].expanded, "old notes.txt");
    ASSERT_EQ(whole->commands[0].moves.size(), 2u);
    EXPECT_TRUE(whole->commands[0].moves[0].attributes.readOnly);
    EXPECT_EQ(whole->commands[3].moves[1].to.substr(whole->commands[3].moves[1].to.size() - 9),
              "World.map");

    // Cut anywhere: a cut inside a record is seen, and what comes before it is
    // kept. Without its first record the file is no journal.
    constexpr std::size_t kStarted = 8 + 4 + 5 + 4;
    EXPECT_FALSE(ParseJournal(bytes.substr(0, kStarted - 1)).has_value());
    std::size_t boundaries = 0;
    for (std::size_t size = kStarted; size < bytes.size(); ++size) {
        const auto cut = ParseJournal(std::string_view(bytes).substr(0, size));
        ASSERT_TRUE(cut.has_value()) << size;
        EXPECT_FALSE(cut->complete);
        EXPECT_LE(cut->commands.size(), whole->commands.size());
        boundaries += cut->torn ? 0 : 1;
    }
    EXPECT_EQ(boundaries, 1u + 4u + 5u);  // after the start and after each command and move

    // A tail of zeros, as a power loss leaves it, and a damaged byte in the middle.
    const auto zeroed = ParseJournal(bytes + std::string(64, '\0'));
    ASSERT_TRUE(zeroed.has_value());
    EXPECT_TRUE(zeroed->torn);
    EXPECT_EQ(zeroed->commands.size(), 4u);
    std::string damaged = bytes;
    damaged[bytes.size() / 2] ^= 0x20;
    EXPECT_TRUE(ParseJournal(damaged)->torn);
    EXPECT_FALSE(ParseJournal("not a journal").has_value());
}

// A power loss keeps the moves but not the journal's last records. Whatever the
// cut, the restore overwrites nothing and loses no file; with the whole journal
// it is exact.
TEST_F(UndoJournalTest, RestoreFromACutJournalLosesNothing) {
    const Snapshot before = TakeSnapshot(game_.Path());
    const std::string bytes = Install();
    const Snapshot installed = TakeSnapshot(game_.Path());
    for (std::size_t size = bytes.size(); size >= 8; size -= std::min<std::size_t>(size, 7)) {
        ScratchDir launcher;
        LoggedTest logged(launcher);
        MakeWritableTree(game_.Path());
        fs::remove_all(game_.Path());
        for (const auto& [path, state] : installed) {
            if (!path.ends_with("/")) {
                WriteFile(game_.Path() / path, state.content);
                if (state.readOnly) {
                    MakeReadOnly(game_.Path() / path);
                }
            }
        }
        WriteFile(JournalPath(), bytes.substr(0, size));
        const auto journal = ReadJournal(JournalPath());
        ASSERT_TRUE(journal.has_value()) << size;
        const bool complete = UndoInstall(*journal) == 0;
        const Snapshot after = TakeSnapshot(game_.Path());
        EXPECT_EQ(Contents(after), Contents(before)) << size;
        if (size == bytes.size()) {
            EXPECT_TRUE(complete) << logged.Body();
            EXPECT_EQ(after, before) << Describe(after);
        }
        if (size < 8 + 4 + 5 + 4 + 7) {
            break;
        }
    }
}

}  // namespace
}  // namespace srdw::test
