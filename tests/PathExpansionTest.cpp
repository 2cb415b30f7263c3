// Script arguments expanded to paths, and the log line of each expansion.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "script/PathExpansion.h"

namespace srdw::test {
namespace {

class PathExpansionTest : public ::testing::Test {
  protected:
    std::string Expand(std::string_view source) {
        return ExpandArgument(source, rootDir_, commandLine_).value_or("<too long>");
    }
    // As a command expands its argument, telling the run log.
    std::string ExpandPath(LoggedTest& logged, std::string_view source) {
        const auto expanded = ExpandArgument(source, rootDir_, commandLine_);
        logged.Told().PathExpanded(
            source, expanded ? std::optional<std::string_view>(*expanded) : std::nullopt);
        return expanded.value_or("");
    }

    std::string rootDir_ = "C:\\Games\\Skyrend 2";
    std::string commandLine_ = "-window /edit";
};

TEST_F(PathExpansionTest, ReplacesPlaceholdersInAnyCaseAnywhere) {
    EXPECT_EQ(Expand("@rootdir\\data\\x.pak"), "C:\\Games\\Skyrend 2\\data\\x.pak");
    EXPECT_EQ(Expand("\"@ROOTDIR\\My Files\\@RootDir\""),
              "C:\\Games\\Skyrend 2\\My Files\\C:\\Games\\Skyrend 2");
    EXPECT_EQ(Expand("log@CmdLine.txt"), "log-window /edit.txt");
    EXPECT_EQ(Expand("@rootdir@rootdir"), "C:\\Games\\Skyrend 2C:\\Games\\Skyrend 2");
}

TEST_F(PathExpansionTest, LeavesWhatIsNoPlaceholder) {
    EXPECT_EQ(Expand("a\\@rootdi"), "a\\@rootdi");  // cut short by the end
    EXPECT_EQ(Expand("@root\"dir"), "@rootdir");    // the quote breaks the word, then goes
    EXPECT_EQ(Expand("%WINDIR%\\..\\x"), "%WINDIR%\\..\\x");
    EXPECT_EQ(Expand("@@rootdir"), "@C:\\Games\\Skyrend 2");
}

TEST_F(PathExpansionTest, InsertedValuesAreNotScannedAgain) {
    rootDir_ = "\"@cmdline\"";
    EXPECT_EQ(Expand("@rootdir"), "\"@cmdline\"");
    rootDir_.clear();
    EXPECT_EQ(Expand("@rootdir\\x"), "\\x");
}

TEST_F(PathExpansionTest, LogsEveryNonEmptyArgument) {
    ScratchDir dir;
    LoggedTest logged(dir);
    EXPECT_EQ(ExpandPath(logged, "\"@rootdir\\a b\""), "C:\\Games\\Skyrend 2\\a b");
    EXPECT_EQ(ExpandPath(logged, "\"\""), "");
    EXPECT_EQ(ExpandPath(logged, ""), "");
    EXPECT_EQ(logged.Body(),
              "- Parsing path: '\"@rootdir\\a b\"' -> 'C:\\Games\\Skyrend 2\\a b'\n"
              "- Parsing path: '\"\"' -> ''\n");
}

TEST_F(PathExpansionTest, NeverLongerThan511Characters) {
    rootDir_ = std::string(500, 'r');
    EXPECT_EQ(Expand("@rootdir" + std::string(11, 'x')).size(), 511u);
    EXPECT_EQ(Expand("@rootdir" + std::string(12, 'x')), "<too long>");
    EXPECT_EQ(Expand(std::string(600, '"') + "x"), "x");  // quotes take no room

    // Too long: the command gets an empty path, so it does nothing, and the log says why.
    ScratchDir dir;
    LoggedTest logged(dir);
    EXPECT_EQ(ExpandPath(logged, "@rootdir@rootdir"), "");
    const std::string log = logged.Body();
    EXPECT_EQ(log.rfind("- Parsing path: '@rootdir@rootdir' -> ''\nERROR", 0), 0u) << log;
}

}  // namespace
}  // namespace srdw::test
