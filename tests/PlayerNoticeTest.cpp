// What the player is told around a launch cycle: an install whose commands did
// not all go in, a script that does not load and where it is wrong, and a
// recovery that a start by hand made.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "log/RunLog.h"
#include "res/resource.h"

namespace srdw::test {
namespace {

using Strings = std::vector<std::string>;

// The platform that also marks, among the splash's and the game's events,
// where a Yes/No question was asked.
class AskingPlatform : public TestPlatform {
  public:
    Answer AskYesNo(const std::string& text) override {
        events.emplace_back("question");
        return TestPlatform::AskYesNo(text);
    }
};

class PlayerNoticeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform_.ownPath = game_ / "SrdwLaunch.exe";
        WriteFile(game_.Path() / "srend.exe", "game");
        WriteFile(game_.Path() / "Data" / "Sky.pak", "sky");
        WriteFile(game_.Path() / "Data" / "Sky.dw", "dusk sky");
    }
    void Script(const std::string& text) const { WriteFile(game_.Path() / "SrdwLaunch.dat", text); }
    std::string Run() {
        platform_.events.clear();
        platform_.messages.clear();
        platform_.questions.clear();
        platform_.gameRuns.clear();
        return RunLauncher(platform_, game_.Path() / "SrdwLaunch.log");
    }
    Snapshot Game() const { return GameFolder(game_.Path()); }

    ScratchDir game_;
    AskingPlatform platform_;
};

constexpr const char* kSwap =
    "RenameEx(\"@rootdir\\Data\\Sky.pak\", \"@rootdir\\Data\\Sky.dw\", "
    "\"@rootdir\\Data\\Sky.bak\")\n";

TEST_F(PlayerNoticeTest, CommandsThatDidNotGoInAreToldBeforeTheGame) {
    Script(std::string(kSwap) + "Rename(Sounds\\wind.snd, Sounds\\wind.off)\nRename(, x)\n");
    const Snapshot before = Game();
    for (const Answer answer : {Answer::Yes, Answer::No}) {
        platform_.answers = {answer};
        const std::string log = Run();
        ASSERT_EQ(platform_.questions.size(), 1u) << log;
        EXPECT_NE(platform_.questions[0].find("Commands that did not go in: 2 of 3\nThe log says "
                                              "which: " +
                                              (game_ / "SrdwLaunch.log") + "\n"),
                  std::string::npos)
            << platform_.questions[0];
        const bool plays = answer == Answer::Yes;
        Strings events{"begin wait cursor",
                       "show splash",
                       "write startup entry",
                       "hide splash",
                       "question",
                       "game",
                       "delete startup entry",
                       "delete user startup entry",
                       "destroy splash",
                       "end wait cursor"};
        if (!plays) {
            events.erase(events.begin() + 5);
        }
        EXPECT_EQ(platform_.events, events);
        EXPECT_EQ(platform_.gameRuns.size(), plays ? 1u : 0u);
        EXPECT_NE(log.find(plays ? "The player chose to play although 2 of the script's "
                                   "commands did not go in.\n\nExecuting 'ShellExecuteEx()'"
                                 : "The player chose to have every file put back without "
                                   "playing, as 2 of the script's commands did not go in.\n"
                                   "\nRestoring script...\n"),
                  std::string::npos)
            << log;
        EXPECT_EQ(Game(), before);
        EXPECT_TRUE(platform_.startupEntries.empty());
    }
    Script(kSwap);  // all in: nothing new is asked
    Run();
    EXPECT_TRUE(platform_.questions.empty());
    EXPECT_EQ(platform_.gameRuns.size(), 1u);
}

// The place of the fault, or where a script lies that is not beside the
// launcher, follow message 3.
TEST_F(PlayerNoticeTest, AScriptThatDoesNotLoadSaysWhereToLook) {
    Script("Rename(a, b)\r\nRename(c, d\r\n");
    EXPECT_EQ(Run(), "Loading script: " + (game_ / "SrdwLaunch.dat") + "\nERROR in script!\n" +
                         (game_ / "SrdwLaunch.dat") +
                         ":2:1: the call 'Rename(' is never closed by ')'\n"
                         "ERROR: Failed to load script!\n");
    EXPECT_EQ(
        platform_.messages,
        Strings{std::string(TEXT_SCRIPT_NOT_LOADED) +
                "\n\nThe MOD's install script has a mistake here:\n" + (game_ / "SrdwLaunch.dat") +
                ":2:1: the call 'Rename(' is never closed by ')'\n\nSrdwCheck.exe, which "
                "comes with the launcher, shows every mistake in it: in a Command Prompt, "
                "run\nSrdwCheck \"" +
                (game_ / "SrdwLaunch.dat") + "\""});

    fs::remove(game_.Path() / "SrdwLaunch.dat");
    WriteFile(game_.Path() / "example" / "dwsr.DAT", kSwap);
    const std::string launcherFolder = game_.Path().string();
    const std::string found = launcherFolder + "\\example\\dwsr.DAT";
    const std::string mustGo = launcherFolder + "\\DWSR.dat";
    EXPECT_EQ(Run(), "ERROR: Failed to load script!\n > no script beside the launcher, but '" +
                         found + "' below it; it is read only as '" + mustGo + "'\n");
    ASSERT_EQ(platform_.messages.size(), 1u);
    EXPECT_NE(platform_.messages[0].find("\n" + found + "\nThe launcher reads it only here:\n" +
                                         mustGo + "\n"),
              std::string::npos)
        << platform_.messages[0];
}

// The start-up entry's run at log-in stays silent; a start by hand that finds
// the marker of a crashed run says that it put the files back.
TEST_F(PlayerNoticeTest, ARecoveryByHandSaysWhatItDid) {
    Script(kSwap);
    const Snapshot before = Game();
    for (const std::string commandLine : {"", "/recover"}) {
        platform_.commandLine.clear();
        platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
        EXPECT_THROW(Run(), std::runtime_error);
        platform_.whileGameRuns = nullptr;
        platform_.commandLine = commandLine;
        Run();
        EXPECT_EQ(Game(), before);
        EXPECT_TRUE(platform_.gameRuns.empty());
        EXPECT_EQ(platform_.messages,
                  commandLine.empty() ? Strings{TEXT_RECOVERED_BY_HAND} : Strings{});
    }

    // Ended after its records were written but before its first move: every
    // file is where it was, and the player is not told that a start put it back.
    platform_.commandLine.clear();
    platform_.whileGameRuns = [&] { throw std::runtime_error("the launcher dies"); };
    EXPECT_THROW(Run(), std::runtime_error);
    platform_.whileGameRuns = nullptr;
    fs::rename(game_.Path() / "Data" / "Sky.pak", game_.Path() / "Data" / "Sky.dw");
    fs::rename(game_.Path() / "Data" / "Sky.bak", game_.Path() / "Data" / "Sky.pak");
    Run();
    EXPECT_EQ(Game(), before);
    EXPECT_EQ(platform_.messages, Strings{TEXT_RECORDS_LEFT});
}

}  // namespace
}  // namespace srdw::test
