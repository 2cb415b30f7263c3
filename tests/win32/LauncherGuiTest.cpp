// The built SrdwLaunch.exe, run in fresh game folders beside the stand-in game and
// worked through its windows: the launch cycle, recovery after the launcher was
// killed, the questions and messages it shows, the game chooser, the second
// launcher, the running game, and the splash.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "GuiTestSupport.h"
#include "WidePaths.h"
#include "WindowDriver.h"
#include "platform/win32/ScopedHandle.h"

namespace srdw::gui {
namespace {

constexpr char kTitle[] = "Skyrend 2: Duskwarden";
constexpr char kGameNotFound[] =
    "ERROR: Cannot find Skyrend 2!\nPlease specify the Path to SREND.EXE in the following Dialog.";
constexpr char kScriptNotLoaded[] = "ERROR: Failed to load script!";
constexpr char kGameRunning[] = "Skyrend 2 is already running.";
constexpr char kReinstallQuestion[] =
    "Warning: It seems that the MOD is still installed, but it could not be restored. Do you "
    "want to re-install it?";
constexpr char kLauncherWaiting[] =
    "The launcher is already running.\nLook for its window, or let it finish: when Skyrend 2 ends, "
    "it puts the game's files back.";
constexpr char kRecoveredByHand[] =
    "The game's files were put back.\nThe launcher's last run ended with the MOD still in place "
    "(the computer crashed, the launcher was ended, or a file was in the way), so this start "
    "only put every file back, and the game did not start.\n\nStart the launcher again to play.";
constexpr int kSplashPicture = 130;

// The mod: a file swap with a read-only file, then a change of directory and a
// chain of two renames, names with blanks throughout.
constexpr char kScript[] =
    "// Duskwarden: the sky box and the old map\r\n"
    "RenameEx(\"@rootdir\\Data\\Sky Box.pak\", \"@rootdir\\Data\\Sky Box.dw\", "
    "\"@rootdir\\Data\\Sky Box.bak\");\r\n"
    "SetDirectory(Maps)\r\n"
    "Rename(\"Old Map.map\", \"Old Map.off\");   // the old map goes aside\r\n"
    "Rename(\"Dusk Map.dw\", \"Old Map.map\");\r\n";

// The game's files as the game sees them, without and with the mod.
const std::vector<std::string> kPlainGame = {
    "Data\\Sky Box.dw|8|R|dusk sky", "Data\\Sky Box.pak|8|-|game sky",
    "Maps\\Dusk Map.dw|8|-|dusk map", "Maps\\Old Map.map|7|-|old map",
    "Readme.txt|14|-|Skyrend 2 v1.1"};
const std::vector<std::string> kModdedGame = {
    "Data\\Sky Box.bak|8|-|game sky", "Data\\Sky Box.pak|8|R|dusk sky",
    "Maps\\Old Map.map|8|-|dusk map", "Maps\\Old Map.off|7|-|old map",
    "Readme.txt|14|-|Skyrend 2 v1.1"};

// Left out of folder comparisons: what the stand-in game writes, and the logs
// and the undo journal, which are looked at on their own.
const std::vector<std::string> kRunFiles = {
    "game-run.txt",  "game-run.txt.partial",  "game-started",     "game-started.partial",
    "release-game",  "SrdwLaunch.log",        "SrdwLaunch.log.1", "restore.jnl",
    "start-request", "start-request.partial", "SrdwLaunch.lock"};

// ---- the log the launcher should write ------------------------------------------

const std::string kRule = "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";
const std::string kHeader = "Skyrend II: Duskwarden\nLog started: <time>\n" + kRule + "\n";
const std::string kFooter = "\n" + kRule + "\nLog finished: <time>\n";
const std::string kRecoverSwitch = "found '/recover' switch, restoring MOD...\n";

std::string Loading(const std::string& script) {
    return "Loading script: " + script + "\n";
}

std::string Parsed(const std::string& source, const std::string& expanded) {
    return "- Parsing path: '" + source + "' -> '" + expanded + "'\n";
}

std::string SkyBoxCommand(const std::string& root) {
    std::string text = "Executing 'RenameEx()'\n";
    for (const char* extension : {"pak", "dw", "bak"}) {
        const std::string name = std::string("\\Data\\Sky Box.") + extension;
        text += Parsed("\"@rootdir" + name + "\"", root + name);
    }
    return text;
}

std::string RenameCommand(const std::string& from, const std::string& to) {
    return "Executing 'Rename()'\n" + Parsed('"' + from + '"', from) + Parsed('"' + to + '"', to);
}

const std::string kToMaps = "Executing 'SetDirectoty()'\n" + Parsed("Maps", "Maps");

std::string Install(const std::string& root) {
    return "\nInstalling script...\n" + SkyBoxCommand(root) + "Swapping files...succeeded!\n" +
           kToMaps + RenameCommand("Old Map.map", "Old Map.off") +
           RenameCommand("Dusk Map.dw", "Old Map.map");
}

std::string Restore(const std::string& root) {
    return "\nRestoring script...\n" + RenameCommand("Dusk Map.dw", "Old Map.map") +
           RenameCommand("Old Map.map", "Old Map.off") + kToMaps + SkyBoxCommand(root) +
           "Unswapping files...succeeded!\n";
}

std::string GameStart(const std::string& program, const std::string& command,
                      const std::string& folder) {
    return "\nExecuting 'ShellExecuteEx()'\n > App: " + program + "\n > Command: " + command +
           "\n > Path: " + folder + "\n";
}

// The report's lines for the game's own data files.
std::vector<std::string> GameFiles(const GameReport& report) {
    std::vector<std::string> files;
    for (const std::string& line : report.files) {
        if (line.rfind("Data\\", 0) == 0 || line.rfind("Maps\\", 0) == 0 ||
            line.rfind("Readme.txt|", 0) == 0) {
            files.push_back(line);
        }
    }
    return files;
}

// ---- the fixture ------------------------------------------------------------------

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(UseTestDesktop());
        work_ = NewWorkFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        root_ = work_ + "\\Skyrend 2";
        RemoveStartupEntry();
    }

    void TearDown() override {
        RemoveStartupEntry();
        if (HasFailure()) {
            std::printf("the test's files are kept in %s\n", work_.c_str());
        } else {
            RemoveTree(work_);
        }
    }

    // ---- game folders

    static void PutLauncher(const std::string& folder) {
        CopyInto(LauncherProgram(), folder + "\\SrdwLaunch.exe");
    }
    static void PutGame(const std::string& folder, const std::string& name = "srend.exe") {
        CopyInto(StandInProgram(), folder + "\\" + name);
    }
    static void PutScript(const std::string& folder, const std::string& name = "SrdwLaunch.dat") {
        WriteBytes(folder + "\\" + name, kScript);
    }
    static void PutGameFiles(const std::string& folder) {
        WriteBytes(folder + "\\Data\\Sky Box.pak", "game sky");
        WriteBytes(folder + "\\Data\\Sky Box.dw", "dusk sky", true);
        WriteBytes(folder + "\\Maps\\Old Map.map", "old map");
        WriteBytes(folder + "\\Maps\\Dusk Map.dw", "dusk map");
        WriteBytes(folder + "\\Readme.txt", "Skyrend 2 v1.1");
    }
    // The launcher beside the game, with its script.
    void MakeGameFolder() const {
        PutLauncher(root_);
        PutGame(root_);
        PutScript(root_);
        PutGameFiles(root_);
    }

    static Snapshot Folder(const std::string& folder) { return TakeSnapshot(folder, kRunFiles); }
    Snapshot Folder() const { return Folder(root_); }

    // The game folder of `before` with the mod installed and the marker written.
    static Snapshot Installed(Snapshot files, const std::string& script) {
        const Entry gameSky = files.at("Data\\Sky Box.pak");
        const Entry duskSky = files.at("Data\\Sky Box.dw");
        const Entry oldMap = files.at("Maps\\Old Map.map");
        const Entry duskMap = files.at("Maps\\Dusk Map.dw");
        files.erase("Data\\Sky Box.dw");
        files.erase("Maps\\Dusk Map.dw");
        files["Data\\Sky Box.pak"] = duskSky;
        files["Data\\Sky Box.bak"] = gameSky;
        files["Maps\\Old Map.map"] = duskMap;
        files["Maps\\Old Map.off"] = oldMap;
        files["restore.mod"] = Entry{false, false, script};
        return files;
    }

    static std::string Marker(const std::string& folder) { return folder + "\\restore.mod"; }
    std::string Marker() const { return Marker(root_); }

    // ---- the launcher

    // Starts the launcher in `folder` with `tail` after its quoted path, from
    // another working directory than its own.
    std::unique_ptr<ChildProcess> StartLauncher(const std::string& tail,
                                                const std::string& folder) const {
        const std::string program = folder + "\\SrdwLaunch.exe";
        return std::make_unique<ChildProcess>(program, '"' + program + '"' + tail, work_);
    }
    std::unique_ptr<ChildProcess> StartLauncher(const std::string& tail = "") const {
        return StartLauncher(tail, root_);
    }

    // Waits for the launcher's end; one that does not end in time is killed.
    static ::testing::AssertionResult Ends(ChildProcess& launcher, DWORD timeout = kPatience) {
        if (!launcher.Started()) {
            return ::testing::AssertionFailure() << "the launcher did not start";
        }
        if (const auto code = launcher.WaitForExit(timeout)) {
            if (*code != 0) {
                return ::testing::AssertionFailure() << "the launcher ended with " << *code;
            }
            return ::testing::AssertionSuccess();
        }
        const std::string windows = DescribeWindows(launcher.Id());
        launcher.Kill();
        return ::testing::AssertionFailure()
               << "the launcher still ran after " << timeout << " ms; its windows:\n"
               << windows;
    }

    // The launcher's log, readable; line ends and time stamps are checked here.
    static std::string Log(const std::string& folder) {
        const auto bytes = ReadBytes(folder + "\\SrdwLaunch.log");
        if (!bytes) {
            ADD_FAILURE() << "no log in " << folder;
            return {};
        }
        std::string problems;
        std::string text = ReadableLog(*bytes, problems);
        EXPECT_EQ(problems, "") << text;
        return text;
    }
    std::string Log() const { return Log(root_); }

    static std::optional<MessageBoxView> ExpectMessageBox(const ChildProcess& launcher) {
        auto box = WaitForMessageBox(launcher.Id());
        if (!box) {
            ADD_FAILURE() << "no message box came; the launcher "
                          << (launcher.Running() ? "runs" : "has ended") << ", its windows:\n"
                          << DescribeWindows(launcher.Id());
        }
        return box;
    }

    // Expects a message box of the launcher's whose text holds `text`, with
    // these buttons, and presses `button`; the box's text, or nothing.
    static std::optional<std::string> AnswerBox(const ChildProcess& launcher,
                                                const std::string& text,
                                                const std::vector<int>& buttons, int button) {
        const auto box = ExpectMessageBox(launcher);
        if (!box) {
            return std::nullopt;
        }
        EXPECT_EQ(box->caption, kTitle);
        EXPECT_NE(box->text.find(text), std::string::npos) << box->text;
        EXPECT_EQ(box->buttons, buttons);
        EXPECT_TRUE(PressButton(box->window, button));
        return box->text;
    }

    // Answers the message that the game is not found; the chooser that follows.
    static HWND ChooserAfterGameNotFound(const ChildProcess& launcher) {
        const auto box = ExpectMessageBox(launcher);
        if (!box) {
            return nullptr;
        }
        EXPECT_EQ(box->text, kGameNotFound);
        EXPECT_TRUE(PressButton(box->window, IDOK));
        HWND chooser = WaitForOpenDialog(launcher.Id());
        EXPECT_NE(chooser, nullptr) << DescribeWindows(launcher.Id());
        return chooser;
    }

    std::string work_;  // the test's own folder
    std::string root_;  // the game folder in it
};

// A run cut off while the game runs: the launcher is killed, then the game ends.
class InterruptedRunTest : public LauncherTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LauncherTest::SetUp());
        MakeGameFolder();
        before_ = Folder();

        ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
        HeldGame game(root_);
        auto launcher = StartLauncher();
        ASSERT_TRUE(game.WaitStarted(kPatience)) << DescribeWindows(launcher->Id());
        entry_ = StartupEntry().value_or("(none)");
        launcher->Kill();
        ASSERT_FALSE(launcher->Running());
        ASSERT_TRUE(game.Release(kPatience));

        // The mod stays installed, with the records that undo it.
        const std::string script = root_ + "\\SrdwLaunch.dat";
        ASSERT_EQ(Folder(), Installed(before_, script));
        EXPECT_TRUE(Exists(Journal()));
        EXPECT_EQ(entry_, RecoveryCommandFor(root_ + "\\SrdwLaunch.exe"));
        EXPECT_EQ(StartupEntry(), entry_);
        // The log has what was done before the game started, and no footer.
        EXPECT_EQ(Log(), kHeader + Loading(script) + Install(root_) +
                             GameStart(root_ + "\\srend.exe", "", root_));
        for (const char* name : {"\\game-run.txt", "\\game-started", "\\release-game"}) {
            RemoveTree(root_ + name);
        }
    }

    // After a recovery the folder is as it was before the interrupted run.
    void ExpectRestored() const {
        EXPECT_EQ(Folder(), before_);
        EXPECT_FALSE(Exists(Marker()));
        EXPECT_FALSE(Exists(Journal()));
        EXPECT_EQ(StartupEntry(), std::nullopt) << "the restore leaves nothing for the next log-in";
        EXPECT_FALSE(Exists(root_ + "\\game-run.txt")) << "a recovery must not start the game";
    }

    // The launcher with the start-up entry's command, as the system runs it at the
    // next log-in (from its own working directory).
    std::string Journal() const { return root_ + "\\restore.jnl"; }

    std::unique_ptr<ChildProcess> StartAsAtLogIn() const {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, sizeof windows);
        return std::make_unique<ChildProcess>("", entry_, windows);
    }

    Snapshot before_;
    std::string entry_;
};

// ---- the launch cycle ---------------------------------------------------------------

TEST_F(LauncherTest, InstallsTheModPlaysAndRestoresEverything) {
    MakeGameFolder();
    const Snapshot before = Folder();
    const std::string script = root_ + "\\SrdwLaunch.dat";
    const std::string recovery = RecoveryCommandFor(root_ + "\\SrdwLaunch.exe");

    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    auto launcher = StartLauncher("  -Window /EDIT -Debug \t");
    ASSERT_TRUE(game.WaitStarted(kPatience)) << DescribeWindows(launcher->Id());

    // While the game runs: the mod is in place, and so are the marker and the
    // start-up entry that would undo it after a crash.
    EXPECT_EQ(Folder(), Installed(before, script));
    EXPECT_EQ(ReadBytes(Marker()), script);
    EXPECT_EQ(StartupEntry(), recovery);

    ASSERT_TRUE(game.Release(kPatience));
    ASSERT_TRUE(Ends(*launcher));

    const auto report = ReadGameReport(root_);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->Value("program"), root_ + "\\srend.exe");
    EXPECT_EQ(report->Value("arguments"), "-window  -debug");
    const std::string commandLine = report->Value("command line");
    EXPECT_TRUE(commandLine.ends_with("srend.exe\" -window  -debug") ||
                commandLine.ends_with("srend.exe -window  -debug"))
        << commandLine;
    EXPECT_EQ(report->Value("directory"), root_);
    EXPECT_EQ(report->Value("marker"), "yes");
    EXPECT_EQ(report->Value("startup entry"), recovery);
    EXPECT_EQ(GameFiles(*report), kModdedGame);

    EXPECT_EQ(Folder(), before);
    EXPECT_FALSE(Exists(Marker()));
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(Log(), kHeader + Loading(script) + Install(root_) +
                         GameStart(root_ + "\\srend.exe", "-window  -debug", root_) +
                         Restore(root_) + kFooter);
}

TEST_F(LauncherTest, TakesDwsrDatWhenItsOwnScriptIsMissing) {
    PutLauncher(root_);
    PutGame(root_);
    PutScript(root_, "DWSR.dat");
    PutGameFiles(root_);
    const Snapshot before = Folder();

    auto launcher = StartLauncher();
    ASSERT_TRUE(Ends(*launcher));

    const auto report = ReadGameReport(root_);
    ASSERT_TRUE(report);
    EXPECT_EQ(GameFiles(*report), kModdedGame);
    EXPECT_EQ(report->Value("arguments"), "");
    EXPECT_EQ(Folder(), before);
    EXPECT_EQ(Log(), kHeader + Loading(root_ + "\\DWSR.dat") + Install(root_) +
                         GameStart(root_ + "\\srend.exe", "", root_) + Restore(root_) + kFooter);
}

// ---- a game that hands over to another process -----------------------------------

const std::string kHandedOver =
    " > the game went on in another process; waiting for its window to close\n";
const std::string kGrace =
    " > the game ended without showing its window; waiting up to 15 s for it to open\n";

class HandOverTest : public LauncherTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LauncherTest::SetUp());
        MakeGameFolder();
        before_ = Folder();
    }

    // While the game holds, well after the stub has ended: the launcher waits,
    // and the game sees the mod.
    void ExpectPlayingWithTheMod(ChildProcess& launcher) const {
        Sleep(1500);
        EXPECT_TRUE(launcher.Running());
        EXPECT_EQ(Folder(), Installed(before_, root_ + "\\SrdwLaunch.dat"));
        const auto report = ReadGameReport(root_);
        ASSERT_TRUE(report);
        EXPECT_EQ(GameFiles(*report), kModdedGame);
    }

    // The game ended: the launcher has put everything back.
    void ExpectRestoredAfter(HeldGame& game, ChildProcess& launcher) const {
        ASSERT_TRUE(game.Release(kPatience));
        ASSERT_TRUE(Ends(launcher));
        EXPECT_EQ(Folder(), before_);
        EXPECT_FALSE(Exists(Marker()));
        EXPECT_EQ(StartupEntry(), std::nullopt);
    }

    Snapshot before_;
};

// The stub starts the game as its child and ends: the child is in the launcher's
// job, so the launcher waits for it as for the game itself.
TEST_F(HandOverTest, TheLauncherWaitsForTheChildTheGameStarted) {
    ScopedEnvironment handover("SRDW_STANDIN_HANDOVER", "child");
    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    auto launcher = StartLauncher();
    ASSERT_TRUE(game.WaitStarted(kPatience)) << DescribeWindows(launcher->Id());
    ExpectPlayingWithTheMod(*launcher);
    ExpectRestoredAfter(game, *launcher);
    const std::string log = Log();
    EXPECT_EQ(log.find(kHandedOver), std::string::npos) << "the job, not the window, waited";
    EXPECT_NE(log.find(GameStart(root_ + "\\srend.exe", "", root_) + Restore(root_)),
              std::string::npos)
        << log;
}

// The stub asks the store's client, which runs outside the launcher, to start
// the game, and ends; the client starts it anew two seconds later.
TEST_F(HandOverTest, TheLauncherWaitsForAGameTheStoresClientStarted) {
    auto launcher = [&] {
        ScopedEnvironment handover("SRDW_STANDIN_HANDOVER", "client");
        return StartLauncher();
    }();
    const std::string request = root_ + "\\start-request";
    ASSERT_TRUE(WaitUntil([&] { return Exists(request); }, kPatience));
    Sleep(2000);
    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    ChildProcess client(root_ + "\\srend.exe", "\"" + root_ + "\\srend.exe\"", root_);
    ASSERT_TRUE(game.WaitStarted(kPatience));
    ExpectPlayingWithTheMod(*launcher);
    ExpectRestoredAfter(game, *launcher);
    EXPECT_NE(Log().find(GameStart(root_ + "\\srend.exe", "", root_) + kGrace + kHandedOver +
                         Restore(root_)),
              std::string::npos)
        << Log();
}

// The game never shows its window and ends, leaving a helper in the job: the
// helper gets the grace time, then everything is put back while it runs on,
// and the log names it.
TEST_F(HandOverTest, AHelperLeftWithoutTheGamesWindowGetsTheGraceTime) {
    ScopedEnvironment handover("SRDW_STANDIN_HANDOVER", "helper");
    HeldGame helper(root_);
    auto launcher = StartLauncher();
    ASSERT_TRUE(helper.WaitStarted(kPatience)) << DescribeWindows(launcher->Id());
    const auto started = ReadBytes(root_ + "\\game-started");
    ASSERT_TRUE(started);
    const std::string id = started->substr(0, started->find('\r'));
    ExpectPlayingWithTheMod(*launcher);
    ASSERT_TRUE(Ends(*launcher, kPatience + 15000));
    EXPECT_EQ(Folder(), before_);
    EXPECT_FALSE(Exists(Marker()));
    EXPECT_NE(Log().find(GameStart(root_ + "\\srend.exe", "", root_) +
                         " > the game has ended; not waiting for the other programs it "
                         "started\n > still running: srend.exe (process " +
                         id + ")\n" + Restore(root_)),
              std::string::npos)
        << Log();
    ASSERT_TRUE(helper.Release(kPatience));
}

// A game that crashes at start, before its window, hands nothing over: the
// restore runs at once, without the grace time.
TEST_F(HandOverTest, AGameThatCrashesAtStartIsRestoredAtOnce) {
    ScopedEnvironment crash("SRDW_STANDIN_CRASH", "1");
    auto launcher = StartLauncher();
    ASSERT_TRUE(Ends(*launcher));
    EXPECT_EQ(Folder(), before_);
    EXPECT_FALSE(Exists(Marker()));
    EXPECT_NE(Log().find(GameStart(root_ + "\\srend.exe", "", root_) +
                         " > the game crashed without showing its window; not waiting for it\n" +
                         Restore(root_)),
              std::string::npos)
        << Log();
}

// ---- recovery -------------------------------------------------------------------------

TEST_F(InterruptedRunTest, TheNextStartRestoresByTheMarker) {
    auto launcher = StartLauncher();
    // Started by hand, the launcher says what it did and why the game did not start.
    ASSERT_TRUE(AnswerBox(*launcher, kRecoveredByHand, {IDOK}, IDOK));
    ASSERT_TRUE(Ends(*launcher));
    ExpectRestored();
    EXPECT_EQ(Log(), kHeader + Loading(root_ + "\\SrdwLaunch.dat") + kRecoverSwitch +
                         Restore(root_) + kFooter);
    // The crashed run's log is kept beside it: the only record of what it did.
    std::string problems;
    const std::string crashed =
        ReadableLog(ReadBytes(root_ + "\\SrdwLaunch.log.1").value_or(""), problems);
    EXPECT_TRUE(crashed.starts_with(kHeader + Loading(root_ + "\\SrdwLaunch.dat") + Install(root_)))
        << crashed;
    // Should the start-up entry's command run all the same, it changes nothing.
    auto atLogIn = StartAsAtLogIn();
    ASSERT_TRUE(Ends(*atLogIn));
    ExpectRestored();
}

TEST_F(InterruptedRunTest, TheStartupEntryRestores) {
    auto atLogIn = StartAsAtLogIn();
    ASSERT_TRUE(Ends(*atLogIn));
    ExpectRestored();
    // Started by its short path, the launcher may see its folder by that path too.
    const std::string log = Log();
    EXPECT_TRUE(log.starts_with(kHeader + Loading(root_ + "\\SrdwLaunch.dat") + kRecoverSwitch +
                                "\nRestoring script...\n"))
        << log;
    EXPECT_TRUE(log.ends_with("Unswapping files...succeeded!\n" + kFooter)) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;
}

// The mod's file unpacked again stands in the way of the undo: the recovery
// says so and offers the game without the mod; its records stay for the next
// start, and so does the crashed run's log.
TEST_F(InterruptedRunTest, AStuckRecoveryIsToldAndTheNextStartFinishes) {
    const auto crashedLog = ReadBytes(root_ + "\\SrdwLaunch.log");
    WriteBytes(root_ + "\\Data\\Sky Box.dw", "unpacked again");
    RemoveStartupEntry();  // used up as the system ran it
    for (const int button : {IDNO, IDYES}) {
        auto atLogIn = StartAsAtLogIn();
        const auto box = ExpectMessageBox(*atLogIn);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, kTitle);
        EXPECT_NE(box->text.find("Files still out of place: 2\nThe log says which: " + root_ +
                                 "\\SrdwLaunch.log\n"),
                  std::string::npos)
            << box->text;
        EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_TRUE(PressButton(box->window, button));
        ASSERT_TRUE(Ends(*atLogIn));
        EXPECT_EQ(Exists(root_ + "\\game-run.txt"), button == IDYES);
        EXPECT_TRUE(Exists(Marker()));
        EXPECT_TRUE(Exists(Journal()));
        EXPECT_EQ(StartupEntry(), entry_);
        EXPECT_EQ(ReadBytes(root_ + "\\SrdwLaunch.log.1"), crashedLog);
    }
    for (const char* name : {"\\Data\\Sky Box.dw", "\\game-run.txt", "\\game-started"}) {
        RemoveTree(root_ + name);
    }
    auto launcher = StartLauncher();
    ASSERT_TRUE(AnswerBox(*launcher, kRecoveredByHand, {IDOK}, IDOK));
    ASSERT_TRUE(Ends(*launcher));
    ExpectRestored();
}

// A journal names the game folder it belongs to. Found beside another one (a
// copy of the folder) it is not undone, for its paths lead out of that
// folder: the player is told where it came from, and it stays as it is.
// Found without its marker it is undone all the same: it is the record of
// the install.
TEST_F(InterruptedRunTest, AJournalOfAnotherFolderStaysOneWithoutItsMarkerIsUndone) {
    const std::string copy = work_ + "\\Copy";
    for (const auto& [path, entry] : TakeSnapshot(root_)) {
        if (entry.directory) {
            MakeDirectories(copy + "\\" + path);
        } else {
            WriteBytes(copy + "\\" + path, entry.bytes, entry.readOnly);
        }
    }
    const Snapshot installed = Folder(root_);
    const Snapshot copied = Folder(copy);
    auto inCopy = StartLauncher("", copy);
    const auto box = ExpectMessageBox(*inCopy);
    ASSERT_TRUE(box);
    EXPECT_NE(box->text.find("was written for another game folder:\n" + root_ + "\n"),
              std::string::npos)
        << box->text;
    EXPECT_TRUE(PressButton(box->window, IDNO));
    ASSERT_TRUE(Ends(*inCopy));
    EXPECT_EQ(Folder(root_), installed) << "nothing outside the copy is touched";
    EXPECT_EQ(Folder(copy), copied);
    EXPECT_TRUE(Exists(Marker(copy)));
    EXPECT_EQ(ReadBytes(copy + "\\restore.jnl"), ReadBytes(Journal()));
    EXPECT_NE(Log(copy).find("' belongs to the game folder '"), std::string::npos) << Log(copy);

    RemoveTree(Marker());
    auto recover = StartLauncher(" /recover");
    ASSERT_TRUE(Ends(*recover));
    ExpectRestored();
}

// A restore killed inside a chain across commands (the second swap takes the
// first one's result), between its third and fourth move back: the next start,
// by the start-up entry or by hand, puts every file back under its own name.
TEST_F(LauncherTest, ARestoreKilledInAChainAcrossCommandsIsFinishedByTheNextStart) {
    for (const bool atLogIn : {true, false}) {
        RemoveTree(root_);
        RemoveStartupEntry();
        PutLauncher(root_);
        PutGame(root_);
        WriteBytes(root_ + "\\SrdwLaunch.dat",
                   "RenameEx(\"@rootdir\\A\", \"@rootdir\\M\", \"@rootdir\\A.bak\");\r\n"
                   "RenameEx(\"@rootdir\\B\", \"@rootdir\\A\", \"@rootdir\\B.bak\");\r\n");
        WriteBytes(root_ + "\\A", "game a");
        WriteBytes(root_ + "\\B", "game b", true);
        WriteBytes(root_ + "\\M", "mod m");
        const Snapshot before = Folder();
        std::string entry;
        {
            ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
            HeldGame game(root_);
            auto launcher = StartLauncher();
            ASSERT_TRUE(game.WaitStarted(kPatience)) << DescribeWindows(launcher->Id());
            entry = StartupEntry().value_or("");
            // The last move back, of the game's A from its backup, finds that file
            // held and waits for it: the launcher is ended there.
            const win32::KernelHandle held(CreateFileA((root_ + "\\A.bak").c_str(), GENERIC_READ, 0,
                                                       nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.IsValid());
            ASSERT_TRUE(game.Release(kPatience));
            ASSERT_TRUE(WaitUntil([&] { return Exists(root_ + "\\M"); }, kPatience));
            ASSERT_TRUE(launcher->Running()) << "the restore ended before it could be killed";
            launcher->Kill();
        }
        ASSERT_FALSE(Exists(root_ + "\\A")) << "killed after the last move back";
        RemoveTree(root_ + "\\game-run.txt");
        if (atLogIn) {
            char windows[MAX_PATH] = {};
            GetWindowsDirectoryA(windows, sizeof windows);
            ChildProcess restart("", entry, windows);
            ASSERT_TRUE(Ends(restart));
        } else {
            auto restart = StartLauncher();
            ASSERT_TRUE(AnswerBox(*restart, kRecoveredByHand, {IDOK}, IDOK));
            ASSERT_TRUE(Ends(*restart));
        }
        EXPECT_EQ(Folder(), before) << (atLogIn ? "at log-in" : "by hand") << "\n" << Log();
        EXPECT_FALSE(Exists(Marker()));
        EXPECT_FALSE(Exists(root_ + "\\restore.jnl"));
        EXPECT_EQ(StartupEntry(), std::nullopt);
    }
}

// ---- the re-install question ---------------------------------------------------------

class ReinstallQuestionTest : public LauncherTest {
  protected:
    // A marker naming a script that is gone; answers the question with `button`.
    std::unique_ptr<ChildProcess> AnswerWith(int button) {
        MakeGameFolder();
        before_ = Folder();
        WriteBytes(Marker(), root_ + "\\Gone.dat");
        auto launcher = StartLauncher();
        const auto box = ExpectMessageBox(*launcher);
        if (box) {
            EXPECT_EQ(box->caption, kTitle);
            EXPECT_EQ(box->text, kReinstallQuestion);
            EXPECT_EQ(box->buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
            EXPECT_TRUE(PressButton(box->window, button));
        }
        return launcher;
    }

    Snapshot before_;
};

const std::string kRestoreScriptFailed = "ERROR: Failed to load restore script!\n";

TEST_F(ReinstallQuestionTest, YesInstallsAndPlays) {
    auto launcher = AnswerWith(IDYES);
    ASSERT_TRUE(Ends(*launcher));
    const auto report = ReadGameReport(root_);
    ASSERT_TRUE(report);
    EXPECT_EQ(GameFiles(*report), kModdedGame);
    EXPECT_EQ(report->Value("marker"), "yes");
    EXPECT_EQ(Folder(), before_);
    EXPECT_FALSE(Exists(Marker()));
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(Log(), kHeader + kRestoreScriptFailed + Loading(root_ + "\\SrdwLaunch.dat") +
                         Install(root_) + GameStart(root_ + "\\srend.exe", "", root_) +
                         Restore(root_) + kFooter);
}

TEST_F(ReinstallQuestionTest, NoPlaysWithNothingInstalled) {
    auto launcher = AnswerWith(IDNO);
    ASSERT_TRUE(Ends(*launcher));
    const auto report = ReadGameReport(root_);
    ASSERT_TRUE(report);
    EXPECT_EQ(GameFiles(*report), kPlainGame);
    EXPECT_EQ(report->Value("startup entry"), RecoveryCommandFor(root_ + "\\SrdwLaunch.exe"));
    EXPECT_EQ(Folder(), before_);
    EXPECT_FALSE(Exists(Marker()));
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(Log(), kHeader + kRestoreScriptFailed + GameStart(root_ + "\\srend.exe", "", root_) +
                         kFooter);
}

TEST_F(ReinstallQuestionTest, CancelEndsTheRun) {
    auto launcher = AnswerWith(IDCANCEL);
    ASSERT_TRUE(Ends(*launcher));
    EXPECT_FALSE(Exists(root_ + "\\game-run.txt"));
    EXPECT_EQ(Folder(), before_);
    EXPECT_FALSE(Exists(Marker()));  // a run that ends normally removes the marker
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(Log(), kHeader + kRestoreScriptFailed + kFooter);
}

// ---- a missing script ----------------------------------------------------------------

TEST_F(LauncherTest, WithoutAScriptItSaysSoAndChangesNothing) {
    PutLauncher(root_);
    PutGame(root_);
    PutGameFiles(root_);
    const Snapshot before = Folder();

    auto launcher = StartLauncher();
    const auto box = ExpectMessageBox(*launcher);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, kTitle);
    EXPECT_EQ(box->text, kScriptNotLoaded);
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(PressButton(box->window, IDOK));
    ASSERT_TRUE(Ends(*launcher));

    EXPECT_FALSE(Exists(root_ + "\\game-run.txt"));
    EXPECT_EQ(Folder(), before);
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(Log(), kHeader + "ERROR: Failed to load script!\n" + kFooter);
}

// A script broken on its second line: the message and the log name the place.
TEST_F(LauncherTest, ABrokenScriptIsNamedWithItsPlace) {
    PutLauncher(root_);
    PutGame(root_);
    PutGameFiles(root_);
    WriteBytes(root_ + "\\SrdwLaunch.dat", "Rename(a, b)\r\n  Rename(c, d\r\n");
    const Snapshot before = Folder();
    const std::string script = root_ + "\\SrdwLaunch.dat";
    const std::string place = script + ":2:3: the call 'Rename(' is never closed by ')'";

    auto launcher = StartLauncher();
    ASSERT_TRUE(AnswerBox(*launcher,
                          std::string(kScriptNotLoaded) +
                              "\n\nThe MOD's install script has a mistake here:\n" + place +
                              "\n\nSrdwCheck.exe, which comes with the launcher, shows every "
                              "mistake in it: in a Command Prompt, run\nSrdwCheck \"" +
                              script + "\"",
                          {IDOK}, IDOK));
    ASSERT_TRUE(Ends(*launcher));
    EXPECT_EQ(Folder(), before);
    EXPECT_EQ(Log(), kHeader + Loading(script) + "ERROR in script!\n" + place +
                         "\nERROR: Failed to load script!\n" + kFooter);
}

// One of the mod's files is missing: before the game starts, with the splash
// hidden, the player is told and chooses to play anyway or to end with every
// file back.
TEST_F(LauncherTest, ACommandThatDidNotGoInIsToldBeforeTheGame) {
    MakeGameFolder();
    WriteBytes(root_ + "\\SrdwLaunch.dat",
               std::string(kScript) +
                   "Rename(\"@rootdir\\Sounds\\Wind.snd\", \"@rootdir\\Sounds\\Wind.off\");\r\n");
    const Snapshot before = Folder();
    for (const int button : {IDYES, IDNO}) {
        RemoveTree(root_ + "\\game-run.txt");
        auto launcher = StartLauncher();
        const auto box = ExpectMessageBox(*launcher);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, kTitle);
        EXPECT_NE(box->text.find("Commands that did not go in: 1 of 5\nThe log says which: " +
                                 root_ + "\\SrdwLaunch.log\n"),
                  std::string::npos)
            << box->text;
        EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
        for (HWND window : TopLevelWindows(launcher->Id())) {
            EXPECT_TRUE(window == box->window || !IsWindowVisible(window))
                << "shown beside the box:\n"
                << DescribeWindows(launcher->Id());
        }
        EXPECT_FALSE(Exists(root_ + "\\game-run.txt"));
        EXPECT_TRUE(PressButton(box->window, button));
        ASSERT_TRUE(Ends(*launcher));

        const auto report = ReadGameReport(root_);
        EXPECT_EQ(report.has_value(), button == IDYES);
        if (report) {
            EXPECT_EQ(GameFiles(*report), kModdedGame);
        }
        EXPECT_EQ(Folder(), before);
        EXPECT_FALSE(Exists(Marker()));
        EXPECT_EQ(StartupEntry(), std::nullopt);
        EXPECT_NE(
            Log().find(button == IDYES ? "The player chose to play although 1 of the script's "
                                         "commands did not go in.\n\nExecuting 'ShellExecuteEx()'"
                                       : "The player chose to have every file put back without "
                                         "playing, as 1 of the script's commands did not go in.\n\n"
                                         "Restoring script...\n"),
            std::string::npos)
            << Log();
    }
}

// ---- finding the game --------------------------------------------------------------

class GameElsewhereTest : public LauncherTest {
  protected:
    // The launcher and its script in a folder of their own; the game in root_.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LauncherTest::SetUp());
        launcherFolder_ = work_ + "\\Duskwarden";
        PutLauncher(launcherFolder_);
        PutScript(launcherFolder_);
        PutGameFiles(root_);
    }

    static std::optional<std::string> GameSetting() {
        const auto text = ReadBytes(SettingsFile());
        if (!text) {
            return std::nullopt;
        }
        const std::string section = "[Global - String3]\r\n";
        const auto start = text->find(section);
        if (start == std::string::npos) {
            return "(no section in: " + *text + ")";
        }
        const auto key = text->find("Data=", start + section.size());
        if (key == std::string::npos) {
            return "(no key in: " + *text + ")";
        }
        const auto valueStart = key + 5;
        return text->substr(valueStart, text->find_first_of("\r\n", valueStart) - valueStart);
    }

    // The run after the game was found at `game`: the mod installed in root_.
    void ExpectPlayedAt(const std::string& game, const std::string& command) const {
        const auto report = ReadGameReport(root_);
        ASSERT_TRUE(report);
        EXPECT_EQ(report->Value("program"), game);
        EXPECT_EQ(report->Value("directory"), root_);
        EXPECT_EQ(report->Value("arguments"), command);
        EXPECT_EQ(GameFiles(*report), kModdedGame);
        EXPECT_EQ(Log(launcherFolder_), kHeader + Loading(launcherFolder_ + "\\SrdwLaunch.dat") +
                                            Install(root_) + GameStart(game, command, root_) +
                                            Restore(root_) + kFooter);
    }

    SettingsFileGuard settings_;
    std::string launcherFolder_;
};

TEST_F(GameElsewhereTest, FindsTheGameThroughTheSettingsFile) {
    PutGame(root_);
    WriteGameSetting(root_ + "\\srend.exe");
    const auto settings = ReadBytes(SettingsFile());
    const Snapshot gameBefore = Folder();
    const Snapshot launcherBefore = Folder(launcherFolder_);

    auto launcher = StartLauncher(" -Debug", launcherFolder_);
    ASSERT_TRUE(Ends(*launcher));

    ExpectPlayedAt(root_ + "\\srend.exe", "-debug");
    EXPECT_EQ(Folder(), gameBefore);
    EXPECT_EQ(Folder(launcherFolder_), launcherBefore);
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(ReadBytes(SettingsFile()), settings);
}

TEST_F(GameElsewhereTest, TheChooserRefusesOtherFilesAndCancelEndsTheRun) {
    const std::string other = work_ + "\\Other";
    PutGame(other, "other.exe");
    const Snapshot gameBefore = Folder();
    const Snapshot launcherBefore = Folder(launcherFolder_);

    auto launcher = StartLauncher("", launcherFolder_);
    const auto box = ExpectMessageBox(*launcher);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, kTitle);
    EXPECT_EQ(box->text, kGameNotFound);
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(PressButton(box->window, IDOK));

    HWND chooser = WaitForOpenDialog(launcher->Id());
    ASSERT_NE(chooser, nullptr) << DescribeWindows(launcher->Id());
    EXPECT_EQ(CaptionOf(chooser), kTitle);
    // Any other program is refused: the chooser stays, nothing starts.
    ASSERT_TRUE(EnterFileName(chooser, other + "\\other.exe"));
    Sleep(500);
    EXPECT_TRUE(IsWindow(chooser) && IsWindowVisible(chooser));
    EXPECT_TRUE(launcher->Running());
    EXPECT_FALSE(Exists(other + "\\game-run.txt"));
    EXPECT_FALSE(Exists(SettingsFile()));

    EXPECT_TRUE(PressButton(chooser, IDCANCEL));
    ASSERT_TRUE(Ends(*launcher));
    EXPECT_FALSE(Exists(other + "\\game-run.txt"));
    EXPECT_FALSE(Exists(SettingsFile()));
    EXPECT_EQ(Folder(), gameBefore);
    EXPECT_EQ(Folder(launcherFolder_), launcherBefore);
    EXPECT_EQ(StartupEntry(), std::nullopt);
    EXPECT_EQ(Log(launcherFolder_),
              kHeader + Loading(launcherFolder_ + "\\SrdwLaunch.dat") + kFooter);
}

TEST_F(GameElsewhereTest, TheChooserTakesTheGameInAnyLetterCaseAndRemembersIt) {
    PutGame(root_, "SREND.EXE");
    const std::string game = root_ + "\\SREND.EXE";
    const Snapshot gameBefore = Folder();

    auto launcher = StartLauncher(" -Debug", launcherFolder_);
    HWND chooser = ChooserAfterGameNotFound(*launcher);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(EnterFileName(chooser, game));
    ASSERT_TRUE(Ends(*launcher));

    ExpectPlayedAt(game, "-debug");
    EXPECT_EQ(Folder(), gameBefore);
    EXPECT_EQ(GameSetting(), game);

    // The next run asks nobody.
    RemoveTree(root_ + "\\game-run.txt");
    auto again = StartLauncher(" -Debug", launcherFolder_);
    ASSERT_TRUE(Ends(*again));
    ExpectPlayedAt(game, "-debug");
    EXPECT_EQ(Folder(), gameBefore);
    EXPECT_EQ(GameSetting(), game);
}

// ---- other launchers and the running game -------------------------------------------

TEST_F(LauncherTest, ASecondLauncherSaysTheFirstWaitsAndTouchesNothing) {
    MakeGameFolder();
    const Snapshot before = Folder();
    const std::string log = root_ + "\\SrdwLaunch.log";

    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    auto first = StartLauncher();
    ASSERT_TRUE(game.WaitStarted(kPatience)) << DescribeWindows(first->Id());
    const Snapshot installed = Folder();
    const auto firstLog = ReadBytes(log);
    const auto report = ReadBytes(root_ + "\\game-run.txt");
    ASSERT_TRUE(firstLog);

    auto second = StartLauncher(" /recover");
    const auto box = ExpectMessageBox(*second);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, kTitle);
    EXPECT_EQ(box->text, kLauncherWaiting);
    EXPECT_TRUE(PressButton(box->window, IDOK));
    ASSERT_TRUE(Ends(*second, 10000));
    EXPECT_EQ(ReadBytes(log), firstLog);
    EXPECT_EQ(ReadBytes(root_ + "\\game-run.txt"), report);
    EXPECT_EQ(Folder(), installed);
    EXPECT_TRUE(first->Running());

    ASSERT_TRUE(game.Release(kPatience));
    ASSERT_TRUE(Ends(*first));
    EXPECT_EQ(Folder(), before);
    EXPECT_EQ(Log(), kHeader + Loading(root_ + "\\SrdwLaunch.dat") + Install(root_) +
                         GameStart(root_ + "\\srend.exe", "", root_) + Restore(root_) + kFooter);
}

// A launcher the mutex does not keep out (another user's session) holds the
// folder's lock file: this one says so and touches nothing, not even its log.
TEST_F(LauncherTest, TheFoldersLockKeepsOutALauncherTheMutexDoesNot) {
    MakeGameFolder();
    const Snapshot before = Folder();
    const std::string lock = root_ + "\\SrdwLaunch.lock";
    {
        const srdw::win32::KernelHandle held(CreateFileA(lock.c_str(), GENERIC_WRITE, 0, nullptr,
                                                         OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE,
                                                         nullptr));
        ASSERT_TRUE(held.IsValid());
        auto launcher = StartLauncher();
        const auto box = ExpectMessageBox(*launcher);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, kLauncherWaiting);
        EXPECT_TRUE(PressButton(box->window, IDOK));
        ASSERT_TRUE(Ends(*launcher));
    }
    EXPECT_EQ(Folder(), before);
    EXPECT_FALSE(Exists(root_ + "\\SrdwLaunch.log"));
    EXPECT_FALSE(Exists(root_ + "\\game-run.txt"));

    // Its lock goes with the launcher, also when it is killed.
    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    auto launcher = StartLauncher();
    ASSERT_TRUE(game.WaitStarted(kPatience));
    EXPECT_TRUE(Exists(lock));
    launcher->Kill();
    ASSERT_TRUE(launcher->WaitForExit(kPatience));
    EXPECT_FALSE(Exists(lock));
}

class GameRunningTest : public LauncherTest {
  protected:
    // The stand-in started directly, with the game's window, in a folder of its own.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LauncherTest::SetUp());
        running_ = work_ + "\\Running";
        PutGame(running_);
        ScopedEnvironment window("SRDW_STANDIN_WINDOW", "1");
        const std::string program = running_ + "\\srend.exe";
        game_ = std::make_unique<ChildProcess>(program, '"' + program + '"', running_);
        held_ = std::make_unique<HeldGame>(running_);
        ASSERT_TRUE(held_->WaitStarted(kPatience));
        ASSERT_TRUE(WaitUntil([] { return FindWindowA("Skyrend 2", "Skyrend 2") != nullptr; }));
    }
    void TearDown() override {
        held_.reset();
        game_.reset();
        LauncherTest::TearDown();
    }

    // Runs the launcher up to its message and answers it. An earlier run's
    // marker keeps its start-up entry, written anew, for the restore to come.
    void ExpectGameRunningMessage(bool marked = false) {
        auto launcher = StartLauncher();
        const auto box = ExpectMessageBox(*launcher);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, kTitle);
        EXPECT_EQ(box->text, kGameRunning);
        EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(PressButton(box->window, IDOK));
        ASSERT_TRUE(Ends(*launcher));
        EXPECT_FALSE(Exists(root_ + "\\game-run.txt"));
        EXPECT_EQ(StartupEntry().has_value(), marked);
        EXPECT_EQ(Log(), kHeader + Loading(root_ + "\\SrdwLaunch.dat") + kFooter);
    }

    std::string running_;
    std::unique_ptr<ChildProcess> game_;
    std::unique_ptr<HeldGame> held_;
};

TEST_F(GameRunningTest, TheLauncherSaysSoAndChangesNothing) {
    MakeGameFolder();
    const Snapshot before = Folder();
    ExpectGameRunningMessage();
    EXPECT_EQ(Folder(), before);
}

TEST_F(GameRunningTest, AnEarlierRunsMarkerStaysForItsRestore) {
    MakeGameFolder();
    WriteBytes(Marker(), root_ + "\\SrdwLaunch.dat");
    const Snapshot before = Folder();
    ExpectGameRunningMessage(true);
    EXPECT_EQ(Folder(), before);
}

// ---- folders the code page cannot name -------------------------------------------------

// A game folder named in characters the ANSI code page lacks, beside a twin
// whose name is what Windows' best fit makes of it ("ā" becomes "a"), with a
// whole game of its own. The launcher must neither take the twin for its own
// folder nor touch anything.
class CodePageTest : public LauncherTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LauncherTest::SetUp());
        foreign_ = Wide(work_) + L"\\Skyrend \u0101";
        if (CodePageHolds(foreign_)) {
            GTEST_SKIP() << "the code page " << GetACP() << " holds the test's folder name";
        }
        twin_ = work_ + "\\Skyrend a";
        MakeGameFolderAt(twin_);
        twinBefore_ = Folder(twin_);
    }
    void TearDown() override {
        RemoveTree(foreign_);
        RemoveTree(Wide(work_) + L"\\\u0418\u0433\u0440\u044b");
        LauncherTest::TearDown();
    }

    static void MakeGameFolderAt(const std::string& folder) {
        PutLauncher(folder);
        PutGame(folder);
        PutScript(folder);
        PutGameFiles(folder);
    }
    // The same game in a folder of any name; `launcher` puts the launcher in too.
    static void MakeGameFolderAt(const std::wstring& folder, bool launcher) {
        if (launcher) {
            CopyInto(LauncherProgram(), folder + L"\\SrdwLaunch.exe");
            WriteBytes(folder + L"\\SrdwLaunch.dat", kScript);
        }
        CopyInto(StandInProgram(), folder + L"\\srend.exe");
        WriteBytes(folder + L"\\Data\\Sky Box.pak", "game sky");
        WriteBytes(folder + L"\\Data\\Sky Box.dw", "dusk sky");
        WriteBytes(folder + L"\\Maps\\Old Map.map", "old map");
        WriteBytes(folder + L"\\Maps\\Dusk Map.dw", "dusk map");
    }

    static std::string PathMessage(const std::string& shown) {
        return "ERROR: The name of the game's folder (or of a folder above it) holds characters "
               "that cannot be used on this computer!\n" +
               shown +
               "\nThey are shown as ?. Nothing was changed. Please give the folder a name in "
               "plain letters of your system's language.";
    }

    // Answers the message that names `shown` and waits for the launcher's end.
    static void ExpectPathMessage(ChildProcess& launcher, const std::string& shown) {
        const auto box = ExpectMessageBox(launcher);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, kTitle);
        EXPECT_EQ(box->text, PathMessage(shown));
        EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(PressButton(box->window, IDOK));
        ASSERT_TRUE(Ends(launcher));
    }

    // Neither the twin nor anything else was touched, and no game started.
    void ExpectTwinUntouched() const {
        EXPECT_EQ(Folder(twin_), twinBefore_);
        EXPECT_FALSE(Exists(twin_ + "\\SrdwLaunch.log"));
        EXPECT_FALSE(Exists(twin_ + "\\game-run.txt"));
        EXPECT_EQ(StartupEntry(), std::nullopt);
    }

    std::wstring foreign_;
    std::string twin_;
    Snapshot twinBefore_;
};

TEST_F(CodePageTest, ALauncherInSuchAFolderNamesItAndTouchesNothing) {
    const std::wstring cyrillic = Wide(work_) + L"\\\u0418\u0433\u0440\u044b\\Skyrend 2";
    for (const std::wstring& folder : {foreign_, cyrillic}) {
        MakeGameFolderAt(folder, true);
        const auto before = WideSnapshot(folder);
        const std::wstring program = folder + L"\\SrdwLaunch.exe";
        ChildProcess launcher(program, L'"' + program + L'"', Wide(work_));
        ASSERT_NO_FATAL_FAILURE(ExpectPathMessage(launcher, Shown(program)));
        EXPECT_EQ(WideSnapshot(folder), before) << Shown(folder);
        ExpectTwinUntouched();
    }
}

TEST_F(CodePageTest, AGameTheSettingsFileOrTheChooserNamesThereIsNotStarted) {
    SettingsFileGuard settings;
    const std::string launcherFolder = work_ + "\\Duskwarden";
    PutLauncher(launcherFolder);
    PutScript(launcherFolder);
    MakeGameFolderAt(foreign_, false);
    const auto before = WideSnapshot(foreign_);
    const std::wstring game = foreign_ + L"\\srend.exe";
    const std::string logLine = "ERROR: the path '" + Shown(game) +
                                "' holds characters that cannot be used here; nothing was "
                                "changed!\n";

    // The settings file in UTF-16, as Windows reads it whatever the code page.
    const std::wstring text = L"\uFEFF[Global - String3]\r\nData=" + game + L"\r\n";
    WriteBytes(SettingsFile(), std::string(reinterpret_cast<const char*>(text.data()),
                                           text.size() * sizeof(wchar_t)));
    auto fromSettings = StartLauncher("", launcherFolder);
    ASSERT_NO_FATAL_FAILURE(ExpectPathMessage(*fromSettings, Shown(game)));
    EXPECT_EQ(Log(launcherFolder),
              kHeader + Loading(launcherFolder + "\\SrdwLaunch.dat") + logLine + kFooter);

    RemoveTree(SettingsFile());
    auto chosen = StartLauncher("", launcherFolder);
    HWND chooser = ChooserAfterGameNotFound(*chosen);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(EnterFileName(chooser, game));
    ASSERT_NO_FATAL_FAILURE(ExpectPathMessage(*chosen, Shown(game)));
    EXPECT_EQ(Log(launcherFolder),
              kHeader + Loading(launcherFolder + "\\SrdwLaunch.dat") + logLine + kFooter);
    EXPECT_FALSE(Exists(SettingsFile())) << "a game that cannot be named is not remembered";

    EXPECT_EQ(WideSnapshot(foreign_), before);
    ExpectTwinUntouched();
}

// ---- the splash -------------------------------------------------------------------------

class SplashTest : public LauncherTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LauncherTest::SetUp());
        MakeGameFolder();
        before_ = Folder();
    }

    // Waits for the splash of the launcher to be shown.
    static HWND WaitForSplash(const ChildProcess& launcher) {
        HWND splash = nullptr;
        WaitUntil(
            [&] {
                splash = FindTopLevel(launcher.Id(), "#32770", kTitle);
                return splash != nullptr && IsWindowVisible(splash);
            },
            kPatience, 2);
        return splash;
    }

    // The rest of a normal run, once the game was let go.
    void ExpectNormalEnd(ChildProcess& launcher, HeldGame& game) const {
        ASSERT_TRUE(game.Release(kPatience));
        ASSERT_TRUE(Ends(launcher));
        EXPECT_EQ(Folder(), before_);
        EXPECT_EQ(Log(), kHeader + Loading(root_ + "\\SrdwLaunch.dat") + Install(root_) +
                             GameStart(root_ + "\\srend.exe", "", root_) + Restore(root_) +
                             kFooter);
    }

    Snapshot before_;
};

TEST_F(SplashTest, ShowsThePictureCentredUntilTheGameStarts) {
    const auto picture = LoadBitmapResource(root_ + "\\SrdwLaunch.exe", kSplashPicture);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 375);
    EXPECT_EQ(picture->height, 450);

    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    auto launcher = StartLauncher();
    HWND splash = WaitForSplash(*launcher);
    ASSERT_NE(splash, nullptr) << DescribeWindows(launcher->Id());

    // The picture is on the screen, whole, while the launcher pauses and installs.
    // The window may still be moved after it first shows: where it is when the
    // picture is seen is where it stays.
    RECT frame = {};
    std::optional<POINT> shownAt;
    WaitUntil(
        [&] {
            frame = RectOf(splash);
            if (const auto screen = CaptureScreen(frame)) {
                shownAt = FindPicture(*screen, *picture);
            }
            return shownAt.has_value() || !IsWindowVisible(splash);
        },
        kPatience, 20);
    ASSERT_TRUE(shownAt) << "the splash picture was never seen on the screen";

    // A popup without caption bar, centred on the screen.
    const LONG_PTR style = StyleOf(splash);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_POPUP, 0);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs(frame.left + frame.right - screenWidth), 2)
        << frame.left << ".." << frame.right << " on " << screenWidth;
    EXPECT_LE(std::abs(frame.top + frame.bottom - screenHeight), 2)
        << frame.top << ".." << frame.bottom << " on " << screenHeight;
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(frame.left >= work.left && frame.top >= work.top && frame.right <= work.right &&
                frame.bottom <= work.bottom);
    EXPECT_GE(frame.right - frame.left, picture->width);
    EXPECT_GE(frame.bottom - frame.top, picture->height);
    // Whatever the dialog font: the control shows the picture at its own size, and
    // the window holds the control and nothing beside it.
    HWND control = GetWindow(splash, GW_CHILD);
    ASSERT_NE(control, nullptr);
    RECT shown = {};
    GetClientRect(control, &shown);
    EXPECT_EQ(shown.right, picture->width);
    EXPECT_EQ(shown.bottom, picture->height);
    RECT inside = {};
    GetClientRect(splash, &inside);
    const RECT controlFrame = RectOf(control);
    EXPECT_EQ(inside.right, controlFrame.right - controlFrame.left);
    EXPECT_EQ(inside.bottom, controlFrame.bottom - controlFrame.top);

    // Hidden, not gone, while the game runs; gone after.
    ASSERT_TRUE(game.WaitStarted(kPatience));
    EXPECT_TRUE(IsWindow(splash));
    EXPECT_FALSE(IsWindowVisible(splash));
    ExpectNormalEnd(*launcher, game);
    EXPECT_FALSE(IsWindow(splash));
}

TEST_F(SplashTest, CannotBeClosed) {
    ScopedEnvironment hold("SRDW_STANDIN_HOLD", "1");
    HeldGame game(root_);
    auto launcher = StartLauncher();
    HWND splash = WaitForSplash(*launcher);
    ASSERT_NE(splash, nullptr) << DescribeWindows(launcher->Id());

    // Enter, Escape, Alt+F4 and the window menu's Close, as the window gets them.
    const auto tryToClose = [&] {
        DWORD_PTR result = 0;
        EXPECT_TRUE(PressButton(splash, IDOK));
        EXPECT_TRUE(PressButton(splash, IDCANCEL));
        EXPECT_TRUE(PostMessageA(splash, WM_CLOSE, 0, 0));
        SendMessageTimeoutA(splash, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_ABORTIFHUNG, 500, &result);
    };
    tryToClose();
    EXPECT_TRUE(IsWindow(splash));

    ASSERT_TRUE(game.WaitStarted(kPatience));
    tryToClose();
    Sleep(200);
    EXPECT_TRUE(IsWindow(splash));
    EXPECT_TRUE(launcher->Running());
    ExpectNormalEnd(*launcher, game);
}

}  // namespace
}  // namespace srdw::gui
