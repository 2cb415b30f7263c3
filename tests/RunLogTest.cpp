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
        logged.Log().Write("first\nsecond");
        logged.Log().Write("");
        logged.Log().Write(" piece\r\n");
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
        logged.Log().Write("first run\n");
    }
    LoggedTest logged(dir);
    logged.Log().Write("second run\n");
    EXPECT_EQ(logged.Body(), "second run\n");
    logged.Log().Write("after close\n");
    EXPECT_EQ(LogBody(ReadFile(logged.LogPath())), "second run\n");
}

TEST(RunLogTest, LongRunsAreWrittenWhole) {
    ScratchDir dir;
    LoggedTest logged(dir);
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        logged.Log().Write(line);
        expected += line;
    }
    logged.Log().Flush();
    EXPECT_EQ(logged.Body(), expected);
}

TEST(RunLogTest, ReadOnlyLogMeansNoLog) {
    ScratchDir dir;
    WriteFile(dir.Path() / "SrdwLaunch.log", "old");
    MakeReadOnly(dir.Path() / "SrdwLaunch.log");
    {
        LoggedTest logged(dir);
        logged.Log().Write("lost\n");
    }
    EXPECT_EQ(ReadFile(dir.Path() / "SrdwLaunch.log"), "old");
}

}  // namespace
}  // namespace srdw::test
