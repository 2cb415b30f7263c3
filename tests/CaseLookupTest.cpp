// Names in another letter case are found from kept directory listings; these must
// follow every change of a directory at once, whoever makes it and however fast.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/ListingCache.h"
#include "script/FileMoves.h"

namespace srdw::test {
namespace {

using posix::ResolveCase;

class CaseLookupTest : public ::testing::Test {
  protected:
    // Each test starts without listings, so none is carried over from another.
    void SetUp() override { posix::ForgetDirectoryListings(); }

    std::string Root() const { return dir_.Path().string(); }
    // What the launcher resolves `windowsPath` (relative to the scratch
    // directory, with backslashes) to, relative again.
    std::string Resolve(const std::string& windowsPath) const {
        const std::string resolved = ResolveCase(Root() + "\\" + windowsPath);
        EXPECT_EQ(resolved.rfind(Root() + "/", 0), 0u) << resolved;
        return resolved.substr(Root().size() + 1);
    }
    void Touch(const std::string& relative) const { WriteFile(dir_.Path() / relative, "x"); }

    ScratchDir dir_;
};

TEST_F(CaseLookupTest, ExactSpellingFirstThenTheFirstInByteOrder) {
    Touch("a.TXT");
    Touch("A.txt");
    Touch("b.TXT");
    EXPECT_EQ(Resolve("a.TXT"), "a.TXT");
    EXPECT_EQ(Resolve("a.txt"), "A.txt");  // 'A' sorts before 'a'
    EXPECT_EQ(Resolve("A.TXT"), "A.txt");
    EXPECT_EQ(Resolve("B.txt"), "b.TXT");
}

TEST_F(CaseLookupTest, NameInNoLetterCaseKeepsItsSpelling) {
    Touch("Data/Maps/World.map");
    EXPECT_EQ(Resolve("DATA\\MAPS\\World.BAK"), "Data/Maps/World.BAK");
    EXPECT_EQ(Resolve("data\\Atlas\\Deep\\x.MAP"), "Data/Atlas/Deep/x.MAP");
    EXPECT_EQ(Resolve("Nowhere\\At\\All"), "Nowhere/At/All");
    // A file is no directory: nothing is below it.
    EXPECT_EQ(Resolve("data\\maps\\WORLD.MAP\\inside"), "Data/Maps/World.map/inside");
    EXPECT_EQ(Resolve("DATA\\maps\\"), "Data/Maps/");
}

TEST_F(CaseLookupTest, WrongCaseInEveryDirectoryOfANestedPath) {
    Touch("Data/Textures/Sky Box/North Wall.pak");
    Touch("Data/Sounds/Rain.snd");
    EXPECT_EQ(Resolve("dATA\\tEXTURES\\sKY bOX\\nORTH wALL.PAK"),
              "Data/Textures/Sky Box/North Wall.pak");
    EXPECT_EQ(Resolve("DATA\\SOUNDS\\RAIN.SND"), "Data/Sounds/Rain.snd");
    EXPECT_EQ(Resolve("data\\textures\\.\\SKY BOX\\..\\..\\sounds\\rain.snd"),
              "Data/Textures/./Sky Box/../../Sounds/Rain.snd");

    InDirectory inside(dir_.Path() / "Data");
    EXPECT_EQ(ResolveCase("TEXTURES\\sky box\\north wall.pak"), "Textures/Sky Box/North Wall.pak");
    EXPECT_EQ(ResolveCase("sounds"), "Sounds");
}

TEST_F(CaseLookupTest, FileCreatedBehindTheListingsBackIsSeenAtOnce) {
    Touch("Textures/Old.pak");
    EXPECT_EQ(Resolve("TEXTURES\\NEW.PAK"), "Textures/NEW.PAK");  // the listing is kept now
    Touch("Textures/New.pak");
    EXPECT_EQ(Resolve("TEXTURES\\NEW.PAK"), "Textures/New.pak");
    Touch("Textures/NeW.pak");  // another spelling, earlier in byte order
    EXPECT_EQ(Resolve("TEXTURES\\NEW.PAK"), "Textures/NeW.pak");
}

TEST_F(CaseLookupTest, FileRemovedBehindTheListingsBackIsGoneAtOnce) {
    Touch("Maps/World.map");
    Touch("Maps/WORLD.MAP.bak");
    EXPECT_EQ(Resolve("MAPS\\world.map"), "Maps/World.map");
    fs::remove(dir_.Path() / "Maps/World.map");
    EXPECT_EQ(Resolve("MAPS\\world.map"), "Maps/world.map");
    EXPECT_EQ(Resolve("maps\\world.MAP.BAK"), "Maps/WORLD.MAP.bak");
}

TEST_F(CaseLookupTest, FileRenamedBehindTheListingsBackIsFoundUnderItsNewName) {
    Touch("Maps/One.map");
    EXPECT_EQ(Resolve("MAPS\\ONE.MAP"), "Maps/One.map");
    fs::rename(dir_.Path() / "Maps/One.map", dir_.Path() / "Maps/Two.map");
    EXPECT_EQ(Resolve("MAPS\\ONE.MAP"), "Maps/ONE.MAP");
    EXPECT_EQ(Resolve("MAPS\\TWO.MAP"), "Maps/Two.map");
    // Only the letter case changes.
    fs::rename(dir_.Path() / "Maps/Two.map", dir_.Path() / "Maps/TWO.map");
    EXPECT_EQ(Resolve("maps\\two.map"), "Maps/TWO.map");
    // Into another directory.
    Touch("Other/keep");
    EXPECT_EQ(Resolve("OTHER\\two.map"), "Other/two.map");
    fs::rename(dir_.Path() / "Maps/TWO.map", dir_.Path() / "Other/Two.Map");
    EXPECT_EQ(Resolve("OTHER\\two.map"), "Other/Two.Map");
    EXPECT_EQ(Resolve("MAPS\\two.map"), "Maps/two.map");
}

TEST_F(CaseLookupTest, DirectoriesRenamedOrReplacedBehindTheListingsBack) {
    Touch("Data/Maps/World.map");
    EXPECT_EQ(Resolve("DATA\\MAPS\\WORLD.MAP"), "Data/Maps/World.map");
    fs::rename(dir_.Path() / "Data/Maps", dir_.Path() / "Data/Atlas");
    EXPECT_EQ(Resolve("DATA\\MAPS\\WORLD.MAP"), "Data/MAPS/WORLD.MAP");
    EXPECT_EQ(Resolve("DATA\\ATLAS\\WORLD.MAP"), "Data/Atlas/World.map");

    // A new directory at the old path, with other names in it.
    fs::remove_all(dir_.Path() / "Data");
    Touch("Data/Other.map");
    EXPECT_EQ(Resolve("DATA\\ATLAS\\WORLD.MAP"), "Data/ATLAS/WORLD.MAP");
    EXPECT_EQ(Resolve("DATA\\OTHER.MAP"), "Data/Other.map");
    fs::remove_all(dir_.Path() / "Data");
    EXPECT_EQ(Resolve("DATA\\OTHER.MAP"), "DATA/OTHER.MAP");
}

// Many changes within one tick of the file system's clock leave the directory's
// modification time as it was; each must be seen all the same.
TEST_F(CaseLookupTest, ChangesInQuickSuccessionAreAllSeen) {
    Touch("Fast/first");
    for (int i = 0; i < 300; ++i) {
        const std::string name = "File " + std::to_string(i) + ".Dat";
        const std::string asked = "FAST\\file " + std::to_string(i) + ".DAT";
        ASSERT_EQ(Resolve(asked), "Fast/file " + std::to_string(i) + ".DAT");
        Touch("Fast/" + name);
        ASSERT_EQ(Resolve(asked), "Fast/" + name);
        fs::rename(dir_.Path() / "Fast" / name, dir_.Path() / "Fast/moved");
        ASSERT_EQ(Resolve(asked), "Fast/file " + std::to_string(i) + ".DAT");
        ASSERT_EQ(Resolve("fast\\MOVED"), "Fast/moved");
        fs::remove(dir_.Path() / "Fast/moved");
        ASSERT_EQ(Resolve("fast\\MOVED"), "Fast/MOVED");
    }
}

// What a file system with a coarse clock does to two changes within one tick:
// the directory's modification time stays as it was. The change is seen anyway.
TEST_F(CaseLookupTest, ChangesThatLeaveTheModificationTimeAsItWasAreSeen) {
    Touch("Same/Old.pak");
    const std::string same = (dir_.Path() / "Same").string();
    struct stat before;
    ASSERT_EQ(::stat(same.c_str(), &before), 0);
    const auto putTimeBack = [&] {
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, same.c_str(), times, 0), 0);
    };
    EXPECT_EQ(Resolve("SAME\\NEW.PAK"), "Same/NEW.PAK");
    Touch("Same/New.pak");
    putTimeBack();
    EXPECT_EQ(Resolve("SAME\\NEW.PAK"), "Same/New.pak");
    fs::rename(dir_.Path() / "Same/Old.pak", dir_.Path() / "Same/Older.pak");
    putTimeBack();
    EXPECT_EQ(Resolve("SAME\\OLD.PAK"), "Same/OLD.PAK");
    EXPECT_EQ(Resolve("SAME\\OLDER.PAK"), "Same/Older.pak");
    fs::remove(dir_.Path() / "Same/New.pak");
    putTimeBack();
    EXPECT_EQ(Resolve("SAME\\NEW.PAK"), "Same/NEW.PAK");
}

TEST_F(CaseLookupTest, TheLaunchersOwnChangesAreSeen) {
    Touch("Data/Sky.pak");
    Touch("Data/Sky.dw");
    EXPECT_EQ(Resolve("data\\SKY.BAK"), "Data/SKY.BAK");
    // The swap of an install, in the script's letter case.
    ASSERT_TRUE(NativeFileSystem().MoveNoReplace(dir_ / "DATA\\SKY.PAK", dir_ / "DATA\\Sky.bak"));
    EXPECT_EQ(Resolve("data\\SKY.BAK"), "Data/Sky.bak");
    EXPECT_EQ(Resolve("data\\SKY.PAK"), "Data/SKY.PAK");
    ASSERT_TRUE(NativeFileSystem().MoveNoReplace(dir_ / "data\\sky.DW", dir_ / "Data\\Sky.pak"));
    EXPECT_EQ(Resolve("data\\SKY.PAK"), "Data/Sky.pak");
    EXPECT_EQ(Resolve("data\\SKY.DW"), "Data/SKY.DW");
    EXPECT_EQ(NativeFileSystem().MoveNoReplace(dir_ / "data\\sky.BAK", dir_ / "data\\SKY.PAK").error,
              OsError::AlreadyExists);

    ASSERT_NE(NativeFileSystem().CreateOutputFile(dir_ / "DATA\\Notes.txt"), nullptr);
    EXPECT_EQ(Resolve("data\\NOTES.TXT"), "Data/Notes.txt");
    EXPECT_TRUE(NativeFileSystem().Attributes(dir_ / "data\\notes.TXT"));
    ASSERT_TRUE(NativeFileSystem().RemoveFile(dir_ / "DATA\\NOTES.TXT"));
    EXPECT_EQ(Resolve("data\\NOTES.TXT"), "Data/NOTES.TXT");
    EXPECT_FALSE(NativeFileSystem().Attributes(dir_ / "data\\notes.TXT"));
    EXPECT_EQ(NativeFileSystem().StoredName(dir_ / "DATA\\sky.BAK"), dir_ / "DATA\\Sky.bak");
}

TEST_F(CaseLookupTest, LookUpTellsWhatIsThere) {
    WriteFile(dir_.Path() / "Data/Sky.pak", "sky!");
    ASSERT_EQ(::symlink("Nowhere", (dir_.Path() / "Data/Dangling").c_str()), 0);

    const auto exact = posix::LookUpPath(dir_ / "Data\\Sky.pak");
    EXPECT_TRUE(exact.exists);
    EXPECT_EQ(exact.status.st_size, 4);
    const auto other = posix::LookUpPath(dir_ / "DATA\\SKY.PAK");
    EXPECT_EQ(other.path, Root() + "/Data/Sky.pak");
    EXPECT_TRUE(other.exists);
    EXPECT_EQ(other.status.st_ino, exact.status.st_ino);
    const auto missing = posix::LookUpPath(dir_ / "data\\Sky.bak");
    EXPECT_EQ(missing.path, Root() + "/Data/Sky.bak");
    EXPECT_FALSE(missing.exists);
    EXPECT_FALSE(posix::LookUpPath(dir_ / "Gone\\Sky.pak").exists);
    const auto dangling = posix::LookUpPath(dir_ / "data\\DANGLING");
    EXPECT_TRUE(dangling.exists);
    EXPECT_TRUE(S_ISLNK(dangling.status.st_mode));
    // Found in a listing that a removal has overtaken: not there.
    EXPECT_EQ(Resolve("DATA\\SKY.PAK"), "Data/Sky.pak");
    fs::remove(dir_.Path() / "Data/Sky.pak");
    EXPECT_FALSE(posix::LookUpPath(dir_ / "DATA\\SKY.PAK").exists);
}

// Two paths to one directory share what is known of it.
TEST_F(CaseLookupTest, AChangeSeenThroughAnotherPathToTheSameDirectory) {
    Touch("Data/Old.pak");
    ASSERT_EQ(::symlink("Data", (dir_.Path() / "Link").c_str()), 0);
    EXPECT_EQ(Resolve("LINK\\NEW.PAK"), "Link/NEW.PAK");
    Touch("Data/New.pak");
    EXPECT_EQ(Resolve("link\\new.pak"), "Link/New.pak");
    EXPECT_EQ(Resolve("DATA\\NEW.PAK"), "Data/New.pak");
    fs::remove(dir_.Path() / "Link/New.pak");
    EXPECT_EQ(Resolve("DATA\\NEW.PAK"), "Data/NEW.PAK");
}

// A link to a folder leads into the folder, as a junction does on Windows; a
// link to a file is itself the entry, with what it leads to as attributes. A
// file system that hands its look-ups on path by path (a proxy) finds what the
// backend's own look-up of them together finds.
TEST_F(CaseLookupTest, ALinkToAFolderIsTheFolderHoweverItIsAsked) {
    WriteFile(dir_.Path() / "Data/Maps/World.map", "world");
    ASSERT_EQ(::symlink("Data/Maps", (dir_.Path() / "Atlas").c_str()), 0);
    ASSERT_EQ(::symlink("World.map", (dir_.Path() / "Data/Maps/Alias.map").c_str()), 0);
    const std::vector<std::string> paths{dir_ / "ATLAS\\WORLD.MAP", dir_ / "atlas\\World.bak",
                                         dir_ / "atlas\\ALIAS.MAP"};
    FileSystemProxy pathByPath(NativeFileSystem());
    const auto together = NativeFileSystem().LookUp(paths);
    const auto oneByOne = pathByPath.LookUp(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(together[i].stored, oneByOne[i].stored) << paths[i];
        ASSERT_EQ(together[i].Exists(), oneByOne[i].Exists()) << paths[i];
        if (together[i].Exists()) {
            EXPECT_EQ(together[i].attributes->identity, oneByOne[i].attributes->identity);
        }
    }
    EXPECT_EQ(together[0].stored, dir_ / "ATLAS\\World.map");
    EXPECT_FALSE(together[1].Exists());
    ASSERT_TRUE(together[2].Exists());
    EXPECT_FALSE(together[2].attributes->directory);
    EXPECT_NE(together[2].attributes->identity, together[0].attributes->identity);
    ASSERT_TRUE(pathByPath.MoveNoReplace(paths[0], paths[1]));
    EXPECT_EQ(ReadFile(dir_.Path() / "Data/Maps/World.bak"), "world");
}

// A command's paths looked up together: one name there in another letter case,
// one in no case, and a link to nowhere, which has no attributes to move by.
TEST_F(CaseLookupTest, LookingUpACommandsPathsTogether) {
    WriteFile(dir_.Path() / "Data/Sky.pak", "sky!");
    MakeReadOnly(dir_.Path() / "Data/Sky.pak");
    ASSERT_EQ(::symlink("Nowhere", (dir_.Path() / "Data/Dangling").c_str()), 0);
    const std::vector<std::string> paths{dir_ / "DATA\\SKY.PAK", dir_ / "data\\Sky.bak",
                                         dir_ / "Data\\dangling", dir_ / "Gone\\Sky.pak"};
    const auto states = NativeFileSystem().LookUp(paths);
    ASSERT_EQ(states.size(), 4u);
    EXPECT_EQ(states[0].native, Root() + "/Data/Sky.pak");
    EXPECT_EQ(states[0].stored, dir_ / "DATA\\Sky.pak");
    ASSERT_TRUE(states[0].Exists());
    EXPECT_TRUE(states[0].attributes->readOnly);
    EXPECT_EQ(states[1].native, Root() + "/Data/Sky.bak");
    EXPECT_EQ(states[1].stored, paths[1]);
    EXPECT_FALSE(states[1].Exists());
    EXPECT_FALSE(states[2].Exists());
    EXPECT_FALSE(states[3].Exists());
    // Moving by the names found, the target's name is the script's.
    ASSERT_TRUE(NativeFileSystem().MoveLookedUp(states[0], states[1]));
    EXPECT_EQ(Resolve("DATA\\SKY.BAK"), "Data/Sky.bak");
    EXPECT_EQ(NativeFileSystem().MoveLookedUp(states[1], states[0]).error, OsError::AlreadyExists);
}

// The game runs between install and restore, and other programs with it: what
// they change in the meantime is what the restore looks up, not what the
// install saw.
TEST_F(CaseLookupTest, ARestoreSeesWhatOthersChangedSinceTheInstall) {
    Touch("Data/Sky.pak");
    Touch("Data/Sky.dw");
    const std::string original = dir_ / "data\\SKY.PAK";
    const std::string modified = dir_ / "DATA\\sky.dw";
    const std::string backup = dir_ / "Data\\Sky.bak";
    const std::string triple[] = {original, modified, backup};
    ScriptObserver quiet;
    const Engine engine{NativeFileSystem(), quiet};
    const std::string directory = NativeFileSystem().WorkingDirectory();
    const CommandDefinition& swap = *FindCommand("RenameEx");
    ASSERT_EQ(Perform({engine, nullptr, directory, triple}, *swap.install), Verdict::Done);
    EXPECT_EQ(Resolve("DATA\\SKY.BAK"), "Data/Sky.bak");
    fs::rename(dir_.Path() / "Data", dir_.Path() / "DATA");
    fs::rename(dir_.Path() / "DATA/Sky.bak", dir_.Path() / "DATA/SKY.BAK");
    Touch("DATA/Sky.dw.tmp");
    ASSERT_EQ(Perform({engine, nullptr, directory, triple}, *swap.restore), Verdict::Done);
    EXPECT_EQ(Resolve("data\\sky.pak"), "DATA/Sky.pak");
    EXPECT_EQ(Resolve("data\\sky.DW"), "DATA/sky.dw");
    EXPECT_EQ(Resolve("data\\sky.BAK"), "DATA/sky.BAK");
    EXPECT_FALSE(posix::LookUpPath(dir_ / "DATA\\SKY.BAK").exists);
}

TEST_F(CaseLookupTest, ListingsReadAgainAfterBeingForgotten) {
    Touch("Data/Old.pak");
    EXPECT_EQ(Resolve("DATA\\OLD.PAK"), "Data/Old.pak");
    posix::ForgetDirectoryListings();
    fs::rename(dir_.Path() / "Data/Old.pak", dir_.Path() / "Data/Older.pak");
    EXPECT_EQ(Resolve("DATA\\OLD.PAK"), "Data/OLD.PAK");
    EXPECT_EQ(Resolve("DATA\\OLDER.PAK"), "Data/Older.pak");
}

}  // namespace
}  // namespace srdw::test
