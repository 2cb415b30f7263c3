// The POSIX backend treats paths as Windows does: backslashes separate, letter
// case does not matter, read-only is respected and moves never replace.
#include <fcntl.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/posix/Autostart.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/UniqueFd.h"
#include "platform/posix/WindowsCommandLine.h"

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
    EXPECT_TRUE(Files().Attributes("DATA\\MAPS\\WORLD MAP.MAP"));
    EXPECT_TRUE(Files().ChangeDirectory("DATA\\maps"));
    EXPECT_EQ(fs::current_path(), dir.Path() / "Data/Maps");
}

TEST(PosixPathTest, MovesNeverReplaceInAnyLetterCase) {
    ScratchDir dir;
    WriteFile(dir.Path() / "a.txt", "a");
    WriteFile(dir.Path() / "B.txt", "b");
    EXPECT_EQ(Files().MoveNoReplace(dir / "A.TXT", dir / "b.TXT").error, OsError::AlreadyExists);
    EXPECT_EQ(Files().MoveNoReplace(dir / "missing", dir / "c.txt").error, OsError::NotFound);
    EXPECT_TRUE(Files().MoveNoReplace(dir / "A.TXT", dir / "New.txt"));
    EXPECT_EQ(ReadFile(dir.Path() / "New.txt"), "a");
    EXPECT_EQ(ReadFile(dir.Path() / "B.txt"), "b");
}

TEST(PosixPathTest, ReadOnlyIsTheMissingOwnerWriteBit) {
    ScratchDir dir;
    WriteFile(dir.Path() / "f", "x");
    MakeReadOnly(dir.Path() / "f");
    const auto attributes = Files().Attributes(dir / "F");
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes->readOnly);
    // Even for root, as the launcher's tests run: a read-only file is neither
    // deleted nor overwritten.
    EXPECT_EQ(Files().RemoveFile(dir / "f").error, OsError::AccessDenied);
    EXPECT_EQ(Files().CreateOutputFile(dir / "f"), nullptr);
    EXPECT_TRUE(Files().SetNormalAttributes(dir / "f"));
    EXPECT_FALSE(IsReadOnly(dir.Path() / "f"));
    EXPECT_TRUE(Files().RestoreAttributes(dir / "f", *attributes));
    EXPECT_TRUE(IsReadOnly(dir.Path() / "f"));
}

TEST(PosixBackendTest, SplitsTheGamesParametersAsWindowsDoes) {
    using Arguments = std::vector<std::string>;
    EXPECT_EQ(posix::SplitWindowsCommandLine("  -window\t -debug "),
              (Arguments{"-window", "-debug"}));
    EXPECT_EQ(posix::SplitWindowsCommandLine(R"("C:\My Games\\" x"y z" a\\b)"),
              (Arguments{R"(C:\My Games\)", "xy z", R"(a\\b)"}));
    EXPECT_EQ(posix::SplitWindowsCommandLine(R"(a\\"b c" d\\\"e "f""g")"),
              (Arguments{R"(a\b c)", R"(d\"e)", R"(f"g)"}));
    EXPECT_EQ(posix::SplitWindowsCommandLine(R"("" x)"), (Arguments{"", "x"}));
    EXPECT_TRUE(posix::SplitWindowsCommandLine("").empty());
}

TEST(PosixBackendTest, SettingsFileIsAPlainIniFile) {
    const std::string text =
        "; settings\n[Other]\nData=no\n[global - STRING3]\n  data = C:\\x \nKeep=1\n";
    EXPECT_EQ(posix::IniValue(text, "Global - String3", "Data"), "C:\\x");
    EXPECT_EQ(posix::IniValue(text, "Global - String3", "Missing"), std::nullopt);
    EXPECT_EQ(posix::WithIniValue(text, "Global - String3", "Data", "/games/srend.exe"),
              "; settings\n[Other]\nData=no\n[global - STRING3]\nData=/games/srend.exe\nKeep=1\n");
    EXPECT_EQ(posix::WithIniValue("[Other]\nA=1\n", "Global - String3", "Data", "x"),
              "[Other]\nA=1\n[Global - String3]\nData=x\n");
    EXPECT_EQ(
        posix::WithIniValue("[Global - String3]\nA=1\n[Next]\n", "Global - String3", "Data", "x"),
        "[Global - String3]\nA=1\nData=x\n[Next]\n");
}

// The entry's command, run by a shell as a desktop session would, removes the
// entry and then starts the launcher with its arguments unchanged.
TEST(PosixBackendTest, StartupEntryRunsOnceWithOddPaths) {
    ScratchDir dir;
    const std::string entry = dir / "auto start's.desktop";
    const std::string recorder = dir / "re$corder \"%1\".sh";
    WriteFile(recorder,
              "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"$(dirname \"$0\")/args\"\n");
    fs::permissions(recorder, fs::perms::owner_exec, fs::perm_options::add);
    WriteFile(entry, posix::RunOnceDesktopEntry(entry, {recorder, "/recover"}));

    std::string exec;
    for (std::string line : {ReadFile(entry)}) {
        const auto at = line.find("Exec=");
        ASSERT_NE(at, std::string::npos);
        exec = line.substr(at + 5, line.find('\n', at) - at - 5);
    }
    // Undo the value escapes (\\ and %%), then let the shell undo the quoting.
    std::string command;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        command.push_back(exec[i]);
        if ((exec[i] == '\\' || exec[i] == '%') && i + 1 < exec.size() && exec[i + 1] == exec[i]) {
            ++i;
        }
    }
    ASSERT_EQ(std::system(("eval " + posix::ShellQuote(command)).c_str()), 0) << command;
    EXPECT_EQ(ReadFile(dir.Path() / "args"), "[/recover]\n");
    EXPECT_FALSE(fs::exists(entry));
}

// A descriptor handed on is closed once, by its last holder.
TEST(UniqueFdTest, MovesAndClosesOnce) {
    posix::UniqueFd first(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(first.IsValid());
    const int fd = first.Get();
    posix::UniqueFd second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), fd);
    posix::UniqueFd third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), fd);
    third.Reset();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

}  // namespace
}  // namespace srdw::test
