// The run log's file: its name, header and footer, line ends, and a log that
// cannot be written.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "log/RunLog.h"

namespace srdw::test {
namespace {

TEST(RunLogTest, WritesHeaderTextsAndFooterWithCrLf) {
    ScratchDir dir;
    {
        LoggedTest logged(dir);
        LogWrite("first\nsecond");
        LogWrite("");
        LogWrite(" piece\r\n");
    }
    EXPECT_EQ(ReadFile(dir.Path() / "SrdwLaunch.log"),
              "Skyrend II: Duskwarden\r\n"
              "Log started: 03/05/27 08:05:09\r\n"
              "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\n"
              "first\r\nsecond piece\r\r\n"
              "\r\n"
              "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\n"
              "Log finished: 03/05/27 08:05:09\r\n");
}

TEST(RunLogTest, EachRunReplacesTheLogAndWritesAfterCloseAreDropped) {
    ScratchDir dir;
    {
        LoggedTest logged(dir);
        LogWrite("first run\n");
    }
    LoggedTest logged(dir);
    LogWrite("second run\n");
    EXPECT_EQ(logged.Body(), "second run\n");
    LogWrite("after close\n");
    EXPECT_EQ(LogBody(ReadFile(logged.LogPath())), "second run\n");
}

// A log installed inside another run's takes the lines while its scope lasts;
// then the outer log, still open, takes them again.
TEST(RunLogTest, AnInstalledLogServesItsScopeAndHandsBack) {
    ScratchDir dir;
    LoggedTest outer(dir);
    LogWrite("outer ");
    {
        RunLog inner;
        const Installed<RunLog> scope(inner);
        ASSERT_TRUE(LogOpen(dir / "inner.log"));
        LogWrite("inner\n");
        LogClose();
    }
    LogWrite("again\n");
    EXPECT_EQ(outer.Body(), "outer again\n");
    EXPECT_EQ(LogBody(ReadFile(dir.Path() / "inner.log")), "inner\n");
}

TEST(RunLogTest, LongRunsAreWrittenWhole) {
    ScratchDir dir;
    LoggedTest logged(dir);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        LogWrite(line);
        expected += line;
    }
    LogFlush();
    EXPECT_EQ(logged.Body(), expected);
}

TEST(RunLogTest, ReadOnlyLogMeansNoLog) {
    ScratchDir dir;
    WriteFile(dir.Path() / "SrdwLaunch.log", "old");
    MakeReadOnly(dir.Path() / "SrdwLaunch.log");
    {
        LoggedTest logged(dir);
        LogWrite("lost\n");
    }
    EXPECT_EQ(ReadFile(dir.Path() / "SrdwLaunch.log"), "old");
}

}  // namespace
}  // namespace srdw::test
