// Installing and restoring whole scripts on a real game directory.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "script/ModScript.h"
#include "script/PathModel.h"

namespace srdw::test {
namespace {

constexpr const char* kScript =
    "// Duskwarden: swaps the sky and the world map, renames a chain\r\n"
    "RenameEx(\"@rootdir\\Data\\Textures\\Sky.pak\", \"@rootdir\\Data\\Textures\\Sky.dw\",\r\n"
    "         \"@ROOTDIR\\Data\\Textures\\Sky.bak\");\r\n"
    "Rename(a.txt, b.txt);\r\n"
    "Rename(b.txt, c.txt);\r\n"
    "SetDirectory(Data)\r\n"
    "RenameEx(\"Maps\\World Map.map\", \"Maps\\World Map.dw\", \"Maps\\World Map.bak\")\r\n"
    "SetDirectory(maps)  // a relative directory, in the wrong letter case\r\n"
    "Rename(notes.txt, \"notes old.txt\")\r\n"
    "renameex(notes.txt, x, y)\r\n"
    "Rename(only)\r\n";

class ScriptExecutionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path root = dir_.Path();
        WriteFile(root / "Data/Textures/Sky.pak", "sky");
        WriteFile(root / "Data/Textures/Sky.dw", "dusk sky");
        WriteFile(root / "Data/Maps/World Map.map", "world");
        WriteFile(root / "Data/Maps/World Map.dw", "dusk world");
        WriteFile(root / "Data/Maps/notes.txt", "notes");
        WriteFile(root / "a.txt", "a");
        WriteFile(root / "DWSR.dat", kScript);
        MakeReadOnly(root / "Data/Textures/Sky.pak");
        MakeReadOnly(root / "Data/Maps/World Map.dw");
        rootDir_ = root.string();
    }

    std::string Path(const std::string& relative) const { return dir_ / relative; }

    Placeholders Values() const { return {rootDir_, ""}; }

    // The game directory after the script's first commands: the notes renamed,
    // the sky swapped.
    static Snapshot NotesAndSkyInstalled(Snapshot installed) {
        installed.erase("a.txt");
        installed["c.txt"] = {"a", false};
        installed["Data/Textures/Sky.pak"] = {"dusk sky", false};
        installed.erase("Data/Textures/Sky.dw");
        installed["Data/Textures/Sky.bak"] = {"sky", true};
        return installed;
    }

    // The launcher's install up to its first move: the script loaded, its
    // journal started beside the launcher and the plan written.
    void Plan(FileSystem& disk, const Engine& engine, LoggedTest& logged, ModScript& script,
              UndoJournal& journal) {
        ASSERT_TRUE(script.Load(logged.Platform(), logged.Log(), Path("DWSR.dat")));
        ASSERT_TRUE(
            journal.Start(disk, launcherDir_ / "restore.jnl", rootDir_, {}, script.TextChecksum()));
        ASSERT_TRUE(script.PlanInstall(engine, Values(), journal));
    }

    std::string rootDir_;
    ScratchDir dir_;          // the game
    ScratchDir launcherDir_;  // where the log goes
    InDirectory inGame_{dir_.Path()};
};

TEST_F(ScriptExecutionTest, RestoreUndoesInstallExactly) {
    const Snapshot before = TakeSnapshot(dir_.Path());
    LoggedTest logged(launcherDir_);
    ModScript script;
    ASSERT_TRUE(script.Load(logged.Platform(), logged.Log(), Path("DWSR.dat")));
    UndoJournal journal;
    script.Install(logged.Scripting(), Values(), journal);

    Snapshot installed = NotesAndSkyInstalled(before);
    installed["Data/Maps/World Map.map"] = {"dusk world", true};
    installed.erase("Data/Maps/World Map.dw");
    installed["Data/Maps/World Map.bak"] = {"world", false};
    installed.erase("Data/Maps/notes.txt");
    installed["Data/Maps/notes old.txt"] = {"notes", false};
    EXPECT_EQ(TakeSnapshot(dir_.Path()), installed) << Describe(TakeSnapshot(dir_.Path()));

    EXPECT_TRUE(UndoInstall(logged.Scripting(), journal.Contents()).Complete());
    EXPECT_EQ(TakeSnapshot(dir_.Path()), before) << Describe(TakeSnapshot(dir_.Path()));

    const std::string sky = dir_.Path().string() + R"(\Data\Textures\Sky)";
    const std::string swapSky =
        "Executing 'RenameEx()'\n"
        "- Parsing path: '\"@rootdir\\Data\\Textures\\Sky.pak\"' -> '" +
        sky +
        ".pak'\n"
        "- Parsing path: '\"@rootdir\\Data\\Textures\\Sky.dw\"' -> '" +
        sky +
        ".dw'\n"
        "- Parsing path: '\"@ROOTDIR\\Data\\Textures\\Sky.bak\"' -> '" +
        sky + ".bak'\n";
    const std::string renameAB =
        "Executing 'Rename()'\n- Parsing path: 'a.txt' -> 'a.txt'\n"
        "- Parsing path: 'b.txt' -> 'b.txt'\n";
    const std::string renameBC =
        "Executing 'Rename()'\n- Parsing path: 'b.txt' -> 'b.txt'\n"
        "- Parsing path: 'c.txt' -> 'c.txt'\n";
    const std::string toData = "Executing 'SetDirectoty()'\n- Parsing path: 'Data' -> 'Data'\n";
    const std::string swapMap =
        "Executing 'RenameEx()'\n"
        "- Parsing path: '\"Maps\\World Map.map\"' -> 'Maps\\World Map.map'\n"
        "- Parsing path: '\"Maps\\World Map.dw\"' -> 'Maps\\World Map.dw'\n"
        "- Parsing path: '\"Maps\\World Map.bak\"' -> 'Maps\\World Map.bak'\n";
    const std::string toMaps = "Executing 'SetDirectoty()'\n- Parsing path: 'maps' -> 'maps'\n";
    const std::string renameNotes =
        "Executing 'Rename()'\n- Parsing path: 'notes.txt' -> 'notes.txt'\n"
        "- Parsing path: '\"notes old.txt\"' -> 'notes old.txt'\n";
    const std::string renameOnly = "Executing 'Rename()'\n- Parsing path: 'only' -> 'only'\n";
    EXPECT_EQ(logged.Body(), "Loading script: " + Path("DWSR.dat") +
                                 "\n"
                                 "\nInstalling script...\n" +
                                 swapSky + "Swapping files...succeeded!\n" + renameAB + renameBC +
                                 toData + swapMap + "Swapping files...succeeded!\n" + toMaps +
                                 renameNotes + renameOnly + "\nRestoring script...\n" + renameOnly +
                                 " > nothing to undo: its install moved nothing\n" + renameNotes +
                                 toMaps + swapMap + "Unswapping files...succeeded!\n" + toData +
                                 renameBC + renameAB + swapSky + "Unswapping files...succeeded!\n");
}

TEST_F(ScriptExecutionTest, RecoveryRunRestoresFromTheGameDirectory) {
    const Snapshot before = TakeSnapshot(dir_.Path());
    {
        LoggedTest logged(launcherDir_);
        ModScript installing;
        UndoJournal journal;
        ASSERT_NO_FATAL_FAILURE(
            Plan(logged.Platform(), logged.Scripting(), logged, installing, journal));
        installing.Install(logged.Scripting(), Values(), journal);  // and then the launcher is gone
    }
    fs::current_path(dir_.Path());  // the next start locates the game again

    LoggedTest logged(launcherDir_);
    const auto journal = ReadJournal(logged.Platform(), launcherDir_ / "restore.jnl");
    ASSERT_TRUE(journal.has_value());
    EXPECT_FALSE(journal->complete);
    EXPECT_TRUE(UndoInstall(logged.Scripting(), *journal).Complete());
    EXPECT_EQ(TakeSnapshot(dir_.Path()), before) << Describe(TakeSnapshot(dir_.Path()));
    EXPECT_EQ(logged.Body().find("ERROR"), std::string::npos);
}

// The install takes what its rehearsal found of each path instead of asking
// the disk again; from a move that goes otherwise than planned on, it asks.
TEST_F(ScriptExecutionTest, TheInstallAsksTheDiskOnlyOnceItLeavesThePlan) {
    struct CountingPlatform : FileSystemProxy {
        CountingPlatform() : FileSystemProxy(NativeFileSystem()) {}
        std::optional<FileAttributes> Attributes(const std::string& path) override {
            ++looks;
            return inner_.Attributes(path);
        }
        OsResult MoveNoReplace(const std::string& from, const std::string& to) override {
            if (!refused.empty() && from.ends_with(refused)) {
                return {OsError::AccessDenied};
            }
            return inner_.MoveNoReplace(from, to);
        }
        std::size_t looks = 0;
        std::string refused;
    };
    const Snapshot before = TakeSnapshot(dir_.Path());
    for (const std::string refused : {"", "b.txt"}) {
        fs::current_path(dir_.Path());  // where the install before left it
        LoggedTest logged(launcherDir_);
        CountingPlatform disk;
        disk.refused = refused;
        const Engine engine{disk, logged.Told()};
        ModScript script;
        UndoJournal journal;
        ASSERT_NO_FATAL_FAILURE(Plan(disk, engine, logged, script, journal));
        const std::size_t rehearsed = disk.looks;
        script.Install(engine, Values(), journal);
        if (refused.empty()) {
            EXPECT_EQ(disk.looks, rehearsed);
        } else {  // "Rename(b.txt, c.txt)" fails: the swap of the map after it looks again
            EXPECT_GE(disk.looks, rehearsed + 3);
        }
        ASSERT_TRUE(journal.Finish());
        disk.refused.clear();
        EXPECT_TRUE(UndoInstall(engine, journal.Contents(), &journal).Complete());
        EXPECT_EQ(TakeSnapshot(dir_.Path()), before) << Describe(TakeSnapshot(dir_.Path()));
    }
}

// A directory the disk refuses to change to, which the rehearsal changed to,
// leaves the install where it was: there it asks the disk of the paths
// instead of taking what the rehearsal found of them in the other directory.
TEST_F(ScriptExecutionTest, TheInstallTakesNoLookUpMadeInAnotherDirectory) {
    struct StayingPlatform : FileSystemProxy {
        StayingPlatform() : FileSystemProxy(NativeFileSystem()) {}
        OsResult ChangeDirectory(const std::string&) override { return {OsError::NotFound}; }
    };
    const Snapshot before = TakeSnapshot(dir_.Path());
    LoggedTest logged(launcherDir_);
    StayingPlatform disk;
    const Engine engine{disk, logged.Told()};
    ModScript script;
    UndoJournal journal;
    ASSERT_NO_FATAL_FAILURE(Plan(disk, engine, logged, script, journal));
    script.Install(engine, Values(), journal);
    ASSERT_TRUE(journal.Finish());

    // The game directory holds no map to swap and no notes to rename.
    Snapshot installed = NotesAndSkyInstalled(before);
    EXPECT_EQ(TakeSnapshot(dir_.Path()), installed) << Describe(TakeSnapshot(dir_.Path()));
    EXPECT_TRUE(UndoInstall(engine, journal.Contents(), &journal).Complete());
    EXPECT_EQ(TakeSnapshot(dir_.Path()), before) << Describe(TakeSnapshot(dir_.Path()));
}

// Outside Windows "C:" begins a name, not a drive: such a file, moved where a
// SetDirectory led, is put back from there by a later start.
TEST_F(ScriptExecutionTest, ADriveLikeNameOutsideWindowsIsRestoredWhereItWas) {
    if (kWindowsPaths) {
        GTEST_SKIP() << "a drive on Windows";
    }
    WriteFile(dir_.Path() / "Data/C:sky.pak", "sky");
    WriteFile(dir_.Path() / "drive.dat", "SetDirectory(Data)\r\nRename(C:sky.pak, sky.off)\r\n");
    const Snapshot before = TakeSnapshot(dir_.Path());
    LoggedTest logged(launcherDir_);
    ModScript script;
    ASSERT_TRUE(script.Load(logged.Platform(), logged.Log(), Path("drive.dat")));
    UndoJournal journal;
    script.Install(logged.Scripting(), Values(), journal);
    ASSERT_NE(TakeSnapshot(dir_.Path()), before);
    fs::current_path(dir_.Path());  // the next start works from the game directory
    EXPECT_TRUE(UndoInstall(logged.Scripting(), journal.Contents()).Complete());
    EXPECT_EQ(TakeSnapshot(dir_.Path()), before) << Describe(TakeSnapshot(dir_.Path()));
}

TEST_F(ScriptExecutionTest, RestoringWhatWasNeverInstalledMovesNothing) {
    const Snapshot before = TakeSnapshot(dir_.Path());
    LoggedTest logged(launcherDir_);
    ModScript script;
    ASSERT_TRUE(script.Load(logged.Platform(), logged.Log(), Path("DWSR.dat")));
    script.Restore(logged.Scripting(), Values());
    EXPECT_EQ(TakeSnapshot(dir_.Path()), before);

    const std::string log = logged.Body();
    EXPECT_NE(log.find("ERROR: the file 'c.txt' does not exist!\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: the file 'notes old.txt' does not exist!\n"), std::string::npos);
    EXPECT_NE(log.find("Unswapping files...FAILED!\n > the modified file 'Maps\\World Map.dw' "
                       "still exists!\n"),
              std::string::npos);
}

TEST_F(ScriptExecutionTest, RenameRefusesToReplace) {
    WriteFile(dir_.Path() / "b.txt", "in the way");
    LoggedTest logged(launcherDir_);
    WriteFile(dir_.Path() / "chain.dat", "Rename(a.txt,B.TXT)Rename(missing.txt,z.txt)");
    ModScript script;
    ASSERT_TRUE(script.Load(logged.Platform(), logged.Log(), Path("chain.dat")));
    UndoJournal journal;
    script.Install(logged.Scripting(), Values(), journal);
    EXPECT_EQ(ReadFile(dir_.Path() / "a.txt"), "a");
    EXPECT_EQ(ReadFile(dir_.Path() / "b.txt"), "in the way");
    const std::string log = logged.Body();
    EXPECT_NE(log.find("ERROR: the file 'B.TXT' already exists!\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: the file 'missing.txt' does not exist!\n"), std::string::npos);
}

}  // namespace
}  // namespace srdw::test
