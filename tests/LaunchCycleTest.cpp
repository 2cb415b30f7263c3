// Whole launcher runs in the test's process: the game directory is real, the
// game, the user and the system's records are played by TestPlatform.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "TestSupport.h"
#include "app/LauncherApp.h"
#include "log/RunLog.h"
#include "platform/ElevationRule.h"
#include "platform/SystemCalls.h"
#include "res/resource.h"
#include "script/PathModel.h"

namespace srdw::test {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kScript =
    "RenameEx(\"@rootdir\\Data\\Sky.pak\", \"@rootdir\\Data\\Sky.dw\", "
    "\"@rootdir\\Data\\Sky.bak\")\n"
    "Rename(x.txt, \"@cmdline\")\n";

class LaunchCycleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform_.ownPath = game_ / "SrdwLaunch.exe";
        WriteFile(game_.Path() / "srend.exe", "game");
        WriteFile(game_.Path() / "SrdwLaunch.dat", kScript);
        WriteFile(game_.Path() / "Data" / "Sky.pak", "sky");
        WriteFile(game_.Path() / "Data" / "Sky.dw", "dusk sky");
    }

    // One whole run of the launcher; returns its log without header and footer.
    std::string Run() { return RunLauncher(*current_, game_.Path() / "SrdwLaunch.log"); }
    Snapshot Game() const { return GameFolder(game_.Path()); }
    bool MarkerExists() const { return fs::exists(game_.Path() / "restore.mod"); }
    std::string Root() const { return game_.Path().string(); }

    ScratchDir game_;
    TestPlatform platform_;
    TestPlatform* current_ = &platform_;  // the one a run works on
};

TEST_F(LaunchCycleTest, InstallsPlaysAndRestores) {
    platform_.commandLine = "  -Window /EDIT -Debug \t";
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] {
        EXPECT_EQ(ReadFile(game_.Path() / "Data" / "Sky.pak"), "dusk sky");
        EXPECT_EQ(ReadFile(game_.Path() / "restore.mod"), game_ / "SrdwLaunch.dat");
        EXPECT_EQ(platform_.startupEntries,
                  (std::map<std::string, std::string>{{"SrdwLaunch", RecoveryCommand(platform_)}}));
        EXPECT_EQ(fs::current_path(), game_.Path());
    };

    const std::string log = Run();

    EXPECT_EQ(Game(), before);
    EXPECT_FALSE(MarkerExists());
    EXPECT_TRUE(platform_.startupEntries.empty());
    EXPECT_EQ(platform_.events,
              (Strings{"begin wait cursor", "show splash", "write startup entry", "hide splash",
                       "game", "delete startup entry", "delete user startup entry",
                       "destroy splash", "end wait cursor"}));
    ASSERT_EQ(platform_.gameRuns.size(), 1u);
    EXPECT_EQ(platform_.gameRuns[0].file, Root() + "\\srend.exe");
    EXPECT_EQ(platform_.gameRuns[0].parameters, "-window  -debug");
    EXPECT_EQ(platform_.gameRuns[0].directory, Root());

    const std::string sky = Root() + "\\Data\\Sky";
    const std::string swap =
        "Executing 'RenameEx()'\n"
        "- Parsing path: '\"@rootdir\\Data\\Sky.pak\"' -> '" +
        sky +
        ".pak'\n"
        "- Parsing path: '\"@rootdir\\Data\\Sky.dw\"' -> '" +
        sky +
        ".dw'\n"
        "- Parsing path: '\"@rootdir\\Data\\Sky.bak\"' -> '" +
        sky + ".bak'\n";
    // "@cmdline" still holds "/edit" during the install, not during the restore.
    EXPECT_EQ(log, "Loading script: " + (game_ / "SrdwLaunch.dat") +
                       "\n"
                       "\nInstalling script...\n" +
                       swap +
                       "Swapping files...succeeded!\n"
                       "Executing 'Rename()'\n- Parsing path: 'x.txt' -> 'x.txt'\n"
                       "- Parsing path: '\"@cmdline\"' -> '-window /edit -debug'\n"
                       "ERROR: the file 'x.txt' does not exist!\n"
                       "\nExecuting 'ShellExecuteEx()'\n > App: " +
                       Root() +
                       "\\srend.exe\n"
                       " > Command: -window  -debug\n > Path: " +
                       Root() +
                       "\n"
                       "\nRestoring script...\n"
                       "Executing 'Rename()'\n- Parsing path: 'x.txt' -> 'x.txt'\n"
                       "- Parsing path: '\"@cmdline\"' -> '-window /edit -debug'\n"
                       " > nothing to undo: its install moved nothing\n" +
                       swap + "Unswapping files...succeeded!\n");
}

TEST_F(LaunchCycleTest, AnInterruptedRunIsRestoredByTheMarkerOrByTheSwitch) {
    const Snapshot before = Game();
    for (const bool byMarker : {true, false}) {
        platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
        EXPECT_THROW(Run(), std::runtime_error);  // the game runs; the launcher is gone
        ASSERT_TRUE(MarkerExists());
        ASSERT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
        EXPECT_NE(Game(), before);

        platform_.whileGameRuns = nullptr;
        platform_.events.clear();
        platform_.gameRuns.clear();
        if (!byMarker) {
            // The journal is the record of the install, marker or no marker.
            fs::remove(game_.Path() / "restore.mod");
            platform_.commandLine = "/recover";  // as the start-up entry starts it
        }
        const std::string log = Run();
        EXPECT_EQ(Game(), before) << (byMarker ? "by the marker" : "by the switch");
        EXPECT_FALSE(MarkerExists());
        EXPECT_TRUE(platform_.gameRuns.empty());
        // A recovery writes the entry that started it again, and removes it once done.
        EXPECT_EQ(platform_.events,
                  (Strings{"write startup entry", "begin wait cursor", "delete startup entry",
                           "delete user startup entry", "end wait cursor"}));
        EXPECT_NE(log.find("found '/recover' switch, restoring MOD...\n\nRestoring script...\n"),
                  std::string::npos)
            << log;
        EXPECT_TRUE(platform_.startupEntries.empty());
        platform_.commandLine.clear();
    }
}

// A script that moved the game itself: the recovery finds the game's folder in
// the journal, and puts the game back with everything else.
TEST_F(LaunchCycleTest, ARecoveryPutsBackAGameTheScriptMoved) {
    WriteFile(game_.Path() / "SrdwLaunch.dat", "Rename(srend.exe, srend.bak)\n");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    const std::string log = Run();  // with nobody there to point at the game
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// After a crash the journal, not the script, says what to undo: the script may
// have moved its own file, or a mod update may have replaced it, by the next start.
TEST_F(LaunchCycleTest, TheJournalUndoesWhatTheScriptNoLongerSays) {
    const std::string selfMoving =
        std::string(kScript) + "Rename(\"@rootdir\\SrdwLaunch.dat\", moved.dat)\n";
    for (const bool updated : {false, true}) {
        WriteFile(game_.Path() / "SrdwLaunch.dat", updated ? kScript : selfMoving);
        const Snapshot before = Game();
        platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
        EXPECT_THROW(Run(), std::runtime_error);
        if (updated) {
            WriteFile(game_.Path() / "SrdwLaunch.dat", "Rename(\"@rootdir\\Data\", Gone)\n");
        }
        platform_.whileGameRuns = nullptr;
        const std::string log = Run();
        if (updated) {
            WriteFile(game_.Path() / "SrdwLaunch.dat", kScript);
        }
        EXPECT_EQ(Game(), before) << log;
        EXPECT_FALSE(MarkerExists());
        EXPECT_FALSE(fs::exists(game_.Path() / "restore.jnl"));
        EXPECT_NE(
            log.find(updated ? "Unswapping files...succeeded!" : "restoring from the undo journal"),
            std::string::npos)
            << log;
    }
}

// Folders the script names through a dot, or moves with the current directory
// in them, go back to where they were, after the game and after a crash.
TEST_F(LaunchCycleTest, MovedFoldersGoBackWhereverTheDirectoryWas) {
    WriteFile(game_.Path() / "Data" / "Sub" / "f.pak", "f");
    WriteFile(game_.Path() / "Data" / "Deep" / "Inner" / "g.pak", "g");
    for (const char* script : {
             // Its name as stored is not the dot's.
             "Rename(\"@rootdir\\Data\\Sub\\.\", \"@rootdir\\Data\\Moved\")\n"
             "Rename(Data\\Deep\\Inner\\.., Data\\Deep2)\n",
             // The install leaves the launcher in a folder it moved.
             "Rename(Data\\Sub, Data\\Moved)\nSetDirectory(Data\\Moved)\nRename(f.pak, f2.pak)\n",
             // It moves the directory it works in (which Windows refuses).
             "SetDirectory(Data\\Sub)\nRename(., ..\\Moved)\nRename(f.pak, ..\\f4.pak)\n",
         }) {
        WriteFile(game_.Path() / "SrdwLaunch.dat", script);
        const Snapshot before = Game();
        for (const bool crash : {false, true}) {
            platform_.whileGameRuns = [&] {
                EXPECT_FALSE(fs::exists(game_.Path() / "Data" / "Sub" / "f.pak")) << script;
                if (crash) {
                    throw std::runtime_error("the launcher dies");
                }
            };
            if (crash) {
                EXPECT_THROW(Run(), std::runtime_error);
                platform_.whileGameRuns = nullptr;
            }
            const std::string log = Run();
            EXPECT_EQ(Game(), before) << script << log;
            EXPECT_FALSE(MarkerExists()) << log;
        }
    }
}

// A marker beside a journal that is empty, or whose last records are damaged
// (a power loss on a disk that lies about its syncs), never falls back on the
// script: what can be read is undone, and the marker, the journal and the
// start-up entry stay, with the log saying what was lost.
TEST_F(LaunchCycleTest, AJournalWithRecordsLostKeepsItsRecords) {
    const Snapshot before = Game();
    for (const bool empty : {true, false}) {
        platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
        EXPECT_THROW(Run(), std::runtime_error);
        platform_.whileGameRuns = nullptr;
        const fs::path journal = game_.Path() / "restore.jnl";
        // The end record damaged, and a good record after it, which only a
        // sync after the damage could have made durable: not a torn tail.
        const std::string bytes = ReadFile(journal);
        const std::size_t first = 8 + 8 + static_cast<unsigned char>(bytes[8]) +
                                  256u * static_cast<unsigned char>(bytes[9]);
        WriteFile(journal,
                  empty ? "" : bytes.substr(0, bytes.size() - 3) + bytes.substr(8, first - 8));
        const Snapshot installed = Game();
        const std::string log = Run();
        EXPECT_NE(log.find(empty ? "' holds no record that can be read; nothing is restored"
                                 : "' is damaged after its record "),
                  std::string::npos)
            << log;
        EXPECT_TRUE(MarkerExists());
        EXPECT_TRUE(fs::exists(journal));
        EXPECT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
        if (empty) {
            EXPECT_EQ(Game().count("Data/Sky.bak"), installed.count("Data/Sky.bak"));
            fs::remove(journal);  // the player's way out: the script restores it
        }
        Run();
        EXPECT_EQ(Game().count("Data/Sky.bak"), 0u);
        fs::remove(game_.Path() / "restore.mod");
        fs::remove(journal);
        platform_.startupEntries.clear();
    }
    EXPECT_EQ(Game().count("Data/Sky.pak"), before.count("Data/Sky.pak"));

    // A tail cut short by a power loss held no record a move waited for. Two
    // commands moved: the recovery puts back the second, and then meets
    // something in the way of the first.
    WriteFile(game_.Path() / "x.txt", "x");
    platform_.commandLine = "y.txt";
    const Snapshot start = Game();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    const std::string bytes = ReadFile(game_.Path() / "restore.jnl");
    WriteFile(game_.Path() / "restore.jnl", bytes.substr(0, bytes.size() - 3));
    // Once in the way of the restore: what that recovery did is not written
    // after the damage, where it would make the damage look synced.
    WriteFile(game_.Path() / "Data" / "Sky.dw", "in the way");
    std::string log = Run();
    EXPECT_NE(log.find(" were cut short before they reached the disk; no move waited for them\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(MarkerExists());
    fs::remove(game_.Path() / "Data" / "Sky.dw");
    log = Run();
    EXPECT_EQ(Game(), start) << log;
    EXPECT_FALSE(MarkerExists());
}

// A restore that cannot put everything back keeps the marker, the journal and
// the start-up entry, and the next start finishes it.
TEST_F(LaunchCycleTest, AFailedRestoreKeepsItsRecordsForTheNextStart) {
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { WriteFile(game_.Path() / "Data" / "Sky.dw", "in the way"); };
    std::string log = Run();
    EXPECT_NE(log.find("FAILED!\n > the modified file '" + Root() +
                       "\\Data\\Sky.dw' still exists!\n > '"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("ERROR: not everything could be put back"), std::string::npos) << log;
    EXPECT_TRUE(MarkerExists());
    EXPECT_TRUE(fs::exists(game_.Path() / "restore.jnl"));
    EXPECT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
    // The player is told as the game ends, not only at the next start.
    ASSERT_FALSE(platform_.messages.empty());
    EXPECT_NE(platform_.messages.back().find("after the game.\nFiles still out of place: 2\n"),
              std::string::npos)
        << platform_.messages.back();

    fs::remove(game_.Path() / "Data" / "Sky.dw");
    platform_.whileGameRuns = nullptr;
    log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_NE(ReadFile(game_.Path() / "SrdwLaunch.log.1").find("ERROR: not everything"),
              std::string::npos);
    EXPECT_FALSE(MarkerExists());
    EXPECT_FALSE(fs::exists(game_.Path() / "restore.jnl"));
    EXPECT_TRUE(platform_.startupEntries.empty());
}

// A file found under both names of a move keeps both. Where the target is
// the place an earlier move took the file from, they are the game's own hard
// links, put back by a restore whose progress was lost: the records go.
// Otherwise (a link and an unlink cut off in between, one folder reached
// through a link) the file is in its own way, and the records stay.
TEST_F(LaunchCycleTest, AFileUnderBothNamesOfAMoveKeepsThemBoth) {
    WriteFile(game_.Path() / "p", "game");
    fs::create_hard_link(game_.Path() / "p", game_.Path() / "q");
    WriteFile(game_.Path() / "SrdwLaunch.dat", "Rename(p, r)\nRename(q, p)\n");
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    // A restore put both back, and was cut off before its progress was written.
    fs::rename(game_.Path() / "p", game_.Path() / "q");
    fs::rename(game_.Path() / "r", game_.Path() / "p");
    const std::string log = Run();
    EXPECT_EQ(ReadFile(game_.Path() / "p"), "game") << log;
    EXPECT_EQ(ReadFile(game_.Path() / "q"), "game") << log;
    EXPECT_FALSE(fs::exists(game_.Path() / "r")) << log;
    EXPECT_FALSE(MarkerExists()) << log;

    fs::remove(game_.Path() / "q");
    WriteFile(game_.Path() / "SrdwLaunch.dat", "Rename(p, r)\n");
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    fs::create_hard_link(game_.Path() / "r", game_.Path() / "p");  // the unlink cut off
    platform_.answers = {Answer::No};
    const std::string again = Run();
    EXPECT_EQ(ReadFile(game_.Path() / "r"), "game") << again;
    EXPECT_NE(again.find("is in the way"), std::string::npos) << again;
    EXPECT_TRUE(MarkerExists());
}

// A folder of the marker's name takes no marker, and the install does not
// begin; the journal it began goes, and the next start is no recovery.
TEST_F(LaunchCycleTest, AFolderInTheMarkersPlaceLeavesNoJournal) {
    fs::create_directory(game_.Path() / "restore.mod");
    const Snapshot before = Game();
    for (int start = 0; start < 2; ++start) {
        platform_.answers = {Answer::Yes};  // play without the mod
        const std::string log = Run();
        EXPECT_EQ(Game(), before) << log;
        EXPECT_EQ(log.find("restoring MOD"), std::string::npos) << log;
    }
}

// A drive that comes back under another device number (another USB port,
// another order of mounts at boot) holds the same files: its crashed run is
// undone, where the journal would otherwise belong to another folder.
template <int kLink>
int OnAnotherDevice(const char* path, struct stat* info) {
    using Stat = int (*)(const char*, struct stat*);
    const int result =
        reinterpret_cast<Stat>(OriginalSystemCall(kLink ? "lstat" : "stat"))(path, info);
    info->st_dev ^= 0x100;
    return result;
}

TEST_F(LaunchCycleTest, ACrashedRunIsUndoneOnADriveBackUnderAnotherNumber) {
    if (kWindowsPaths) {
        GTEST_SKIP() << "the device number is changed through the POSIX backend's table";
    }
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the power fails"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    ASSERT_TRUE(SetSystemCall("stat", Erased(&OnAnotherDevice<0>)));
    ASSERT_TRUE(SetSystemCall("lstat", Erased(&OnAnotherDevice<1>)));
    const std::string log = Run();
    SetSystemCall("stat", nullptr);
    SetSystemCall("lstat", nullptr);
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// Killed at a swap's second move, whose path its first move took along (the
// mod named inside the game's folder): the recovery finds that file where its
// folder went, and puts the folder back.
int DieAtTheSecondMove(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    static int moves = 0;
    if (++moves == 2) {
        throw std::runtime_error("the launcher dies");
    }
    return reinterpret_cast<int (*)(int, const char*, int, const char*, unsigned)>(
        OriginalSystemCall("renameat2"))(fromDir, from, toDir, to, flags);
}

TEST_F(LaunchCycleTest, AKillAtASwapsSecondMoveIsUndone) {
    if (kWindowsPaths) {
        GTEST_SKIP() << "the kill is made through the POSIX backend's table";
    }
    WriteFile(game_.Path() / "Data" / "Maps" / "x.map", "map");
    WriteFile(game_.Path() / "SrdwLaunch.dat", "RenameEx(Data, Data\\Maps, Data.bak)\n");
    const Snapshot before = Game();
    ASSERT_TRUE(SetSystemCall("renameat2", Erased(&DieAtTheSecondMove)));
    EXPECT_THROW(Run(), std::runtime_error);
    SetSystemCall("renameat2", nullptr);
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists()) << log;
}

// A folder named also through a link is one place under two names, which the
// rehearsal takes for two: the install then finds for itself what it moves.
TEST_F(LaunchCycleTest, AFolderNamedThroughALinkIsPutBack) {
    WriteFile(game_.Path() / "real" / "Data" / "a", "X");
    WriteFile(game_.Path() / "real" / "Other" / "a", "Y");
    if (!MadeFolderLink("real", game_.Path() / "link")) {
        GTEST_SKIP() << "no symbolic links here";
    }
    WriteFile(game_.Path() / "SrdwLaunch.dat",
              "Rename(link\\Data, link\\Data2)\nRename(link\\Other, link\\Data)\n"
              "Rename(real\\Data\\a, out)\n");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { EXPECT_EQ(ReadFile(game_.Path() / "out"), "Y"); };
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// ".." goes by the text, as on Windows, after a link and after a folder that
// is not there: the install, its journal and the restore agree.
TEST_F(LaunchCycleTest, DotDotAfterALinkOrAMissingFolderGoesByTheText) {
    WriteFile(game_.Path() / "Data" / "Sub" / "x", "S");
    WriteFile(game_.Path() / "a.txt", "top");
    if (!MadeFolderLink("Data/Sub", game_.Path() / "lnk")) {
        GTEST_SKIP() << "no symbolic links here";
    }
    WriteFile(game_.Path() / "SrdwLaunch.dat",
              "Rename(lnk\\..\\a.txt, b.txt)\nRename(gone\\..\\b.txt, c.txt)\n");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { EXPECT_EQ(ReadFile(game_.Path() / "c.txt"), "top"); };
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// A name reached through "." or ".." in another letter case comes back as it
// was stored, also once a failed move has the install look for itself.
TEST_F(LaunchCycleTest, ANameThroughADotKeepsItsLetterCase) {
    WriteFile(game_.Path() / "Data" / "Maps" / "m", "map");
    WriteFile(game_.Path() / "SrdwLaunch.dat",
              "Rename(Data\\Sky.dw, NoDir\\x)\nRename(DATA\\SKY.PAK\\., x)\n"
              "Rename(DATA\\MAPS\\.., D2)\nSetDirectory(D2)\nRename(., ..\\D3)\n");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] {
        EXPECT_TRUE(fs::exists(game_.Path() / (kWindowsPaths ? "D2" : "D3") / "Maps"));
    };
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// A link moved where it names nothing is there as itself, and goes back.
TEST_F(LaunchCycleTest, ALinkMovedAwayFromWhatItNamesIsPutBack) {
    WriteFile(game_.Path() / "m", "data");
    fs::create_directory(game_.Path() / "B");
    try {
        fs::create_symlink("m", game_.Path() / "mlink");
    } catch (const fs::filesystem_error&) {
        GTEST_SKIP() << "no symbolic links here";
    }
    WriteFile(game_.Path() / "SrdwLaunch.dat", "Rename(mlink, B\\mlink)\n");
    const Snapshot before = Game();
    const std::string log = Run();
    EXPECT_TRUE(fs::is_symlink(game_.Path() / "mlink")) << log;
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// A marker that cannot be removed keeps its journal, which tells the next start
// that everything is back: alone, the marker would restore the script over a
// folder with nothing installed.
int RefuseTheMarkerOnce(const char* path) {
    static bool refused = false;
    if (!refused && std::string_view(path).ends_with("restore.mod")) {
        refused = true;
        errno = EBUSY;
        return -1;
    }
    return std::remove(path);  // unlink, for a file
}

TEST_F(LaunchCycleTest, AMarkerThatStaysKeepsItsJournal) {
    if (kWindowsPaths) {
        GTEST_SKIP() << "the refused removal is made through the POSIX backend's table";
    }
    const Snapshot before = Game();
    ASSERT_TRUE(SetSystemCall("unlink", Erased(&RefuseTheMarkerOnce)));
    const std::string first = Run();
    SetSystemCall("unlink", nullptr);
    EXPECT_NE(first.find("' could not be removed; it stays with the journal"), std::string::npos)
        << first;
    EXPECT_TRUE(MarkerExists());
    EXPECT_TRUE(fs::exists(game_.Path() / "restore.jnl"));
    platform_.messages.clear();
    const std::string log = Run();
    EXPECT_NE(log.find(" > put back already by an earlier restore"), std::string::npos) << log;
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
    // The player is not told of a crash that never was.
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_TRUE(platform_.messages[0].starts_with("The game's files were all back already"))
        << platform_.messages[0];
}

// A restore undoes moves last first, and what a folder's move took along must
// not be lost on the way: a swap taken back at install is not moved away and
// back; a path below a folder just moved back is looked up again; and a folder
// holding what a later command could not put back stays where the journal
// looks for it, until the next start can put both back.
TEST_F(LaunchCycleTest, ARestoreKeepsTrackOfWhatFoldersTookAlong) {
    const fs::path root = game_.Path();
    WriteFile(root / "Data" / "Maps" / "x.map", "map");
    Snapshot before;
    const auto run = [&](const char* script, const fs::path& madeByTheGame) {
        WriteFile(root / "SrdwLaunch.dat", script);
        before = Game();
        platform_.whileGameRuns = [&] { WriteFile(madeByTheGame, "new"); };
        std::string log = Run();
        platform_.whileGameRuns = nullptr;
        return log;
    };
    std::string log = run("RenameEx(Data, Data\\Maps, Data.bak)\n", root / "Data.bak");
    fs::remove(root / "Data.bak");
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists()) << log;

    // Its failed move never moved the folder, which holds nothing for it.
    log = run("RenameEx(Data, Data\\Maps, Data.bak)\nRename(Data\\Sky.pak, Data\\Sky.off)\n",
              root / "Data" / "Sky.pak");
    EXPECT_EQ(log.find("holds what could not be put back"), std::string::npos) << log;
    fs::remove(root / "Data" / "Sky.pak");
    log = Run();
    EXPECT_EQ(Game(), before) << log;

    log = run("RenameEx(Data, Data.dw, Data.dw\\Data.orig)\n", root / "unrelated");
    fs::remove(root / "unrelated");
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists()) << log;

    for (const char* script : {"Rename(Data, Off)\nRename(Off\\Sky.pak, Off\\Sky.off)\n",
                               "Rename(Data, Off\\)\nRename(Off\\Sky.pak, Off\\Sky.off)\n"}) {
        log = run(script, root / "Off" / "Sky.pak");
        EXPECT_TRUE(MarkerExists()) << log;
        EXPECT_TRUE(fs::exists(root / "Off" / "Sky.off")) << log;
        fs::remove(root / "Off" / "Sky.pak");  // what was in the way, as the log says
        log = Run();
        EXPECT_EQ(Game(), before) << log;
        EXPECT_FALSE(MarkerExists()) << log;
    }

    // Ended before its first move: each file is found further back, also
    // through a folder named with a separator at its end.
    WriteFile(root / "SrdwLaunch.dat", "Rename(Data, Off\\)\nRename(Off\\Sky.pak, Off\\Sky.off)\n");
    before = Game();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    fs::rename(root / "Off" / "Sky.off", root / "Off" / "Sky.pak");
    fs::rename(root / "Off", root / "Data");
    log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists()) << log;

    // Only what is left out of place holds its folder: the swap's move into
    // the folder was put back, and its other move (a backup the game saved
    // anew) stays.
    WriteFile(root / "x.pak", "x");
    WriteFile(root / "SrdwLaunch.dat", "Rename(Data, Off)\nRenameEx(x.pak, Off\\Sky.dw, x.bak)\n");
    platform_.whileGameRuns = [&] {
        WriteFile(root / "x.tmp", "saved anew");
        fs::rename(root / "x.tmp", root / "x.bak");
    };
    log = Run();
    platform_.whileGameRuns = nullptr;
    EXPECT_TRUE(MarkerExists()) << log;
    EXPECT_TRUE(fs::exists(root / "Data" / "Sky.dw")) << log;
    EXPECT_FALSE(fs::exists(root / "Off")) << log;
}

// A recovery that cannot put everything back says so, and the player may play
// without the mod meanwhile; the records and the crashed run's log stay through
// any number of such starts, and the first start that can finishes the job.
TEST_F(LaunchCycleTest, AStuckRecoveryIsToldAndMayPlayWithoutTheMod) {
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    platform_.gameRuns.clear();
    const std::string crashedLog = ReadFile(game_.Path() / "SrdwLaunch.log");
    WriteFile(game_.Path() / "Data" / "Sky.dw", "unpacked again");  // in the way of the undo

    const std::string told =
        "Files still out of place: 2\nThe log says which: " + (game_ / "SrdwLaunch.log") + "\n";
    for (const Answer answer : {Answer::No, Answer::NoAnswer, Answer::Yes}) {
        platform_.startupEntries.clear();  // used up as it started this run
        platform_.commandLine = "/recover /edit -Window";
        platform_.answers = {answer};
        platform_.questions.clear();
        const std::string log = Run();
        ASSERT_EQ(platform_.questions.size(), 1u) << log;
        EXPECT_NE(platform_.questions[0].find(told), std::string::npos) << platform_.questions[0];
        EXPECT_NE(log.find("ERROR: not everything could be put back"), std::string::npos) << log;
        EXPECT_TRUE(MarkerExists());
        EXPECT_TRUE(fs::exists(game_.Path() / "restore.jnl"));
        EXPECT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
        EXPECT_EQ(ReadFile(game_.Path() / "SrdwLaunch.log.1"), crashedLog);
    }
    ASSERT_EQ(platform_.gameRuns.size(), 1u);  // only when the answer was Yes
    EXPECT_EQ(platform_.gameRuns[0].parameters, "  -window");

    fs::remove(game_.Path() / "Data" / "Sky.dw");
    platform_.commandLine.clear();
    platform_.questions.clear();
    Run();
    EXPECT_EQ(Game(), before);
    EXPECT_TRUE(platform_.questions.empty());
    EXPECT_FALSE(MarkerExists());
    EXPECT_TRUE(platform_.startupEntries.empty());
}

// Without a journal (an older launcher's marker), a restore from the script
// that finds a file in the way keeps the records and says so.
TEST_F(LaunchCycleTest, AStuckRestoreFromTheScriptKeepsItsRecords) {
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    fs::remove(game_.Path() / "restore.jnl");
    WriteFile(game_.Path() / "Data" / "Sky.dw", "unpacked again");
    platform_.answers = {Answer::No};
    platform_.questions.clear();
    const std::string log = Run();
    EXPECT_EQ(platform_.questions.size(), 1u) << log;
    EXPECT_TRUE(MarkerExists());
    fs::remove(game_.Path() / "Data" / "Sky.dw");
    platform_.questions.clear();
    Run();
    EXPECT_EQ(Game(), before);
    EXPECT_TRUE(platform_.questions.empty());
    EXPECT_FALSE(MarkerExists());
}

TEST_F(LaunchCycleTest, NoAtTheReinstallQuestionPlaysWithNothingInstalled) {
    WriteFile(game_.Path() / "restore.mod", game_ / "Gone.dat");
    platform_.answers = {Answer::No};
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] {
        EXPECT_EQ(Game(), before);
        EXPECT_EQ(platform_.startupEntries.size(), 1u);
    };
    const std::string log = Run();
    EXPECT_EQ(platform_.gameRuns.size(), 1u);
    EXPECT_FALSE(MarkerExists());
    EXPECT_EQ(log.find("Installing"), std::string::npos) << log;
    EXPECT_EQ(log.find("Restoring"), std::string::npos) << log;
    EXPECT_TRUE(platform_.startupEntries.empty());
}

// The start-up entry's run finds a marker whose script cannot be loaded, with
// the mod still in place: a Yes to the reinstall question restores it from the
// launcher's own script, and the records go only then.
TEST_F(LaunchCycleTest, YesAtTheReinstallQuestionOfARecoveryRestoresFromTheScript) {
    const Snapshot before = Game();
    fs::rename(game_.Path() / "Data" / "Sky.pak", game_.Path() / "Data" / "Sky.bak");
    fs::rename(game_.Path() / "Data" / "Sky.dw", game_.Path() / "Data" / "Sky.pak");
    WriteFile(game_.Path() / "restore.mod", game_ / "Gone.dat");
    platform_.commandLine = "/recover";
    platform_.answers = {Answer::Yes};
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_TRUE(platform_.gameRuns.empty());
    EXPECT_FALSE(MarkerExists());
    EXPECT_EQ(log.find("nothing to restore"), std::string::npos) << log;
}

int DiskFullForTheJournal(const char* path, int flags, mode_t mode) {
    if (std::string_view(path).ends_with("restore.jnl") && (flags & O_CREAT)) {
        errno = ENOSPC;
        return -1;
    }
    using Open = int (*)(const char*, int, mode_t);
    return reinterpret_cast<Open>(OriginalSystemCall("open"))(path, flags, mode);
}

// A Yes to the reinstall question installs over a mod that could not be
// restored, whose marker is that mod's only record: a recovery after a crash
// undoes this install and keeps that marker and the start-up entry, and the
// next start asks again.
TEST_F(LaunchCycleTest, ACrashedReinstallKeepsTheRecordsOfTheModInstalledBefore) {
    WriteFile(game_.Path() / "restore.mod", game_ / "Gone.dat");
    const Snapshot before = Game();
    platform_.answers = {Answer::Yes, Answer::Yes};  // and play as far as it went in
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    EXPECT_NE(Game(), before);

    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_EQ(platform_.startupEntries.size(), 1u);
    platform_.questions.clear();
    Run();
    EXPECT_EQ(platform_.questions, Strings{TEXT_REINSTALL_QUESTION});

    // Cut off before its first sync, such an install leaves an empty journal.
    WriteFile(game_.Path() / "restore.mod", game_ / "Gone.dat");
    WriteFile(game_.Path() / "restore.jnl", "");
    platform_.questions.clear();
    Run();
    EXPECT_EQ(platform_.questions, Strings{TEXT_REINSTALL_QUESTION});

    // One whose journal cannot be made (a full disk) keeps them too.
    if (!kWindowsPaths) {
        WriteFile(game_.Path() / "restore.mod", game_ / "Gone.dat");
        platform_.answers = {Answer::Yes, Answer::Yes};  // install again; play without the mod
        ASSERT_TRUE(SetSystemCall("open", Erased(&DiskFullForTheJournal)));
        Run();
        SetSystemCall("open", nullptr);
        EXPECT_EQ(ReadFile(game_.Path() / "restore.mod"), game_ / "Gone.dat");
        EXPECT_EQ(platform_.startupEntries.size(), 1u);
    }
}

TEST_F(LaunchCycleTest, FindsTheGameThroughTheSettingsFileOrTheUser) {
    ScratchDir elsewhere;
    WriteFile(elsewhere.Path() / "Skyrend" / "SREND.EXE", "game");
    const std::string chosen = elsewhere / "Skyrend\\SREND.EXE";
    fs::remove(game_.Path() / "srend.exe");
    fs::create_directory(game_.Path() / "srend.exe");  // a directory is no game
    const std::string key = "Srendcfg.ini|Global - String3|Data";

    platform_.choices = {std::nullopt};  // cancelled: nothing happens
    Run();
    EXPECT_EQ(platform_.messages, Strings{TEXT_GAME_NOT_FOUND});
    EXPECT_TRUE(platform_.gameRuns.empty());
    EXPECT_TRUE(platform_.settings.empty());

    platform_.choices = {chosen};  // picked: remembered, and its directory is the root
    platform_.messages.clear();
    Run();
    EXPECT_EQ(platform_.messages, Strings{TEXT_GAME_NOT_FOUND});
    EXPECT_EQ(platform_.settings[key], chosen);
    ASSERT_EQ(platform_.gameRuns.size(), 1u);
    EXPECT_EQ(platform_.gameRuns[0].file, chosen);
    EXPECT_EQ(platform_.gameRuns[0].directory, elsewhere / "Skyrend");

    platform_.messages.clear();  // the next run asks nobody
    platform_.events.clear();
    Run();
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(std::count(platform_.events.begin(), platform_.events.end(), "chooser"), 0);
    EXPECT_EQ(platform_.gameRuns.size(), 2u);
    // The game's folder is locked as the launcher's own is, against a launcher
    // in another folder that found the same game.
    EXPECT_EQ(platform_.lockedFolders.back(), elsewhere / "Skyrend");
    platform_.folderLock = MutexState::HeldElsewhere;
    Run();
    EXPECT_EQ(platform_.gameRuns.size(), 2u);
    EXPECT_EQ(platform_.messages, Strings{TEXT_LAUNCHER_WAITING});
    platform_.folderLock = MutexState::Acquired;

    platform_.settings[key] = elsewhere / "Skyrend\\other.bin";  // any name read from there
    WriteFile(elsewhere.Path() / "Skyrend" / "other.bin", "");
    Run();
    EXPECT_EQ(platform_.gameRuns.back().file, elsewhere / "Skyrend\\other.bin");
}

// A game path the system can only give in look-alike characters (read from the
// settings file or picked) is named to the player, and nothing is touched.
TEST_F(LaunchCycleTest, AGamePathOutsideTheCodePageChangesNothing) {
    fs::remove(game_.Path() / "srend.exe");
    const std::string shown = "C:\\????\\Skyrend 2\\srend.exe";
    const std::string message =
        "ERROR: The name of the game's folder (or of a folder above it) "
        "holds characters that cannot be used on this computer!\n" +
        shown +
        "\nThey are shown as ?. Nothing was changed. Please give the "
        "folder a name in plain letters of your system's language.";
    const std::string logLine = "ERROR: the path '" + shown +
                                "' holds characters that cannot be used here; nothing "
                                "was changed!\n";
    const Snapshot before = Game();

    platform_.unusablePath = shown;  // what the settings file holds
    const std::string loading = "Loading script: " + (game_ / "SrdwLaunch.dat") + "\n";
    EXPECT_EQ(Run(), loading + logLine);
    EXPECT_EQ(platform_.messages, Strings{message});
    EXPECT_EQ(std::count(platform_.events.begin(), platform_.events.end(), "chooser"), 0);

    struct PicksForeignPath : TestPlatform {
        std::optional<std::string> ChooseGameFile() override {
            unusablePath = "C:\\Skyrend ?\\srend.exe";
            return std::nullopt;
        }
    } picking;
    picking.ownPath = platform_.ownPath;
    current_ = &picking;
    EXPECT_EQ(Run(), loading +
                         "ERROR: the path 'C:\\Skyrend ?\\srend.exe' holds characters that "
                         "cannot be used here; nothing was changed!\n");
    ASSERT_EQ(picking.messages.size(), 2u);
    EXPECT_EQ(picking.messages[0], TEXT_GAME_NOT_FOUND);
    EXPECT_NE(picking.messages[1].find("\nC:\\Skyrend ?\\srend.exe\n"), std::string::npos);

    EXPECT_EQ(Game(), before);
    EXPECT_TRUE(platform_.gameRuns.empty());
    EXPECT_TRUE(picking.gameRuns.empty());
    EXPECT_TRUE(picking.startupEntries.empty());
    EXPECT_TRUE(picking.settings.empty());
}

// A name with a stream ("Sky.pak:x") is no plain file name on Windows, which
// refuses the move, where Wine made a file that no restore could reach; on
// Linux it is a plain name. Either way the game comes back.
TEST_F(LaunchCycleTest, AStreamNameIsAPlainNameOnlyOffWindows) {
    WriteFile(game_.Path() / "SrdwLaunch.dat", "Rename(Data\\Sky.pak, Data\\Sky.pak:x)\n");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] {
        EXPECT_EQ(fs::exists(game_.Path() / "Data" / "Sky.pak"), kWindowsPaths);
    };
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists()) << log;
}

// Another launcher holds the guard or the folder's lock, or either could not be
// had at all: the player is told which, and nothing is touched.
TEST_F(LaunchCycleTest, ASecondLauncherTouchesNothing) {
    WriteFile(game_.Path() / "SrdwLaunch.log", "the first launcher's log");
    WriteFile(game_.Path() / "restore.mod", game_ / "SrdwLaunch.dat");
    const Snapshot before = TakeSnapshot(game_.Path());
    for (MutexState* lock : {&platform_.mutex, &platform_.folderLock}) {
        for (const MutexState guard : {MutexState::HeldElsewhere, MutexState::Failed}) {
            *lock = guard;
            EXPECT_EQ(LauncherMain(platform_.AsPlatform()), 0);
            EXPECT_EQ(TakeSnapshot(game_.Path()), before);
            EXPECT_TRUE(platform_.events.empty());
        }
        *lock = MutexState::Acquired;
    }
    EXPECT_EQ(platform_.messages, (Strings{TEXT_LAUNCHER_WAITING, TEXT_NO_GUARD,
                                           TEXT_LAUNCHER_WAITING, TEXT_NO_GUARD}));
    EXPECT_EQ(platform_.lockedFolders, Strings(2, Root()));
    EXPECT_TRUE(platform_.startupEntries.empty());

    // Started by the start-up entry, which was used up as it ran: the entry is
    // there again for the next log-in, as the launcher at work may yet crash.
    platform_.commandLine = "/recover";
    platform_.mutex = MutexState::HeldElsewhere;
    LauncherMain(platform_.AsPlatform());
    EXPECT_EQ(TakeSnapshot(game_.Path()), before);
    EXPECT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
}

// Neither the log nor the marker is written through a link; the run goes on.
TEST_F(LaunchCycleTest, TheLogAndTheMarkerAreNeverWrittenThroughALink) {
    ScratchDir elsewhere;
    WriteFile(elsewhere.Path() / "precious", "precious");
    const Snapshot before = Game();
    try {
        fs::create_symlink(elsewhere.Path() / "precious", game_.Path() / "SrdwLaunch.log");
        fs::create_symlink(elsewhere.Path() / "new", game_.Path() / "restore.mod");
    } catch (const fs::filesystem_error&) {
        GTEST_SKIP() << "no symbolic links here";
    }
    InDirectory keep(fs::current_path());
    platform_.answers.push_back(Answer::Yes);  // play without the mod
    LauncherMain(platform_.AsPlatform());
    EXPECT_EQ(platform_.messages, Strings{TEXT_LOG_IS_LINK});
    ASSERT_EQ(platform_.questions.size(), 1u);
    EXPECT_NE(platform_.questions[0].find("folder cannot be written:\n" + Root() + "\n"),
              std::string::npos)
        << platform_.questions[0];
    EXPECT_EQ(platform_.gameRuns.size(), 1u);
    EXPECT_EQ(TakeSnapshot(elsewhere.Path()), (Snapshot{{"precious", {"precious"}}}));

    fs::remove(game_.Path() / "SrdwLaunch.log");
    fs::create_symlink(elsewhere.Path() / "new", game_.Path() / "restore.mod");
    const std::string log = Run();
    EXPECT_NE(log.find("ERROR: cannot write the recovery marker '" + Root() + "\\restore.mod" +
                       "': it is a link, and the launcher writes through none; nothing was "
                       "installed!\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Installing script..."), std::string::npos) << log;
    EXPECT_EQ(Game(), before);
    EXPECT_FALSE(fs::exists(elsewhere.Path() / "new"));
}

// Through a link to its folder too, the launcher's own files are out of reach:
// moved, the journal would be gone for the recovery after a crash.
TEST_F(LaunchCycleTest, OwnFilesAreOutOfReachThroughALink) {
    if (!MadeFolderLink(".", game_.Path() / "lnk")) {
        GTEST_SKIP() << "no symbolic links here";
    }
    WriteFile(game_.Path() / "SrdwLaunch.dat",
              "Rename(lnk\\restore.jnl, j2)\nRename(lnk\\SrdwLaunch.log, l2)\n"
              "Rename(Data\\Sky.pak, Data\\Sky.off)\n");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] {
        EXPECT_FALSE(fs::exists(game_.Path() / "j2"));
        EXPECT_FALSE(fs::exists(game_.Path() / "l2"));
        throw std::runtime_error("the launcher dies");
    };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    const std::string log = Run();
    EXPECT_EQ(Game(), before) << log;
    EXPECT_FALSE(MarkerExists());
}

// The launcher's own files and the folder that holds them are out of the
// script's reach, in any letter case; a command refused so, or one whose
// install moved nothing, has nothing to undo.
TEST_F(LaunchCycleTest, CommandsThatMoveNothingHaveNothingToUndo) {
    WriteFile(game_.Path() / "SrdwLaunch.log.1", "the installing run's log");
    WriteFile(game_.Path() / "Data" / "m0", "mod");
    WriteFile(game_.Path() / "SrdwLaunch.dat",
              "RenameEx(SrdwLaunch.log, Data\\m0, log.bak)\n"
              "Rename(RESTORE.MOD, x)\nRename(x, restore.jnl)\nRename(SrdwLaunch.log.1, y)\n"
              "Rename(srdwlaunch.exe, z)\nRename(Data\\.., \"@rootdir.off\")\n"
              "RenameEx(Data\\Sky.pak, Data\\Sky.dw, Nowhere\\Sky.bak)\n");
    WriteFile(game_.Path() / "SrdwLaunch.exe", "launcher");
    const Snapshot before = Game();
    platform_.whileGameRuns = [&] {
        EXPECT_EQ(ReadFile(game_.Path() / "Data" / "m0"), "mod");
        EXPECT_EQ(ReadFile(game_.Path() / "restore.mod"), game_ / "SrdwLaunch.dat");
    };
    const std::string log = Run();
    EXPECT_EQ(Game(), before);
    const auto count = [&log](const std::string& text) {
        std::size_t n = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("' is one of the launcher's own files, or holds one; nothing is moved!\n"), 6u)
        << log;
    EXPECT_NE(log.find("ERROR: 'Data\\..' is one of the launcher's own"), std::string::npos);
    EXPECT_NE(log.find("FAILED!\n > cannot backup 'Data\\Sky.pak'!\n"), std::string::npos);
    EXPECT_EQ(count(" > nothing to undo: its install moved nothing\n"), 7u) << log;
    EXPECT_EQ(log.find("Unswapping files...succeeded!"), std::string::npos) << log;
}

TEST_F(LaunchCycleTest, ARunningGameIsReportedBeforeAnythingChanges) {
    platform_.gameWindowOpen = true;
    WriteFile(game_.Path() / "restore.mod", game_ / "SrdwLaunch.dat");
    Snapshot before = Game();
    const std::string log = Run();
    EXPECT_EQ(platform_.messages, Strings{TEXT_GAME_RUNNING});
    // The marker and the start-up entry stay: the restore must wait until the game has ended.
    EXPECT_EQ(platform_.events, Strings{"write startup entry"});
    EXPECT_EQ(Game(), before);
    EXPECT_EQ(log, "Loading script: " + (game_ / "SrdwLaunch.dat") + "\n");
}

TEST_F(LaunchCycleTest, AGameThatDoesNotStartIsRestoredAtOnce) {
    platform_.gameStarts = false;
    const Snapshot before = Game();
    const std::string log = Run();
    EXPECT_EQ(Game(), before);
    const std::string game = Root() + "\\srend.exe";
    EXPECT_NE(log.find(" > Path: " + Root() + "\nERROR: failed to start '" + game +
                       "': not a program!\n\nRestoring script...\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Unswapping files...succeeded!\n"), std::string::npos);
    EXPECT_TRUE(platform_.startupEntries.empty());
    EXPECT_EQ(platform_.messages,
              Strings{std::string(TEXT_GAME_NOT_STARTED) + "\n" + game + ": not a program"});
}

// The started processes end; the game may still be on in another one. The mod
// stays in place for as long as the game's window is open.
TEST_F(LaunchCycleTest, WaitsForTheGamesWindowWhereverTheGameWentOn) {
    platform_.hasWindows = true;
    const Snapshot before = Game();
    const std::string handedOver =
        " > the game went on in another process; waiting for its window to close\n";
    const std::string grace =
        " > the game ended without showing its window; waiting up to 15 s "
        "for it to open\n";
    // Each pause while the window is open sees the mod; the window closes after the
    // pause that reaches `closeAt`, and opens at `openAt`.
    auto playInWindow = [&](unsigned openAt, unsigned closeAt) {
        platform_.slept = 0;
        platform_.whileSleeping = [&, openAt, closeAt] {
            if (platform_.gameWindowOpen) {
                EXPECT_EQ(ReadFile(game_.Path() / "Data" / "Sky.pak"), "dusk sky");
            }
            platform_.gameWindowOpen = platform_.slept >= openAt && platform_.slept < closeAt;
        };
    };

    // The game's own process showed its window and closed it: no wait after.
    platform_.whileGameRuns = [&] { platform_.gameWindowOpen = true; };
    platform_.whenGameEnds = [&] { platform_.gameWindowOpen = false; };
    std::string log = Run();
    EXPECT_EQ(platform_.slept, 0u);
    EXPECT_EQ(log.find(" > "), log.find(" > App: ")) << log;  // no wait of its own

    // A child it handed over to holds the window when the started processes end.
    platform_.whenGameEnds = nullptr;
    playInWindow(0, 1000);
    log = Run();
    EXPECT_EQ(platform_.slept, 1000u);
    EXPECT_NE(log.find(" > Path: " + Root() + "\n" + handedOver + "\nRestoring script...\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(Game(), before);

    // The stub also started the store's client, which stays on after the game: the
    // wait ends once the window has stayed closed for the grace time.
    platform_.lingeringIntervals = 1000000;
    playInWindow(0, 1000);
    log = Run();
    EXPECT_GE(platform_.slept, kGraceTime);
    EXPECT_LT(platform_.slept, 1000 + kGraceTime);
    EXPECT_NE(log.find(" > Path: " + Root() +
                       "\n > the game's window has closed; not waiting for the other programs "
                       "it started\n\nRestoring script...\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(Game(), before);
    platform_.lingeringIntervals = 0;

    // The store's client starts the game anew two seconds after the stub ended.
    platform_.whileGameRuns = nullptr;
    playInWindow(2000, 5000);
    log = Run();
    EXPECT_EQ(platform_.slept, 5000u);
    EXPECT_NE(log.find(" > Path: " + Root() + "\n" + grace + handedOver + "\nRestoring script"),
              std::string::npos)
        << log;
    EXPECT_EQ(Game(), before);

    // No window at all: the grace time, then the restore.
    playInWindow(kGraceTime + 1, kGraceTime + 1);
    log = Run();
    EXPECT_EQ(platform_.slept, kGraceTime);
    EXPECT_NE(log.find(grace + " > no game window opened\n\nRestoring script"), std::string::npos)
        << log;
    EXPECT_EQ(Game(), before);

    // A crash at start hands nothing over: the restore runs at once.
    platform_.gameCrashes = true;
    platform_.slept = 0;
    log = Run();
    EXPECT_EQ(platform_.slept, 0u);
    EXPECT_NE(log.find(" > Path: " + Root() +
                       "\n > the game crashed without showing its window; not waiting for "
                       "it\n\nRestoring script"),
              std::string::npos)
        << log;
    EXPECT_EQ(Game(), before);
}

// The game's own process ends and leaves a helper (a tray icon, an updater):
// the helper gets the grace time, then the restore runs and the log names it.
// So on a desktop without windows, and on one where no game window opened.
TEST_F(LaunchCycleTest, WhatTheGameLeavesRunningGetsTheGraceTime) {
    const Snapshot before = Game();
    platform_.playingIntervals = 10;
    platform_.lingeringIntervals = 1000000;
    platform_.lingering = {{"updater.exe", 4242}, {"tray helper.exe", 4243}};
    for (const bool windows : {false, true}) {
        platform_.hasWindows = windows;
        platform_.slept = 0;
        const unsigned played = 10 * kWatchInterval;
        platform_.whileSleeping = [&] {
            if (platform_.slept <= played + kGraceTime - kWatchInterval) {
                EXPECT_EQ(ReadFile(game_.Path() / "Data" / "Sky.pak"), "dusk sky");
            }
        };
        const std::string log = Run();
        EXPECT_GE(platform_.slept, played + kGraceTime - kWatchInterval);
        EXPECT_LE(platform_.slept, played + kGraceTime);
        EXPECT_NE(log.find(" > Path: " + Root() +
                           "\n > the game has ended; not waiting for the other programs it "
                           "started\n > still running: updater.exe (process 4242)\n > still "
                           "running: tray helper.exe (process 4243)\n\nRestoring script...\n"),
                  std::string::npos)
            << log;
        EXPECT_EQ(Game(), before);
    }
}

// A player without administrator rights: the start-up entry goes to the user's
// own place, and is removed from there.
TEST_F(LaunchCycleTest, WithoutRightsForTheMachinesEntryTheUsersOwnIsWritten) {
    platform_.machineEntryRefused = true;
    platform_.whileGameRuns = [&] {
        EXPECT_TRUE(platform_.startupEntries.empty());
        EXPECT_EQ(platform_.userStartupEntries,
                  (std::map<std::string, std::string>{{"SrdwLaunch", RecoveryCommand(platform_)}}));
    };
    Run();
    ASSERT_EQ(platform_.gameRuns.size(), 1u);
    EXPECT_TRUE(platform_.userStartupEntries.empty());
    EXPECT_TRUE(platform_.startupEntries.empty());
}

// A folder that refuses a new file to this process: the run goes to a launcher
// with administrator rights, or, declined, changes nothing and says why.
TEST_F(LaunchCycleTest, AProtectedFolderIsLeftToAnElevatedLauncher) {
    platform_.commandLine = "-Window /Edit";
    const std::string launcherFolder = game_.Path().string();
    platform_.protectedFolders = {launcherFolder};
    const Snapshot before = Game();
    const auto runWithoutLog = [&] {
        InDirectory keep(fs::current_path());
        LauncherMain(platform_.AsPlatform());
    };

    platform_.elevation = Elevation::Started;
    runWithoutLog();
    ASSERT_EQ(platform_.restarts.size(), 1u);
    EXPECT_EQ(platform_.restarts[0].program, platform_.ownPath);
    EXPECT_EQ(platform_.restarts[0].parameters, "-Window /Edit");
    EXPECT_EQ(platform_.restarts[0].directory, fs::current_path().string());
    EXPECT_EQ(platform_.events, Strings{"release mutex"});
    EXPECT_TRUE(platform_.messages.empty());
    EXPECT_EQ(Game(), before);
    EXPECT_FALSE(fs::exists(game_.Path() / "SrdwLaunch.log"));

    platform_.elevation = Elevation::Declined;
    platform_.events.clear();
    runWithoutLog();
    EXPECT_EQ(platform_.restarts.size(), 2u);
    EXPECT_EQ(platform_.messages, Strings{TEXT_NEEDS_ADMIN});
    EXPECT_EQ(platform_.events, Strings{"release mutex"});
    EXPECT_EQ(Game(), before);
    EXPECT_FALSE(fs::exists(game_.Path() / "SrdwLaunch.log"));
    EXPECT_TRUE(platform_.gameRuns.empty());

    // The game elsewhere, in a folder of its own that needs the rights.
    ScratchDir elsewhere;
    WriteFile(elsewhere.Path() / "Skyrend" / "srend.exe", "game");
    WriteFile(elsewhere.Path() / "Skyrend" / "Data" / "Sky.pak", "sky");
    WriteFile(elsewhere.Path() / "Skyrend" / "Data" / "Sky.dw", "dusk sky");
    fs::remove(game_.Path() / "srend.exe");
    platform_.choices = {elsewhere / "Skyrend\\srend.exe"};
    platform_.protectedFolders = {elsewhere / "Skyrend"};
    platform_.messages.clear();
    const Snapshot gameBefore = TakeSnapshot(elsewhere.Path());
    const std::string log = Run();
    EXPECT_EQ(platform_.restarts.size(), 3u);
    EXPECT_EQ(platform_.messages, (Strings{TEXT_GAME_NOT_FOUND, TEXT_NEEDS_ADMIN}));
    EXPECT_EQ(TakeSnapshot(elsewhere.Path()), gameBefore);
    EXPECT_TRUE(platform_.gameRuns.empty());
    EXPECT_TRUE(platform_.startupEntries.empty());
    EXPECT_FALSE(MarkerExists());
    EXPECT_NE(log.find("ERROR: cannot change the game folder '" + (elsewhere / "Skyrend") +
                       "' without administrator rights; nothing was changed!\n"),
              std::string::npos)
        << log;
}

// A folder that refuses every launcher, whatever its rights: however Windows is
// set up, a launcher restarts with runas at most once. What runas starts is
// Windows' part: the full token of a split one, an administrator's token where
// UAC asks for their password, the same token where UAC is off; the
// environment is handed on, or not.
TEST(ElevationRuleTest, NoConfigurationRestartsMoreThanOnce) {
    for (const TokenKind kind : {TokenKind::Plain, TokenKind::Full, TokenKind::Limited}) {
        for (const bool uacOn : {false, true}) {
            for (const bool environmentHandedOn : {false, true}) {
                RightsFacts facts;
                facts.kind = kind;
                facts.elevated = kind == TokenKind::Full;
                facts.uacOn = uacOn;
                int restarts = 0;
                while (ElevationCanHelp(facts) && restarts < 5) {
                    ++restarts;
                    const bool sameToken = kind == TokenKind::Plain && !uacOn;
                    facts.elevated = !sameToken;
                    facts.kind = sameToken ? TokenKind::Plain : TokenKind::Full;
                    facts.restartedElevated = environmentHandedOn;
                }
                EXPECT_LE(restarts, 1) << "kind " << static_cast<int>(kind) << ", UAC " << uacOn
                                       << ", environment handed on " << environmentHandedOn;
                if (kind == TokenKind::Limited) {
                    EXPECT_EQ(restarts, 1) << "the ordinary UAC prompt still comes";
                }
            }
        }
    }
}

// The system's own probe: only refused rights may lead to an elevated restart.
TEST(FolderProbeTest, LeavesNothingBehindAndTellsAMissingFolderFromRefusedRights) {
    ScratchDir dir;
    EXPECT_TRUE(NativeLauncherProcess().ProbeNewFile(dir.Path().string()));
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    const OsResult missing = NativeLauncherProcess().ProbeNewFile(dir / "missing");
    EXPECT_EQ(missing.error, OsError::NotFound);
}

}  // namespace
}  // namespace srdw::test
