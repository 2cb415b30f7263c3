// The POSIX backend treats paths as Windows does: backslashes separate, letter
// case does not matter, read-only is respected and moves never replace.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/posix/CaseInsensitivePath.h"

namespace srdw::test {
namespace {

TEST(PosixPathTest, ResolvesBackslashesAndLetterCase) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Data/Maps/World Map.map", "world");
    const std::string root = dir.Path().string();
    EXPECT_EQ(posix::ResolveCase(root + "\\DATA\\maps\\world MAP.MAP"),
              root + "/Data/Maps/World Map.map");
    // What exists in no letter case keeps its spelling from there on.
    EXPECT_EQ(posix::ResolveCase(root + "\\data\\New\\File.TXT"), root + "/Data/New/File.TXT");
    EXPECT_EQ(posix::ResolveCase("relative\\x"), "relative/x");

    InDirectory inside(dir.Path());
    EXPECT_EQ(posix::ResolveCase("data\\MAPS"), "Data/Maps");
    EXPECT_TRUE(Os().Attributes("DATA\\MAPS\\WORLD MAP.MAP"));
    EXPECT_TRUE(Os().ChangeDirectory("DATA\\maps"));
    EXPECT_EQ(fs::current_path(), dir.Path() / "Data/Maps");
}

TEST(PosixPathTest, MovesNeverReplaceInAnyLetterCase) {
    ScratchDir dir;
    WriteFile(dir.Path() / "a.txt", "a");
    WriteFile(dir.Path() / "B.txt", "b");
    EXPECT_EQ(Os().MoveNoReplace(dir / "A.TXT", dir / "b.TXT").error, OsError::AlreadyExists);
    EXPECT_EQ(Os().MoveNoReplace(dir / "missing", dir / "c.txt").error, OsError::NotFound);
    EXPECT_TRUE(Os().MoveNoReplace(dir / "A.TXT", dir / "New.txt"));
    EXPECT_EQ(ReadFile(dir.Path() / "New.txt"), "a");
    EXPECT_EQ(ReadFile(dir.Path() / "B.txt"), "b");
}

TEST(PosixPathTest, ReadOnlyIsTheMissingOwnerWriteBit) {
    ScratchDir dir;
    WriteFile(dir.Path() / "f", "x");
    MakeReadOnly(dir.Path() / "f");
    const auto attributes = Os().Attributes(dir / "F");
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes->readOnly);
    // Even for root, as the launcher's tests run: a read-only file is neither
    // deleted nor overwritten.
    EXPECT_EQ(Os().RemoveFile(dir / "f").error, OsError::AccessDenied);
    EXPECT_EQ(Os().CreateOutputFile(dir / "f"), nullptr);
    EXPECT_TRUE(Os().SetNormalAttributes(dir / "f"));
    EXPECT_FALSE(IsReadOnly(dir.Path() / "f"));
    EXPECT_TRUE(Os().RestoreAttributes(dir / "f", *attributes));
    EXPECT_TRUE(IsReadOnly(dir.Path() / "f"));
}

}  // namespace
}  // namespace srdw::test
