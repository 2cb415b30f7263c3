// The undo journal on disk: what survives a cut or a damaged tail, and what a
// restore from such a journal does to the game folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "TestSupport.h"
#include "script/ModScript.h"
#include "script/PathModel.h"

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

    // Installs the script as a run does, planned first, its journal in the
    // launcher's folder; returns the journal's bytes.
    std::string Install(std::size_t* syncs = nullptr, const std::string& name = "mod.dat") {
        InDirectory inGame(game_.Path());
        TestPlatform platform;
        RunLog closed(platform);
        ScriptObserver quiet;
        const Engine engine{platform, quiet};
        ModScript script;
        EXPECT_TRUE(script.Load(platform, closed, launcher_ / name));
        UndoJournal journal;
        EXPECT_TRUE(journal.Start(platform, JournalPath(), game_.Path().string(), {},
                                  script.TextChecksum()));
        const std::string rootDir = game_.Path().string();
        const Placeholders values{rootDir, ""};
        EXPECT_TRUE(script.PlanInstall(engine, values, journal));
        script.Install(engine, values, journal);
        EXPECT_TRUE(journal.Finish());
        if (syncs) {
            *syncs = journal.Syncs();
        }
        return ReadFile(JournalPath());
    }
    std::string JournalPath() const { return launcher_ / "restore.jnl"; }
    void PutBack(const Snapshot& snapshot) {
        MakeWritableTree(game_.Path());
        fs::remove_all(game_.Path());
        for (const auto& [path, state] : snapshot) {
            if (!path.ends_with("/")) {
                WriteFile(game_.Path() / path, state.content);
                if (state.readOnly) {
                    MakeReadOnly(game_.Path() / path);
                }
            }
        }
    }

    ScratchDir game_;
    ScratchDir launcher_;
};

TEST_F(UndoJournalTest, ReadsBackWhatWasWrittenAndNoMoreThanSurvived) {
    std::size_t syncs = 0;
    const std::string bytes = Install(&syncs);
    EXPECT_EQ(syncs, 2u);  // the plan, and the end: not one per move
    const auto whole = ReadJournal(NativeFileSystem(), JournalPath());
    ASSERT_TRUE(whole.has_value());
    EXPECT_TRUE(whole->complete);
    EXPECT_TRUE(whole->planned);
    EXPECT_FALSE(whole->torn);
    EXPECT_EQ(whole->folder, game_.Path().string());
    ASSERT_EQ(whole->commands.size(), 4u);
    EXPECT_EQ(whole->commands[1].name, "Rename");
    EXPECT_EQ(whole->commands[1].arguments[1].source, "\"old notes.txt\"");
    EXPECT_EQ(whole->commands[1].arguments[1].expanded, "old notes.txt");
    ASSERT_EQ(whole->commands[0].moves.size(), 2u);
    EXPECT_TRUE(whole->commands[0].moves[0].readOnly);
    EXPECT_TRUE(whole->commands[0].moves[0].identity.known);
    EXPECT_EQ(whole->commands[3].moves[1].to.substr(whole->commands[3].moves[1].to.size() - 9),
              "World.map");

    // Cut anywhere: a cut inside a record is seen as a torn tail, and what comes
    // before it is kept; only a cut before the plan's end says records may be lost.
    std::size_t boundaries = 0;
    for (std::size_t size = 9; size < bytes.size(); ++size) {
        const auto cut = ParseJournal(std::string_view(bytes).substr(0, size));
        if (!cut) {
            continue;  // not even its first record
        }
        EXPECT_FALSE(cut->complete);
        EXPECT_TRUE(!cut->torn || cut->tornTail) << size;
        EXPECT_EQ(cut->RecordsMayBeLost(), !cut->planned) << size;
        boundaries += cut->torn ? 0 : 1;
    }
    EXPECT_EQ(boundaries, 2u + 4u + 5u + 1u);  // start and folder, commands, moves, plan's end

    // A tail of zeros, as a power loss leaves it, and a damaged byte in the middle.
    const auto zeroed = ParseJournal(bytes + std::string(64, '\0'));
    ASSERT_TRUE(zeroed.has_value());
    EXPECT_TRUE(zeroed->torn);
    EXPECT_FALSE(zeroed->RecordsMayBeLost());
    EXPECT_EQ(zeroed->commands.size(), 4u);
    // Good records after the damage were synced, and so were the lost ones.
    std::string damaged = bytes;
    damaged[bytes.size() / 2] ^= 0x20;
    EXPECT_TRUE(ParseJournal(damaged)->torn);
    EXPECT_TRUE(ParseJournal(damaged)->RecordsMayBeLost());
    EXPECT_FALSE(ParseJournal("not a journal").has_value());
}

// A power loss keeps the moves but may cut the journal. Whatever the cut, the
// restore overwrites nothing and loses no file; with the whole journal it is
// exact, also when run again.
TEST_F(UndoJournalTest, RestoreFromACutJournalLosesNothing) {
    const Snapshot before = TakeSnapshot(game_.Path());
    const std::size_t whole = Install().size();
    PutBack(before);
    for (std::size_t size = whole; size >= 8; size -= std::min<std::size_t>(size, 11)) {
        ScratchDir launcher;
        LoggedTest logged(launcher);
        const std::string bytes = Install();
        WriteFile(JournalPath(), bytes.substr(0, size));
        const auto journal = ReadJournal(NativeFileSystem(), JournalPath());
        if (journal) {
            const bool complete = UndoInstall(logged.Scripting(), *journal).Complete();
            const Snapshot after = TakeSnapshot(game_.Path());
            EXPECT_EQ(Contents(after), Contents(before)) << size;
            if (size == whole) {
                EXPECT_TRUE(complete) << logged.Body();
                EXPECT_EQ(after, before) << Describe(after);
                EXPECT_TRUE(UndoInstall(logged.Scripting(), *journal).Complete()) << logged.Body();
                EXPECT_EQ(TakeSnapshot(game_.Path()), before);
            }
        }
        PutBack(before);
    }
}

// The undo moves back only the file the install moved: another file at the
// move's target, however named, stays where it is, with an ERROR naming both
// paths, and only the read-only bit of a record is ever put back.
TEST_F(UndoJournalTest, MovesBackOnlyTheFileTheInstallMoved) {
    ScratchDir launcher;
    LoggedTest logged(launcher);
    Install();
    auto journal = ReadJournal(NativeFileSystem(), JournalPath());
    ASSERT_TRUE(journal.has_value());
    // The player put a file of their own where the mod's notes were moved.
    WriteFile(game_.Path() / "mine.txt", "mine");
    fs::remove(game_.Path() / "old notes.txt");
    fs::rename(game_.Path() / "mine.txt", game_.Path() / "old notes.txt");
    journal->commands[0].moves[0].readOnly = false;
    EXPECT_EQ(UndoInstall(logged.Scripting(), *journal).outOfPlace, 1u);
    EXPECT_EQ(ReadFile(game_.Path() / "old notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(game_.Path() / "notes.txt"));
    EXPECT_EQ(ReadFile(game_.Path() / "Sky.pak"), "sky");
    const std::string log = logged.Body();
    EXPECT_NE(log.find("ERROR: failed to rename 'old notes.txt' to 'notes.txt'!\n > '"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("old notes.txt' is not the file the install moved there from '"),
              std::string::npos);
}

// A restore killed at any move of a chain across commands (the second swap
// takes the first one's result) goes on where it stopped at the next start,
// from the records of its progress and the files' identities, however often.
TEST_F(UndoJournalTest, ARestoreCutShortOfAChainFinishesExactly) {
    WriteFile(launcher_.Path() / "chain.dat",
              "RenameEx(\"@rootdir\\A\", \"@rootdir\\M\", \"@rootdir\\A.bak\")\n"
              "RenameEx(\"@rootdir\\B\", \"@rootdir\\A\", \"@rootdir\\B.bak\")\n");
    WriteFile(game_.Path() / "A", "game a");
    WriteFile(game_.Path() / "M", "mod");
    WriteFile(game_.Path() / "B", "game b");
    MakeReadOnly(game_.Path() / "B");
    const Snapshot before = TakeSnapshot(game_.Path());
    struct Killed {};
    // Ends the restore at its move `at`, as a kill would.
    struct KillingFiles : FileSystemProxy {
        using FileSystemProxy::FileSystemProxy;
        OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
            if (moves++ == at) {
                throw Killed{};
            }
            return inner_.MoveNoReplace(from, to);
        }
        int at = 0;
        int moves = 0;
    };
    for (int at = 0; at < 4; ++at) {
        ScratchDir launcher;
        LoggedTest logged(launcher);
        Install(nullptr, "chain.dat");
        for (int start = 0; start < 3; ++start) {
            const auto journal = ReadJournal(NativeFileSystem(), JournalPath());
            ASSERT_TRUE(journal.has_value());
            UndoJournal progress;
            ASSERT_TRUE(progress.Reopen(NativeFileSystem(), JournalPath()));
            if (start > 0) {
                EXPECT_TRUE(UndoInstall(logged.Scripting(), *journal, &progress).Complete())
                    << at << logged.Body();
                continue;
            }
            KillingFiles killing(NativeFileSystem());
            killing.at = at;
            const Engine dying{killing, logged.Told()};
            EXPECT_THROW(UndoInstall(dying, *journal, &progress), Killed);
        }
        EXPECT_EQ(TakeSnapshot(game_.Path()), before) << at << Describe(TakeSnapshot(game_.Path()));
        PutBack(before);
    }
}

// The install takes each look-up as the rehearsal found it, also the few
// whose names the path as asked does not give, and those nothing is at.
TEST(UndoJournalLookUpTest, TheInstallTakesWhatTheRehearsalFound) {
    struct Rehearsal : FileSystemProxy {
        Rehearsal() : FileSystemProxy(NativeFileSystem()) {}
        std::vector<PathState> LookUp(std::span<const std::string>, bool) override { return found; }
        std::vector<PathState> found = {
            {"a.pak", "A.pak", "/game/A.pak", FileAttributes{0644, false, true, {7, 9, true}}},
            {"b.dw", "b.dw", "/moved/b.dw", FileAttributes{0755, true, false, {}}},
            {"c.bak", "c.bak", "/game/c.bak", std::nullopt},
        };
    } disk;
    const std::vector<std::string> paths = {"a.pak", "b.dw", "c.bak"};
    UndoJournal journal;
    static_cast<void>(journal.Plan(1, true, [&] {
        journal.LookUp(disk, paths, "/game");
        return true;
    }));
    const std::vector<PathState> rehearsed = std::exchange(disk.found, {});  // asked again: nothing
    const auto taken = journal.LookUp(disk, paths, "/game");
    ASSERT_EQ(taken.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const PathState& found = rehearsed[i];
        EXPECT_EQ(taken[i].stored, found.stored);
        EXPECT_EQ(taken[i].native, kWindowsPaths ? found.stored : found.native);
        ASSERT_EQ(taken[i].attributes.has_value(), found.attributes.has_value());
        if (found.attributes) {
            const auto fields = [](const FileAttributes& a) {
                return std::tuple(a.bits, a.directory, a.readOnly, a.identity);
            };
            EXPECT_EQ(fields(*taken[i].attributes), fields(*found.attributes)) << i;
        }
    }
}

// A rehearsal unsure of the disk (a link on the way) leaves no planned move
// standing: a crash before the install went otherwise would leave it for every
// recovery to undo.
TEST(UndoJournalLookUpTest, AnUnsureRehearsalLeavesNoPlannedMove) {
    ScratchDir folder;
    const std::string path = folder / "restore.jnl";
    UndoJournal journal;
    ASSERT_TRUE(journal.Start(NativeFileSystem(), path, folder.Path().string(), {}, 0));
    ASSERT_TRUE(journal.Plan(1, true, [&] {
        journal.BeginCommand(0, "Rename", {});
        const JournalMove move{"a", "b", false, false, {}, false};
        EXPECT_TRUE(journal.BeforeMove(move));
        return false;
    }));
    EXPECT_TRUE(journal.Contents().commands.empty());
    const auto read = ReadJournal(NativeFileSystem(), path);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->planned);
    EXPECT_TRUE(read->commands.empty());
}

// The checksum is CRC-32 as zip and PNG have it, one step of eight bytes and
// less alike: a journal an earlier launcher wrote must still read back.
TEST(JournalChecksumTest, IsTheCrc32OfZip) {
    EXPECT_EQ(Checksum(""), 0u);
    EXPECT_EQ(Checksum("123456789"), 0xCBF43926u);
    EXPECT_EQ(Checksum("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

}  // namespace
}  // namespace srdw::test
