// The launcher's start: which script it loads in which mode, what it asks and
// shows, and what it leaves behind.
#include <gtest/gtest.h>
#include "TestSupport.h"
#include "app/LauncherApp.h"
#include "app/PathText.h"
#include "log/RunLog.h"
#include "res/resource.h"

namespace srdw::test {
namespace {

class LauncherEntryTest : public ::testing::Test {
  protected:
    void SetUp() override { platform_.ownPath = dir_ / "SrdwLaunch.exe"; }

    // One whole run of the launcher; returns its log without header and footer.
    std::string Run() {
        EXPECT_EQ(LauncherMain(platform_.AsPlatform()), 0);
        return LogBody(ReadFile(ReplaceExtension(platform_.ownPath, "log")));
    }
    std::string Loading(const std::string& relative) const {
        return "Loading script: " + (dir_ / relative) + "\n";
    }
    // The fallback script's path is the launcher's directory, a backslash and its name.
    std::string LoadingFallback() const {
        return "Loading script: " + dir_.Path().string() + "\\DWSR.dat\n";
    }
    bool MarkerExists() const { return fs::exists(dir_.Path() / "restore.mod"); }

    ScratchDir dir_;
    TestPlatform platform_;
};

TEST_F(LauncherEntryTest, LoadsTheFirstCandidateBesideTheLauncher) {
    WriteFile(dir_.Path() / "SrdwLaunch.dat", "Rename(a,b)");
    WriteFile(dir_.Path() / "DWSR.dat", "Rename(c,d)");
    EXPECT_EQ(Run(), Loading("SrdwLaunch.dat"));
    // No game beside this launcher, and the chooser cancelled: the run ends there.
    EXPECT_EQ(platform_.messages, std::vector<std::string>{TEXT_GAME_NOT_FOUND});
    EXPECT_TRUE(platform_.questions.empty());
}

TEST_F(LauncherEntryTest, FallsBackToTheSecondCandidate) {
    WriteFile(dir_.Path() / "DWSR.dat", "Rename(c,d)");
    EXPECT_EQ(Run(), LoadingFallback());  // the missing first one leaves no line

    WriteFile(dir_.Path() / "SrdwLaunch.dat", "");
    EXPECT_EQ(Run(), LoadingFallback());  // an empty one neither

    WriteFile(dir_.Path() / "SrdwLaunch.dat", "Rename(a,b) broken");
    EXPECT_EQ(Run(), Loading("SrdwLaunch.dat") + "ERROR in script!\n" + (dir_ / "SrdwLaunch.dat") +
                         ":1:13: 'broken' is not a call: no '(' follows it\n" + LoadingFallback());
}

TEST_F(LauncherEntryTest, NoScriptIsReported) {
    EXPECT_EQ(Run(), "ERROR: Failed to load script!\n");
    EXPECT_EQ(platform_.messages, std::vector<std::string>{TEXT_SCRIPT_NOT_LOADED});
}

TEST_F(LauncherEntryTest, MarkerPutsTheRunIntoRecovery) {
    WriteFile(dir_.Path() / "Installed.dat", "Rename(a,b)");
    WriteFile(dir_.Path() / "SrdwLaunch.dat", "Rename(c,d)");
    WriteFile(dir_.Path() / "restore.mod", dir_ / "Installed.dat");
    EXPECT_EQ(Run(), Loading("Installed.dat"));
    // No game was found, so nothing was restored: the marker and the start-up
    // entry wait for the next start.
    EXPECT_TRUE(MarkerExists());
    EXPECT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
    EXPECT_TRUE(platform_.questions.empty());
}

TEST_F(LauncherEntryTest, UnloadableRestoreScriptAsksWhetherToReinstall) {
    WriteFile(dir_.Path() / "SrdwLaunch.dat", "Rename(c,d)");
    const std::string broken = dir_ / "Broken.dat";
    WriteFile(broken, "Rename(a,b);Rename(");
    const std::string failedRestore =
        "Loading script: " + broken + "\nERROR in script!\n" + broken +
        ":1:13: the call 'Rename(' is never closed by ')'\nERROR: Failed to load restore script!\n";

    const std::pair<Answer, std::string> cases[] = {
        {Answer::Cancel, failedRestore},                           // ends the run at once
        {Answer::Yes, failedRestore + Loading("SrdwLaunch.dat")},  // installs afresh
        {Answer::No, failedRestore},                               // plays with nothing installed
    };
    for (const auto& [answer, log] : cases) {
        WriteFile(dir_.Path() / "restore.mod", broken);
        platform_.answers = {answer};
        platform_.questions.clear();
        EXPECT_EQ(Run(), log);
        EXPECT_EQ(platform_.questions, std::vector<std::string>{TEXT_REINSTALL_QUESTION});
        EXPECT_FALSE(MarkerExists());
    }

    // A marker naming a script that is gone asks too.
    WriteFile(dir_.Path() / "restore.mod", dir_ / "Gone.dat");
    platform_.answers = {Answer::Cancel};
    EXPECT_EQ(Run(), "ERROR: Failed to load restore script!\n");
}

TEST_F(LauncherEntryTest, MarkerIsReadAsItsFirstTextLine) {
    WriteFile(dir_.Path() / "Installed.dat", "Rename(a,b)");
    for (const char* end : {"\r\nsecond line", "\n", "\r", "\r\r\n"}) {  // line ends are no part
        WriteFile(dir_.Path() / "restore.mod", (dir_ / "Installed.dat") + end);
        EXPECT_EQ(Run(), Loading("Installed.dat")) << "ended by " << testing::PrintToString(end);
    }
    EXPECT_TRUE(platform_.questions.empty());

    WriteFile(dir_.Path() / "restore.mod", "");  // empty: an ordinary run
    WriteFile(dir_.Path() / "SrdwLaunch.dat", "Rename(c,d)");
    EXPECT_EQ(Run(), Loading("SrdwLaunch.dat"));
}

// Nobody to answer (no terminal, end of input): the next start asks again.
TEST_F(LauncherEntryTest, NoAnswerKeepsTheMarkerAndTheStartupEntry) {
    WriteFile(dir_.Path() / "restore.mod", dir_ / "Gone.dat");
    platform_.answers = {Answer::NoAnswer};
    EXPECT_EQ(Run(),
              "ERROR: Failed to load restore script!\n"
              "No answer: nothing is changed; the next start asks again.\n");
    EXPECT_EQ(ReadFile(dir_.Path() / "restore.mod"), dir_ / "Gone.dat");
    EXPECT_EQ(platform_.startupEntries.count("SrdwLaunch"), 1u);
}

// A launcher whose own path was cut or cannot be used says so and writes nothing.
TEST_F(LauncherEntryTest, AnUnusableOwnPathWritesNothing) {
    struct NoOwnPath : TestPlatform {
        std::string OwnPath() override { return {}; }
    } platform;
    LauncherMain(platform.AsPlatform());
    EXPECT_EQ(platform.messages, std::vector<std::string>{TEXT_OWN_PATH_UNUSABLE});
    EXPECT_TRUE(fs::is_empty(dir_.Path()));
    EXPECT_TRUE(platform.startupEntries.empty());

    // 259 characters without ".exe": the script's path, the marker's line, would be cut.
    TestPlatform longPath;
    longPath.ownPath = dir_ / std::string(258 - dir_.Path().string().size(), 'L');
    ASSERT_EQ(longPath.ownPath.size(), 259u);
    LauncherMain(longPath.AsPlatform());
    EXPECT_EQ(longPath.messages, std::vector<std::string>{TEXT_OWN_PATH_UNUSABLE});
    EXPECT_TRUE(fs::is_empty(dir_.Path()));

    // Characters the code page lacks: the player is shown where.
    platform.unusablePath = "C:\\Games\\Skyrend ?\\SrdwLaunch.exe";
    platform.messages.clear();
    LauncherMain(platform.AsPlatform());
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].rfind("ERROR: The name of the game's folder", 0), 0u);
    EXPECT_NE(platform.messages[0].find("\nC:\\Games\\Skyrend ?\\SrdwLaunch.exe\n"),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_.Path()));
    EXPECT_TRUE(platform.startupEntries.empty());
}

TEST_F(LauncherEntryTest, LauncherWithoutExtensionInADottedDirectory) {
    fs::create_directories(dir_.Path() / "Skyrend.v2");
    platform_.ownPath = dir_ / "Skyrend.v2\\SrdwLaunch";
    WriteFile(dir_.Path() / "Skyrend.v2" / "SrdwLaunch.dat", "Rename(a,b)");
    LauncherMain(platform_.AsPlatform());
    EXPECT_EQ(LogBody(ReadFile(dir_.Path() / "Skyrend.v2" / "SrdwLaunch.log")),
              Loading("Skyrend.v2\\SrdwLaunch.dat"));
}

}  // namespace
}  // namespace srdw::test
