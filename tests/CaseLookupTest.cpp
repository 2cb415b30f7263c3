// Names in another letter case are found from kept directory listings; a look-up
// through them finds what the disk holds after every change the launcher makes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/GameProcess.h"
#include "platform/NameCase.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "script/FileMoves.h"

namespace srdw::test {
namespace {

class CaseLookupTest : public ::testing::Test {
  protected:
    // Each test starts without listings, so none is carried over from another.
    void SetUp() override { posix::ForgetDirectoryListings(); }

    std::string Root() const { return dir_.Path().string(); }
    // What the launcher resolves `windowsPath` (relative to the scratch
    // directory, with backslashes) to, relative again.
    std::string Resolve(const std::string& windowsPath) const {
        const std::string resolved = posix::LookUpPath(Root() + "\\" + windowsPath).path;
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
    // "." and ".." fold by the text, as on Windows: also after a link, and a folder that is not
    // there.
    EXPECT_EQ(Resolve("data\\textures\\.\\SKY BOX\\..\\..\\sounds\\rain.snd"),
              "Data/Sounds/Rain.snd");
    EXPECT_EQ(Resolve("gone\\..\\data\\sounds\\."), "Data/Sounds");

    InDirectory inside(dir_.Path() / "Data");
    EXPECT_EQ(posix::LookUpPath("TEXTURES\\sky box\\north wall.pak").path,
              "Textures/Sky Box/North Wall.pak");
    EXPECT_EQ(posix::LookUpPath("sounds").path, "Sounds");
}

// A listing is read once and then kept: what others change is seen at once
// where it is spelled as stored, and in another letter case once the listings
// are read anew (after the game has run).
TEST_F(CaseLookupTest, WhatOthersChangeIsSeenAsSpelledAndOnceReadAnew) {
    Touch("Maps/Old.map");
    EXPECT_EQ(Resolve("MAPS\\NEW.MAP"), "Maps/NEW.MAP");  // the listing is kept now
    std::ofstream(dir_.Path() / "Maps/New.map") << "made by another program";
    EXPECT_EQ(Resolve("Maps\\New.map"), "Maps/New.map");
    EXPECT_EQ(Resolve("MAPS\\NEW.MAP"), "Maps/NEW.MAP");
    fs::remove(dir_.Path() / "Maps/Old.map");
    EXPECT_EQ(Resolve("maps\\old.map"), "Maps/old.map");  // a name gone is never found
    posix::ForgetDirectoryListings();
    EXPECT_EQ(Resolve("MAPS\\NEW.MAP"), "Maps/New.map");
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
    EXPECT_EQ(
        NativeFileSystem().MoveNoReplace(dir_ / "data\\sky.BAK", dir_ / "data\\SKY.PAK").error,
        OsError::AlreadyExists);

    ASSERT_NE(NativeFileSystem().CreateOutputFile(dir_ / "DATA\\Notes.txt"), nullptr);
    EXPECT_EQ(Resolve("data\\NOTES.TXT"), "Data/Notes.txt");
    EXPECT_TRUE(NativeFileSystem().Attributes(dir_ / "data\\notes.TXT"));
    ASSERT_TRUE(NativeFileSystem().RemoveFile(dir_ / "DATA\\NOTES.TXT"));
    EXPECT_EQ(Resolve("data\\NOTES.TXT"), "Data/NOTES.TXT");
    EXPECT_FALSE(NativeFileSystem().Attributes(dir_ / "data\\notes.TXT"));
    const std::string backup = dir_ / "DATA\\sky.BAK";
    EXPECT_EQ(NativeFileSystem().LookUp(std::span(&backup, 1))[0].stored, dir_ / "DATA\\Sky.bak");

    // A folder moved takes what is known below it along.
    ASSERT_TRUE(NativeFileSystem().MoveNoReplace(dir_ / "data", dir_ / "Atlas"));
    EXPECT_EQ(Resolve("DATA\\SKY.PAK"), "DATA/SKY.PAK");
    EXPECT_EQ(Resolve("ATLAS\\SKY.PAK"), "Atlas/Sky.pak");
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
// one in no case, and a link to nowhere, which is there as itself.
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
    ASSERT_TRUE(states[2].Exists());
    EXPECT_FALSE(states[2].attributes->directory);
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
    std::string directory = NativeFileSystem().WorkingDirectory();
    const CommandDefinition& swap = *FindCommand("RenameEx");
    ASSERT_EQ(Perform({engine, nullptr, directory, triple}, *swap.install), Verdict::Done);
    EXPECT_EQ(Resolve("DATA\\SKY.BAK"), "Data/Sky.bak");
    const ProgramRun game = NativeGameProcess().StartAndWait(
        "/bin/sh", "-c \"mv Data DATA && mv DATA/Sky.bak DATA/SKY.BAK && touch DATA/Sky.dw.tmp\"",
        Root(), [](bool) { return true; });
    ASSERT_TRUE(game);
    ASSERT_EQ(Perform({engine, nullptr, directory, triple}, *swap.restore), Verdict::Done);
    EXPECT_EQ(Resolve("data\\sky.pak"), "DATA/Sky.pak");
    EXPECT_EQ(Resolve("data\\sky.DW"), "DATA/sky.dw");
    EXPECT_EQ(Resolve("data\\sky.BAK"), "DATA/sky.BAK");
    EXPECT_FALSE(posix::LookUpPath(dir_ / "DATA\\SKY.BAK").exists);
}

// The rule worked out afresh from the disk, part by part: the name as spelled
// where it is there, else the first in byte order of the same name in another
// letter case, else as spelled from there on. A "." part is left out.
std::string ResolvedFromTheDisk(std::string path, std::string_view rest) {
    for (bool there = true; !rest.empty();) {
        const std::string part(rest.substr(0, rest.find('/')));
        rest.remove_prefix(std::min(rest.size(), part.size() + 1));
        const std::string spelled = path + "/" + part;
        std::vector<std::string> others;
        std::error_code unreadable;
        if (part != "." && there && !fs::exists(fs::symlink_status(spelled))) {
            for (const auto& entry : fs::directory_iterator(path, unreadable)) {
                const std::string name = entry.path().filename().string();
                if (FoldNameCase(name) == FoldNameCase(part)) {
                    others.push_back(name);
                }
            }
        }
        std::sort(others.begin(), others.end());
        there = there && (!others.empty() || fs::exists(fs::symlink_status(spelled)));
        path = part == "." ? path : others.empty() ? spelled : path + "/" + others.front();
    }
    return path;
}

// "." and ".." folded by the text, without a separator at the end.
std::string Folded(const std::string& path) {
    std::string folded = fs::path(path).lexically_normal().string();
    return folded.size() > 1 && folded.ends_with('/') ? folded.substr(0, folded.size() - 1)
                                                      : folded;
}

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Moves, creations and removals of files and folders through the backend, in
// and through links, "." and "..", and after a change of the working folder,
// each followed by look-ups: the kept listings find what the disk says. The
// paths ("../../.." at most) stay inside the scratch directory.
TEST_F(CaseLookupTest, TheLaunchersOwnChangesKeepEveryLookUpAsTheDiskSays) {
    const char* names[] = {"a", "A", "b", "B", "ab", "Ab", "aB", "L", "l", ".", ".."};
    std::mt19937 random(240);
    const auto path = [&] {
        std::string made = names[random() % 11];
        for (auto parts = random() % 3; parts-- > 0;) {
            made += std::string("/") + names[random() % 11];
        }
        return made;
    };
    const std::string top = Root() + "/1/2/3";
    const auto at = [&top](const std::string& windows) { return top + "/" + windows; };
    fs::create_directories(top);
    for (int k = 0; k < 10; ++k) {
        const fs::path file = top / fs::path(path());
        std::error_code ignored;
        fs::create_directories(file.parent_path(), ignored);
        std::ofstream{file};
    }
    fs::remove_all(top + "/L");  // made by chance as a file or folder above
    fs::create_directory_symlink("a", top + "/L");
    posix::ForgetDirectoryListings();
    const InDirectory inside(top);
    for (int step = 0; step < 3000; ++step) {
        const std::string spelled = path();
        const std::string windows = Backslashed(spelled);
        switch (random() % 5) {
            case 0:
                static_cast<void>(
                    NativeFileSystem().MoveNoReplace(at(windows), at(Backslashed(path()))));
                break;
            case 1:
                static_cast<void>(NativeFileSystem().CreateOutputFile(at(windows)));
                break;
            case 2:
                static_cast<void>(NativeFileSystem().RemoveFile(at(windows)));
                break;
            case 3:
                static_cast<void>(NativeFileSystem().ChangeDirectory(at(names[random() % 7])));
                break;
        }
        ASSERT_EQ(posix::LookUpPath(at(windows)).path,
                  ResolvedFromTheDisk("", Folded(at(spelled)).substr(1)))
            << spelled << " at step " << step;
        const std::string here = fs::current_path().string();
        ASSERT_EQ(Folded(here + "/" + posix::LookUpPath(windows).path),
                  ResolvedFromTheDisk("", Folded(here + "/" + spelled).substr(1)))
            << spelled << " in " << here;
    }
}

}  // namespace
}  // namespace srdw::test
