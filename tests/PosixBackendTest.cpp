// The POSIX backend treats paths as Windows does: backslashes separate, letter
// case does not matter, read-only is respected and moves never replace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "TestSupport.h"
#include "app/LauncherApp.h"
#include "platform/posix/CaseInsensitivePath.h"
#include "platform/posix/IniFile.h"
#include "platform/posix/PosixFiles.h"

namespace srdw::test {
namespace {

TEST(PosixPathTest, ResolvesBackslashesAndLetterCase) {
    ScratchDir dir;
    WriteFile(dir.Path() / "Data/Maps/World Map.map", "world");
    const std::string root = dir.Path().string();
    EXPECT_EQ(posix::LookUpPath(root + "\\DATA\\maps\\world MAP.MAP").path,
              root + "/Data/Maps/World Map.map");
    // What exists in no letter case keeps its spelling from there on.
    EXPECT_EQ(posix::LookUpPath(root + "\\data\\New\\File.TXT").path, root + "/Data/New/File.TXT");
    EXPECT_EQ(posix::LookUpPath("relative\\x").path, "relative/x");

    InDirectory inside(dir.Path());
    EXPECT_EQ(posix::LookUpPath("data\\MAPS").path, "Data/Maps");
    EXPECT_TRUE(NativeFileSystem().Attributes("DATA\\MAPS\\WORLD MAP.MAP"));
    EXPECT_TRUE(NativeFileSystem().ChangeDirectory("DATA\\maps"));
    EXPECT_EQ(fs::current_path(), dir.Path() / "Data/Maps");
}

TEST(PosixPathTest, MovesNeverReplaceInAnyLetterCase) {
    ScratchDir dir;
    WriteFile(dir.Path() / "a.txt", "a");
    WriteFile(dir.Path() / "B.txt", "b");
    EXPECT_EQ(NativeFileSystem().MoveNoReplace(dir / "A.TXT", dir / "b.TXT").error,
              OsError::AlreadyExists);
    EXPECT_EQ(NativeFileSystem().MoveNoReplace(dir / "missing", dir / "c.txt").error,
              OsError::NotFound);
    EXPECT_TRUE(NativeFileSystem().MoveNoReplace(dir / "A.TXT", dir / "New.txt"));
    EXPECT_EQ(ReadFile(dir.Path() / "New.txt"), "a");
    EXPECT_EQ(ReadFile(dir.Path() / "B.txt"), "b");
    // A folder named through a last "." keeps it as its stored name, and moves.
    fs::create_directories(dir.Path() / "Data" / "Maps");
    const std::vector<std::string> folder{dir / "Data\\Maps\\.", dir / "Data\\Maps Off"};
    const auto states = NativeFileSystem().LookUp(folder);
    EXPECT_EQ(states[0].stored, folder[0]);
    EXPECT_TRUE(NativeFileSystem().MoveLookedUp(states[0], states[1]));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "Data" / "Maps Off"));
}

// A call put into the table is the one the backend makes: the trials' faults
// meet the shipped code there.
int RefuseWithNoSpace(int, const char*, int, const char*, unsigned) {
    errno = ENOSPC;
    return -1;
}

// A disk that takes no byte of a write and names no error.
ssize_t WriteNothing(int, const void*, std::size_t) {
    return 0;
}

TEST(PosixPathTest, SystemCallsGoThroughTheTable) {
    ScratchDir dir;
    WriteFile(dir.Path() / "a.txt", "a");
    ASSERT_TRUE(SetSystemCall("renameat2", Erased(&RefuseWithNoSpace)));
    EXPECT_EQ(NativeFileSystem().MoveNoReplace(dir / "a.txt", dir / "b.txt").error,
              OsError::DiskFull);
    const std::vector<std::string> paths = {dir / "a.txt", dir / "c.txt"};
    const auto states = NativeFileSystem().LookUp(paths);
    EXPECT_EQ(NativeFileSystem().MoveLookedUp(states[0], states[1]).error, OsError::DiskFull);
    SetSystemCall("renameat2", nullptr);
    EXPECT_TRUE(NativeFileSystem().MoveNoReplace(dir / "a.txt", dir / "b.txt"));
    const auto file = NativeFileSystem().CreateOutputFile(dir / "c.txt", nullptr);
    ASSERT_TRUE(SetSystemCall("write", Erased(&WriteNothing)));
    EXPECT_EQ(file->Write("c").error, OsError::DiskFull);  // an error, not a wait for ever
    SetSystemCall("write", nullptr);
    EXPECT_FALSE(SetSystemCall("no such call", nullptr));
}

// Where RENAME_NOREPLACE is unknown a move links and unlinks: an unlink that
// fails leaves the file under both names, and a look-up finds both.
int RefuseAsUnknown(int, const char*, int, const char*, unsigned) {
    errno = EINVAL;
    return -1;
}
int RefuseAsBusy(const char*) {
    errno = EBUSY;
    return -1;
}

int RefuseOnceAsBusy(const char* path) {
    static bool refused = false;
    if (!std::exchange(refused, true)) {
        errno = EBUSY;
        return -1;
    }
    return std::remove(path);  // unlink, for a file
}

TEST(PosixPathTest, AMoveWhoseUnlinkFailsLeavesBothNamesFound) {
    ScratchDir dir;
    WriteFile(dir.Path() / "a.txt", "a");
    EXPECT_EQ(posix::LookUpPath(dir / "B.TXT").path, dir / "B.TXT");  // the listing is kept now
    ASSERT_TRUE(SetSystemCall("renameat2", Erased(&RefuseAsUnknown)));
    ASSERT_TRUE(SetSystemCall("unlink", Erased(&RefuseAsBusy)));
    EXPECT_EQ(NativeFileSystem().MoveNoReplace(dir / "a.txt", dir / "b.txt").error,
              OsError::SharingViolation);
    SetSystemCall("renameat2", nullptr);
    SetSystemCall("unlink", nullptr);
    EXPECT_EQ(posix::LookUpPath(dir / "B.TXT").path, dir / "b.txt");
    EXPECT_EQ(posix::LookUpPath(dir / "A.TXT").path, dir / "a.txt");

    // Where the new name can go again, the failed move leaves the file as it was.
    WriteFile(dir.Path() / "c.txt", "c");
    ASSERT_TRUE(SetSystemCall("renameat2", Erased(&RefuseAsUnknown)));
    ASSERT_TRUE(SetSystemCall("unlink", Erased(&RefuseOnceAsBusy)));
    EXPECT_EQ(NativeFileSystem().MoveNoReplace(dir / "c.txt", dir / "d.txt").error,
              OsError::SharingViolation);
    SetSystemCall("renameat2", nullptr);
    SetSystemCall("unlink", nullptr);
    EXPECT_TRUE(fs::exists(dir.Path() / "c.txt"));
    EXPECT_FALSE(fs::exists(dir.Path() / "d.txt"));
}

TEST(PosixPathTest, ReadOnlyIsTheMissingOwnerWriteBit) {
    ScratchDir dir;
    WriteFile(dir.Path() / "f", "x");
    MakeReadOnly(dir.Path() / "f");
    const auto attributes = NativeFileSystem().Attributes(dir / "F");
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes->readOnly);
    // Even for root, as the launcher's tests run: a read-only file is neither
    // deleted nor overwritten.
    EXPECT_EQ(NativeFileSystem().RemoveFile(dir / "f").error, OsError::AccessDenied);
    EXPECT_EQ(NativeFileSystem().CreateOutputFile(dir / "f"), nullptr);
    EXPECT_TRUE(NativeFileSystem().SetNormalAttributes(dir / "f"));
    EXPECT_FALSE(IsReadOnly(dir.Path() / "f"));
    EXPECT_TRUE(NativeFileSystem().RestoreAttributes(dir / "f", *attributes));
    EXPECT_TRUE(IsReadOnly(dir.Path() / "f"));

    // Putting attributes back sets the owner's write bit alone, whatever else
    // they say, and never through a link.
    fs::permissions(dir.Path() / "f", fs::perms::owner_read | fs::perms::group_read);
    FileAttributes hostile;
    hostile.bits = 04777;
    EXPECT_TRUE(NativeFileSystem().RestoreAttributes(dir / "f", hostile));
    EXPECT_EQ(fs::status(dir.Path() / "f").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(dir.Path() / "f", dir.Path() / "link");
    hostile.readOnly = true;
    EXPECT_EQ(NativeFileSystem().RestoreAttributes(dir / "link", hostile).error,
              OsError::AccessDenied);
    EXPECT_FALSE(IsReadOnly(dir.Path() / "f"));
    // A rename keeps a file's identity; another file has another.
    const auto before = NativeFileSystem().LookUp(std::vector<std::string>{dir / "f"});
    ASSERT_TRUE(NativeFileSystem().MoveNoReplace(dir / "f", dir / "g"));
    WriteFile(dir.Path() / "f", "y");
    const auto after = NativeFileSystem().LookUp(std::vector<std::string>{dir / "g", dir / "f"});
    ASSERT_TRUE(before[0].attributes && after[0].attributes && after[1].attributes);
    EXPECT_TRUE(before[0].attributes->identity.known);
    EXPECT_EQ(after[0].attributes->identity, before[0].attributes->identity);
    EXPECT_NE(after[1].attributes->identity, before[0].attributes->identity);
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

    // As Windows reads it (held against it under Wine by SettingsFileTest): a
    // byte-order mark, CR alone, the first section, quotes, text after "]".
    const std::string odd =
        "\xEF\xBB\xBF[Global - String3] ; game\r\"Data\"=no\rData=\"C:\\a b.exe\"\r"
        "[Global - String3]\rData=second\rOther=2\r";
    EXPECT_EQ(posix::IniValue(odd, "Global - String3", "Data"), "C:\\a b.exe");
    EXPECT_EQ(posix::IniValue(odd, "Global - String3", "Other"), std::nullopt);
    EXPECT_EQ(posix::WithIniValue(odd, "Global - String3", "Other", "1"),
              "\xEF\xBB\xBF[Global - String3] ; game\r\"Data\"=no\rData=\"C:\\a b.exe\"\rOther=1\r"
              "[Global - String3]\rData=second\rOther=2\r");
}

// An environment variable set, or unset, for as long as it lives.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { saved_ ? ::setenv(name_, saved_->c_str(), 1) : ::unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

// WINDIR in another letter case than its folder names that folder, as on Windows.
TEST(PosixBackendTest, SettingsGoToWindirInAnyLetterCase) {
    ScratchDir dir;
    fs::create_directory(dir.Path() / "wine");
    const ScopedVariable windir("WINDIR", (dir.Path() / "Wine").c_str());
    const OsResult written = NativeRecords().WriteProfileString("S.ini", "G", "Data", "x");
    const std::string read = NativeRecords().ReadProfileString("S.ini", "G", "Data");
    ASSERT_TRUE(written);
    EXPECT_EQ(read, "x");
    EXPECT_TRUE(fs::exists(dir.Path() / "wine/S.ini"));
    EXPECT_FALSE(fs::exists(dir.Path() / "Wine"));
}

// Text as one word of a POSIX shell.
std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The Exec value's arguments as the Desktop Entry rules read them: the string
// escapes first, then the quoting ('"', '`', '$' and '\' escaped inside double
// quotes), and "%%" for "%".
std::vector<std::string> ExecArguments(const std::string& value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char next = value[i] == '\\' && i + 1 < value.size() ? value[++i] : '\0';
        const char* escaped = next ? std::strchr("s n\nt\tr\r", next) : nullptr;
        text.push_back(escaped && escaped[1] ? escaped[1] : next ? next : value[i]);
    }
    std::vector<std::string> arguments;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == ' ' && !quoted) {
            continue;
        }
        if (i == 0 || (text[i - 1] == ' ' && !quoted && c != ' ')) {
            arguments.emplace_back();
        }
        if (c == '"') {
            quoted = !quoted;
        } else if ((quoted && c == '\\' && next && std::strchr("\"`$\\", next)) ||
                   (c == '%' && next == '%')) {
            arguments.back().push_back(text[++i]);
        } else {
            arguments.back().push_back(c);
        }
    }
    return arguments;
}

// The start-up entry of a launcher in an oddly named folder is valid for
// desktop-file-validate (desktop-file-utils), and its Exec line, read back by
// those rules and run, removes the entry and starts the launcher with "/recover".
TEST(PosixBackendTest, StartupEntryRunsOnceWithOddPaths) {
    ScratchDir dir;
    const std::string folder = dir / "it's \"odd\" $HOME `id` 100% \\n\n\r\tend\r";
    WriteFile(folder + "/SrdwLaunch",
              "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"$(dirname \"$0\")/args\"\n");
    fs::permissions(folder + "/SrdwLaunch", fs::perms::owner_exec, fs::perm_options::add);
    TestPlatform platform;
    platform.ownPath = folder + "/SrdwLaunch";

    OsResult written;
    {
        const ScopedVariable configHome("XDG_CONFIG_HOME", dir.Path().c_str());
        written = NativeRecords().WriteStartupEntry("SrdwLaunch", RecoveryCommand(platform));
    }
    ASSERT_TRUE(written);

    const std::string entryPath = dir.Path() / "autostart/SrdwLaunch.desktop";
    const std::string validate = "desktop-file-validate " + ShellQuote(entryPath) + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> validator(::popen(validate.c_str(), "r"), ::pclose);
    ASSERT_TRUE(validator);
    std::string findings;
    for (int c; (c = std::fgetc(validator.get())) != EOF;) {
        findings.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(::pclose(validator.release()), 0) << findings << "(desktop-file-utils is needed)";
    EXPECT_EQ(findings, "");

    const std::string entry = ReadFile(entryPath);
    const auto at = entry.find("\nExec=") + 6;
    std::string command;
    for (const std::string& argument : ExecArguments(entry.substr(at, entry.find('\n', at) - at))) {
        command += ShellQuote(argument) + " ";
    }
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(ReadFile(folder + "/args"), "[/recover]\n");
    EXPECT_FALSE(fs::exists(entryPath));

    // A control character without an escape cannot be written: such a path is
    // refused before anything is written.
    EXPECT_EQ(posix::ShownInDesktopEntry(folder), folder);
    EXPECT_EQ(posix::ShownInDesktopEntry("/games/a\x7f"
                                         "b\x01/SrdwLaunch"),
              "/games/a?b?/SrdwLaunch");
}

// Started without HOME (by a service, say), the launcher keeps its entry in
// the user's home as the system has it, not below the root folder.
TEST(PosixBackendTest, WithoutHomeTheEntryIsInTheUsersHome) {
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const ScopedVariable home("HOME", nullptr);
    const ScopedVariable configHome("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(NativeRecords().StartupEntryFile("SrdwLaunch"),
              std::string(user->pw_dir) + "/.config/autostart/SrdwLaunch.desktop");
}

// The folder's own lock: seen by any other process that locks the folder,
// taken once for two spellings of it, no file, and let go for a successor.
TEST(PosixBackendTest, TheFoldersLockIsHeldUntilHandedOver) {
    ScratchDir dir;
    const auto heldElsewhere = [&] {
        const posix::UniqueFd other(::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY));
        return ::flock(other.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    };
    EXPECT_EQ(NativeLauncherProcess().LockFolder(dir.Path().string()), MutexState::Acquired);
    EXPECT_EQ(NativeLauncherProcess().LockFolder(dir.Path().string() + "/."), MutexState::Acquired);
    EXPECT_TRUE(heldElsewhere());
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    NativeLauncherProcess().ReleaseMutex("Skyrend 2 - Duskwarden");
    EXPECT_FALSE(heldElsewhere());
}

// A descriptor handed on is closed once, by its last holder.
TEST(UniqueFdTest, MovesAndClosesOnce) {
    posix::UniqueFd first(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(first.IsValid());
    const int fd = first.Get();
    posix::UniqueFd second(std::move(first));
    // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is under test
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), fd);
    posix::UniqueFd third(std::move(second));
    EXPECT_EQ(third.Get(), fd);
    third.Reset();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

}  // namespace
}  // namespace srdw::test
