// The launcher's own paths: its directory, its script candidates and its log name.
#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/PathText.h"
#include "log/RunLog.h"

namespace srdw::test {
namespace {

TEST(PathTextTest, DirectoryOf) {
    EXPECT_EQ(DirectoryOf("C:\\Games\\Skyrend 2\\SrdwLaunch.exe"), "C:\\Games\\Skyrend 2");
    EXPECT_EQ(DirectoryOf("C:\\SrdwLaunch.exe"), "C:");  // the root: no trailing separator
    EXPECT_EQ(DirectoryOf("/opt/game/SrdwLaunch"), "/opt/game");
    EXPECT_EQ(DirectoryOf("a/b\\c/d"), "a/b");  // the last backslash wins over later slashes
    EXPECT_EQ(DirectoryOf("SrdwLaunch.exe"), "");
    EXPECT_EQ(DirectoryOf(""), "");
    EXPECT_EQ(DirectoryOf(std::string(300, 'a') + "\\x"), "");  // only 259 characters count
}

TEST(PathTextTest, ExtensionsAreTakenFromTheFileNameOnly) {
    EXPECT_EQ(ReplaceExtension("C:\\Games\\SrdwLaunch.exe", "dat"), "C:\\Games\\SrdwLaunch.dat");
    EXPECT_EQ(ReplaceExtension("C:\\Skyrend.v2\\SrdwLaunch", "dat"),
              "C:\\Skyrend.v2\\SrdwLaunch.dat");
    EXPECT_EQ(ReplaceExtension("/home/p/Skyrend.v2/SrdwLaunch", "log"),
              "/home/p/Skyrend.v2/SrdwLaunch.log");
    EXPECT_EQ(ReplaceExtension("x.tar.gz", "log"), "x.tar.log");
}

TEST(PathTextTest, ADriveRootIsEnteredAtItsRoot) {
    EXPECT_EQ(DirectoryToEnter("C:"), "C:\\");
    EXPECT_EQ(DirectoryToEnter("C:\\Games"), "C:\\Games");
    EXPECT_EQ(DirectoryToEnter("/"), "/");
}

// Switches count only where they begin a word.
TEST(CommandLineTest, SwitchesBeginAWord) {
    EXPECT_TRUE(HasRecoverSwitch("/recover"));
    EXPECT_TRUE(HasRecoverSwitch("-window\t/recovery"));
    EXPECT_FALSE(HasRecoverSwitch("-save=d:/recovered/s1"));
    std::string line = "-cfg=d:/editions/x.cfg /edit -w /edit /recovery -x";
    RemoveSwitches(line);
    EXPECT_EQ(line, "-cfg=d:/editions/x.cfg  -w /edit  -x");
    line = "/editor";  // a longer word that begins with it loses the five characters
    RemoveSwitches(line);
    EXPECT_EQ(line, "or");
}

}  // namespace
}  // namespace srdw::test
