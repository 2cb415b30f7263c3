// "RenameEx" triples: swapping in, swapping back, and what each refusal and
// failure leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <stdexcept>

#include "TestSupport.h"
#include "script/FileMoves.h"
#include "script/FolderModel.h"
#include "script/ModScript.h"

namespace srdw::test {
namespace {

class FileSwapTest : public ::testing::Test {
  protected:
    FileSwapTest() : logged_(dir_) {}

    void SetUp() override {
        original_ = dir_ / "Data\\Game File.pak";
        modified_ = dir_ / "Data\\Game File.mod";
        backup_ = dir_ / "Data\\Game File.bak";
        WriteFile(dir_.Path() / "Data" / "Game File.pak", "game");
        WriteFile(dir_.Path() / "Data" / "Game File.mod", "mod");
    }

    Snapshot Files() const { return TakeSnapshot(dir_.Path() / "Data"); }
    // "RenameEx" one way or the other, on `files_` when a test plays its own.
    void Exchange(bool install, const std::string& original, UndoJournal* journal = nullptr,
                  const std::string* modified = nullptr) {
        const Engine engine{files_ ? *files_ : logged_.Platform(), logged_.Told()};
        const std::string arguments[] = {original, modified ? *modified : modified_, backup_};
        const CommandDefinition& swap = *FindCommand("RenameEx");
        std::string directory = engine.files.WorkingDirectory();
        static_cast<void>(Perform({engine, journal, directory, arguments},
                                  install ? *swap.install : *swap.restore));
    }
    void Swap() { Exchange(true, original_); }
    void Unswap() { Exchange(false, original_); }

    ScratchDir dir_;
    LoggedTest logged_;
    FileSystem* files_ = nullptr;
    std::string original_, modified_, backup_;
};

// Moves out of the paths that `fails` picks fail with `error`.
class FailingMovePlatform : public TestPlatform {
  public:
    std::function<bool(const std::string&)> fails;
    OsError error = OsError::AccessDenied;
    std::vector<unsigned> pauses;
    OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
        if (fails && fails(from)) {
            return {error};
        }
        return TestPlatform::MoveNoReplace(from, to);
    }
    void Sleep(unsigned milliseconds) override { pauses.push_back(milliseconds); }
};

TEST_F(FileSwapTest, SwapAndUnswapRoundTripKeepingReadOnly) {
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    const Snapshot before = Files();

    Swap();
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.bak", {"game", true}}, {"Game File.pak", {"mod", false}}}));
    Unswap();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(logged_.Body(), "Swapping files...succeeded!\nUnswapping files...succeeded!\n");
}

// Where the system refuses to move a read-only file, the file is made writable for
// the move only, and is read-only again under its new name.
TEST_F(FileSwapTest, ReadOnlyFilesMoveWhereTheSystemRefusesThem) {
    struct RefusingReadOnly : TestPlatform {
        int refused = 0;
        OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
            const auto attributes = Attributes(from);
            if (attributes && attributes->readOnly) {
                ++refused;
                return {OsError::AccessDenied};
            }
            return TestPlatform::MoveNoReplace(from, to);
        }
    } platform;
    files_ = &platform;
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    MakeReadOnly(dir_.Path() / "Data" / "Game File.mod");
    const Snapshot before = Files();
    Swap();
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.bak", {"game", true}}, {"Game File.pak", {"mod", true}}}));
    Unswap();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(platform.refused, 4);
    EXPECT_EQ(logged_.Body(), "Swapping files...succeeded!\nUnswapping files...succeeded!\n");
}

TEST_F(FileSwapTest, NamesKeepTheirLetterCaseWhateverTheScriptWrites) {
    const Snapshot before = Files();
    const std::string upper = dir_ / "DATA\\GAME FILE.PAK";
    Exchange(true, upper);
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.bak", {"game", false}}, {"Game File.pak", {"mod", false}}}));
    Exchange(false, upper);
    EXPECT_EQ(Files(), before);
}

TEST_F(FileSwapTest, RefusalsLeaveEveryFileWhereItWas) {
    WriteFile(dir_.Path() / "Data" / "Game File.bak", "stale");
    MakeReadOnly(dir_.Path() / "Data" / "Game File.mod");
    const Snapshot before = Files();
    Swap();    // a stale backup from an earlier run
    Unswap();  // nothing was swapped: the modified file is still there
    EXPECT_EQ(Files(), before);

    std::filesystem::remove(dir_.Path() / "Data" / "Game File.bak");
    Exchange(true, dir_ / "Data\\none.pak");
    const std::string none = dir_ / "Data\\none.mod";
    Exchange(true, original_, nullptr, &none);
    EXPECT_EQ(logged_.Body(), "Swapping files...FAILED!\n > the backup file '" + backup_ +
                                  "' already exists!\n"
                                  "Unswapping files...FAILED!\n > the modified file '" +
                                  modified_ +
                                  "' still exists!\n"
                                  "Swapping files...FAILED!\n > the original file '" +
                                  dir_ / "Data\\none.pak" +
                                  "' does not exist!\n"
                                  "Swapping files...FAILED!\n > the modified file '" +
                                  none + "' does not exist!\n");
}

TEST_F(FileSwapTest, UnswapNamesTheMissingFile) {
    Swap();
    std::filesystem::rename(dir_.Path() / "Data" / "Game File.bak", dir_.Path() / "elsewhere");
    Unswap();
    EXPECT_EQ(logged_.Body(),
              "Swapping files...succeeded!\nUnswapping files...FAILED!\n"
              " > the backup file '" +
                  backup_ + "' does not exist!\n");
    EXPECT_EQ(Files(), (Snapshot{{"Game File.pak", {"mod", false}}}));
}

TEST_F(FileSwapTest, FailedSecondMoveOfASwapIsTakenBack) {
    const Snapshot before = Files();
    FailingMovePlatform platform;
    files_ = &platform;
    platform.fails = [&](const std::string& from) { return from == modified_; };

    Swap();
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(logged_.Body(), "Swapping files...FAILED!\n > cannot move '" + modified_ +
                                  "'!\n"
                                  " > the first move was undone: moved '" +
                                  backup_ + "' back to '" + original_ + "'\n");
}

TEST_F(FileSwapTest, FailedSecondMoveOfAnUnswapIsTakenBack) {
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    Swap();
    const Snapshot swapped = Files();
    FailingMovePlatform platform;
    files_ = &platform;
    platform.fails = [&](const std::string& from) { return from == backup_; };

    Unswap();
    EXPECT_EQ(Files(), swapped);
    platform.fails = nullptr;
    Unswap();  // a later restore still can
    EXPECT_EQ(Files(),
              (Snapshot{{"Game File.mod", {"mod", false}}, {"Game File.pak", {"game", true}}}));
    EXPECT_EQ(logged_.Body(),
              "Swapping files...succeeded!\n"
              "Unswapping files...FAILED!\n > cannot restore '" +
                  backup_ +
                  "'!\n"
                  " > the first move was undone: moved '" +
                  modified_ + "' back to '" + original_ +
                  "'\n"
                  "Unswapping files...succeeded!\n");
}

TEST_F(FileSwapTest, AFileHeldByAnotherProgramIsTriedAgain) {
    FailingMovePlatform platform;
    files_ = &platform;
    platform.error = OsError::SharingViolation;
    int heldFor = 2;
    platform.fails = [&](const std::string& from) { return from == modified_ && heldFor-- > 0; };
    Swap();
    EXPECT_EQ(platform.pauses, (std::vector<unsigned>{50, 100}));
    const Snapshot installed{{"Game File.bak", {"game", false}}, {"Game File.pak", {"mod", false}}};
    EXPECT_EQ(Files(), installed);

    // Held for good: five more tries, then the move counts as failed.
    platform.fails = [&](const std::string& from) { return from == original_; };
    platform.pauses.clear();
    Unswap();
    EXPECT_EQ(platform.pauses, (std::vector<unsigned>{50, 100, 200, 400, 800}));
    EXPECT_EQ(Files(), installed);

    // Each note is a line of its own, so the verdict after it begins a line.
    const auto held = [](const std::string& path, const char* pause) {
        return " > '" + path + "' is in use by another program; trying again in " + pause +
               " ms...\n";
    };
    EXPECT_EQ(logged_.Body(),
              "Swapping files...\n" + held(modified_, "50") + held(modified_, "100") +
                  "succeeded!\nUnswapping files...\n" + held(original_, "50") +
                  held(original_, "100") + held(original_, "200") + held(original_, "400") +
                  held(original_, "800") + "FAILED!\n > cannot move '" + original_ + "'!\n");
}

// The launcher dies between the two moves of a swap: the journal knows the one
// move that was made and takes it back; the script alone would only guess, so
// it moves nothing.
TEST_F(FileSwapTest, JournalTakesBackASwapCutOffBetweenItsMoves) {
    MakeReadOnly(dir_.Path() / "Data" / "Game File.pak");
    const Snapshot before = Files();
    struct DyingPlatform : TestPlatform {
        std::string dies;
        OsResult MoveLookedUp(const PathState& from, const PathState& to) override {
            if (from.path == dies) {
                throw std::runtime_error("the launcher dies");
            }
            return TestPlatform::MoveLookedUp(from, to);
        }
    } platform;
    platform.dies = modified_;
    files_ = &platform;
    UndoJournal journal;
    journal.BeginCommand(0, "RenameEx", {});
    EXPECT_THROW(Exchange(true, original_, &journal), std::runtime_error);
    const Snapshot cutOff = Files();
    files_ = nullptr;
    Unswap();
    EXPECT_EQ(Files(), cutOff);
    EXPECT_TRUE(UndoInstall(logged_.Scripting(), journal.Contents()).Complete());
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(logged_.Body(),
              "Swapping files...Unswapping files...FAILED!\n > the modified "
              "file '" +
                  modified_ +
                  "' still exists!\n\nRestoring script...\nExecuting "
                  "'RenameEx()'\nUnswapping files...succeeded!\n");
}

// The folder model moves a file to the top of the volume as the disk would,
// and the disk keeps what it has.
TEST(FolderModelTest, AMoveToTheVolumesTopStaysInTheModel) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Sky.pak", "sky");
    FolderModel model(NativeFileSystem());
    const std::string from = (dir.Path() / "Sky.pak").string();
    const std::string to = (dir.Path().root_path() / "srdw-model-test.pak").string();
    ASSERT_TRUE(model.MoveNoReplace(from, to));
    EXPECT_TRUE(model.Attributes(to));
    EXPECT_FALSE(model.Attributes(from));
    EXPECT_TRUE(std::filesystem::exists(from));
    EXPECT_FALSE(std::filesystem::exists(to));
}

// A folder whose read-only bit the run changed keeps what it holds.
TEST(FolderModelTest, AFolderWhoseAttributesChangedKeepsItsFiles) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Data" / "Sky.pak", "sky");
    FolderModel model(NativeFileSystem());
    ASSERT_TRUE(model.SetNormalAttributes((dir.Path() / "Data").string()));
    EXPECT_TRUE(model.Attributes((dir.Path() / "Data" / "Sky.pak").string()));
}

// A link above the folder the run works in gives each place one name still;
// one folder reached by its own path and through a link has two.
TEST(FolderModelTest, OneFolderUnderTwoPathsIsSeen) {
    ScratchDir dir;
    WriteFile(dir.Path() / "real" / "Data" / "a", "a");
    if (!MadeFolderLink("real", dir.Path() / "link")) {
        GTEST_SKIP() << "no symbolic links here";
    }
    FolderModel model(NativeFileSystem());
    const std::string linked = (dir.Path() / "link" / "Data").string();
    ASSERT_TRUE(model.MoveNoReplace(linked + kSeparator + "a", linked + kSeparator + "b"));
    EXPECT_FALSE(model.SawTwoNames());
    EXPECT_TRUE(model.Attributes((dir.Path() / "real" / "Data" / "a").string()));
    EXPECT_TRUE(model.SawTwoNames());
    // Also where only the link itself is the other name.
    FolderModel other(NativeFileSystem());
    EXPECT_TRUE(other.Attributes((dir.Path() / "real" / "Data" / "a").string()));
    EXPECT_FALSE(other.Attributes((dir.Path() / "link" / "Gone" / "a").string()));
    EXPECT_TRUE(other.SawTwoNames());
}

#ifdef _WIN32
// The identity of a file in the working directory, by its relative name: the
// file is opened alone, without its folder's listing.
FileIdentity OpenedAlone(const std::string& name) {
    const auto found = srdw::NativeFileSystem().LookUp(std::span(&name, 1));
    return found[0].attributes ? found[0].attributes->identity : FileIdentity{};
}

// "C:Sky.pak" is the file in drive C's current directory: its stored name keeps the drive.
TEST(StoredNameTest, ADriveRelativeNameKeepsItsDrive) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Sky.pak", "sky");
    InDirectory inside(dir.Path());
    const std::string drive = dir.Path().string().substr(0, 2);
    const std::string shouted = drive + "SKY.PAK";
    EXPECT_EQ(srdw::NativeFileSystem().LookUp(std::span(&shouted, 1))[0].stored, drive + "Sky.pak");
}

// One look-up a path gives its attributes and its name as stored: also for a
// folder named with its trailing backslash, which has no entry of its own.
TEST(StoredNameTest, LookingUpGivesAttributesAndStoredName) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Sky.pak", "sky");
    MakeReadOnly(dir.Path() / "Sky.pak");
    InDirectory inside(dir.Path());
    const std::vector<std::string> paths{"SKY.PAK", "sky.bak", "Gone\\Sky.pak",
                                         dir.Path().string() + "\\"};
    const auto states = srdw::NativeFileSystem().LookUp(paths);
    ASSERT_EQ(states.size(), 4u);
    ASSERT_TRUE(states[0].Exists());
    EXPECT_EQ(states[0].stored, "Sky.pak");
    EXPECT_TRUE(states[0].attributes->readOnly);
    EXPECT_FALSE(states[1].Exists());
    EXPECT_EQ(states[1].stored, "sky.bak");
    EXPECT_FALSE(states[2].Exists());
    ASSERT_TRUE(states[3].Exists());
    EXPECT_TRUE(states[3].attributes->directory);
    // A look-up knows the file as the file opened alone (asked by a relative
    // name, which no folder's listing serves) does, however it is asked: with
    // its folder (twice: the second time by the folder's known volume), by a
    // name the system drops a dot of, relative to the directory.
    const FileIdentity opened = OpenedAlone("Sky.pak");
    ASSERT_TRUE(opened.known);
    const std::string full = (dir.Path() / "Sky.pak").string();
    for (const std::string& path :
         {full, full, std::string("Sky.pak."), std::string(".\\sky.pak")}) {
        const auto again = srdw::NativeFileSystem().LookUp(std::span(&path, 1));
        ASSERT_TRUE(again[0].Exists()) << path;
        EXPECT_EQ(again[0].attributes->identity, opened) << path;
    }
    // A whole path in another letter case, found in its folder's listing, is spelled as stored.
    const std::string shouted = (dir.Path() / "SKY.PAK").string();
    EXPECT_EQ(srdw::NativeFileSystem().LookUp(std::span(&shouted, 1))[0].stored, full);
    ASSERT_TRUE(srdw::NativeFileSystem().MoveLookedUp(states[0], states[1]));
    const std::string backup = "SKY.BAK";
    EXPECT_EQ(srdw::NativeFileSystem().LookUp(std::span(&backup, 1))[0].stored, "sky.bak");
    // A folder named through "." moves: Wine finds "Maps\." under the name "Maps".
    std::filesystem::create_directory(dir.Path() / "Maps");
    const std::vector<std::string> folder{"Maps\\.", "Maps Off"};
    const auto named = srdw::NativeFileSystem().LookUp(folder);
    EXPECT_TRUE(srdw::NativeFileSystem().MoveLookedUp(named[0], named[1]));
}

// A folder looked up again is known from one listing of it: the launcher's own
// moves keep that listing current, and a file another program puts in the
// place of a listed one is known by its own identity.
TEST(StoredNameTest, AFolderListedOnceStaysTrue) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Sky.pak", "sky");
    WriteFile(dir.Path() / "Sea.pak", "sea");
    InDirectory inside(dir.Path());
    FileSystem& files = srdw::NativeFileSystem();
    const auto lookUp = [&files, &dir](const char* name) {
        const std::string path = (dir.Path() / name).string();
        return files.LookUp(std::span(&path, 1))[0];
    };
    const FileIdentity sky = OpenedAlone("Sky.pak");
    ASSERT_TRUE(lookUp("Sea.pak").Exists());
    ASSERT_TRUE(files.MoveLookedUp(lookUp("Sky.pak"), lookUp("Sky.bak")));
    EXPECT_FALSE(lookUp("Sky.pak").Exists());
    ASSERT_TRUE(lookUp("Sky.bak").Exists());
    EXPECT_EQ(lookUp("Sky.bak").attributes->identity, sky);
    WriteFile(dir.Path() / "Sky.new", "another");
    std::filesystem::remove(dir.Path() / "Sky.bak");
    std::filesystem::rename(dir.Path() / "Sky.new", dir.Path() / "Sky.bak");
    const FileIdentity another = OpenedAlone("Sky.bak");
    ASSERT_NE(another, sky);
    EXPECT_EQ(lookUp("Sky.bak").attributes->identity, another);
}
#endif

}  // namespace
}  // namespace srdw::test
