#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "app/LauncherApp.h"
#include "app/PathText.h"
#ifndef _WIN32
#include "platform/posix/CaseInsensitivePath.h"
#endif

namespace srdw::test {

namespace {

constexpr std::string_view kHeader =
    "Skyrend II: Duskwarden\r\nLog started: 03/05/27 08:05:09\r\n"
    "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\n";
constexpr std::string_view kFooter =
    "\r\n~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\nLog finished: 03/05/27 08:05:09\r\n";

}  // namespace

void MakeWritableTree(const fs::path& root) {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(root, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("srdw-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    MakeWritableTree(path_);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::operator/(const std::string& relative) const {
    return (path_ / fs::path(relative).make_preferred()).string();
}

int TestPlatform::ShowMessageBox(const std::string& text, unsigned) {
    messages.push_back(text);
    return 1;
}

Answer TestPlatform::AskYesNoCancel(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) {
        return Answer::Cancel;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

Answer TestPlatform::AskYesNo(const std::string& text) {
    if (answers.empty()) {
        questions.push_back(text);
        return Answer::NoAnswer;
    }
    const Answer answer = AskYesNoCancel(text);
    return answer == Answer::Cancel ? Answer::No : answer;
}

std::optional<std::string> TestPlatform::ChooseGameFile() {
    events.emplace_back("chooser");
    if (choices.empty()) {
        return std::nullopt;
    }
    auto choice = choices.front();
    choices.pop_front();
    return choice;
}

std::string TestPlatform::ReadProfileString(const std::string& file, const std::string& section,
                                            const std::string& key) {
    const auto found = settings.find(file + "|" + section + "|" + key);
    return found == settings.end() ? "" : found->second;
}

OsResult TestPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& value) {
    settings[file + "|" + section + "|" + key] = value;
    return OsResult::Ok();
}

OsResult TestPlatform::WriteStartupEntry(const std::string& name, const std::string& command) {
    events.emplace_back("write startup entry");
    if (machineEntryRefused) {
        return {OsError::AccessDenied};
    }
    startupEntries[name] = command;
    return OsResult::Ok();
}

OsResult TestPlatform::DeleteStartupEntry(const std::string& name) {
    events.emplace_back("delete startup entry");
    return startupEntries.erase(name) ? OsResult::Ok() : OsResult{OsError::NotFound};
}

OsResult TestPlatform::WriteUserStartupEntry(const std::string& name, const std::string& command) {
    events.emplace_back("write user startup entry");
    userStartupEntries[name] = command;
    return OsResult::Ok();
}

OsResult TestPlatform::DeleteUserStartupEntry(const std::string& name) {
    events.emplace_back("delete user startup entry");
    return userStartupEntries.erase(name) ? OsResult::Ok() : OsResult{OsError::NotFound};
}

OsResult TestPlatform::ProbeNewFile(const std::string& folder) {
    probes.push_back(folder);
    const bool refused = std::find(protectedFolders.begin(), protectedFolders.end(), folder) !=
                         protectedFolders.end();
    return refused ? OsResult{OsError::AccessDenied} : OsResult::Ok();
}

Elevation TestPlatform::RestartElevated(const std::string& program, const std::string& parameters,
                                        const std::string& directory) {
    restarts.push_back({program, parameters, directory});
    return elevation;
}

void TestPlatform::Sleep(unsigned milliseconds) {
    slept += milliseconds;
    if (whileSleeping) {
        whileSleeping();
    }
}

bool TestPlatform::WindowExists(const std::string& windowClass, const std::string& title) {
    return gameWindowOpen && windowClass == "Skyrend 2" && title == "Skyrend 2";
}

ProgramRun TestPlatform::StartAndWait(const std::string& file, const std::string& parameters,
                                      const std::string& directory,
                                      const WatchWhileRunning& whileRunning) {
    if (!gameStarts) {
        return ProgramRun::NotStarted("not a program");
    }
    events.emplace_back("game");
    gameRuns.push_back({file, parameters, directory});
    if (whileGameRuns) {
        whileGameRuns();
    }
    ProgramRun run;
    // Watched at each interval until the launcher stops waiting: the game's
    // own process, then what it started that stays after it (a store's client).
    for (unsigned interval = 0;; ++interval) {
        const bool programEnded = interval >= playingIntervals;
        if (!whileRunning(programEnded)) {
            run.left = lingering;
            break;
        }
        if (interval >= playingIntervals + lingeringIntervals) {
            break;
        }
        Sleep(kWatchInterval);
    }
    if (whenGameEnds) {
        whenGameEnds();
    }
    run.crashed = gameCrashes;
    return run;
}

std::string TestPlatform::OwnPath() {
    return ownPath.empty() ? NativeLauncherProcess().OwnPath() : ownPath;
}

LoggedTest::LoggedTest(const ScratchDir& dir, const std::string& launcherName) {
    platform_.ownPath = dir / launcherName;
    log_.Open(LogPath());
}

std::string LoggedTest::LogPath() const {
    return ReplaceExtension(platform_.ownPath, "log");
}

std::string LoggedTest::Body() {
    log_.Close();
    return LogBody(ReadFile(LogPath()));
}

std::string LogBody(const std::string& crlfLog) {
    std::string text = crlfLog;
    if (text.rfind(kHeader, 0) != 0 || text.size() < kHeader.size() + kFooter.size() ||
        text.compare(text.size() - kFooter.size(), kFooter.size(), kFooter) != 0) {
        ADD_FAILURE() << "log without the expected header and footer:\n" << crlfLog;
        return crlfLog;
    }
    text = text.substr(kHeader.size(), text.size() - kHeader.size() - kFooter.size());
    std::string body;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        body.push_back(text[i]);
    }
    return body;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool MadeFolderLink(const fs::path& target, const fs::path& link) {
    std::error_code refused;
    fs::create_directory_symlink(target, link, refused);
    return !refused;
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
#ifndef _WIN32
    // Made behind the backend's back, as no other program does while the launcher works.
    posix::ForgetDirectoryListings();
#endif
}

void MakeReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

bool IsReadOnly(const fs::path& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

void PrintTo(const FileState& state, std::ostream* out) {
    *out << '"' << state.content << '"' << (state.readOnly ? " (read-only)" : "");
}

Snapshot TakeSnapshot(const fs::path& root) {
    Snapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory()) {
            snapshot[relative + "/"] = {};
        } else {
            snapshot[relative] = {ReadFile(entry.path()), IsReadOnly(entry.path())};
        }
    }
    return snapshot;
}

std::string Describe(const Snapshot& snapshot) {
    std::string text;
    for (const auto& [name, state] : snapshot) {
        text += name + (state.readOnly ? " (read-only)" : "") + ": " + state.content + "\n";
    }
    return text;
}

std::string RunLauncher(TestPlatform& platform, const fs::path& logFile) {
    InDirectory keep(fs::current_path());
    LauncherMain(platform.AsPlatform());
    return LogBody(ReadFile(logFile));
}

Snapshot GameFolder(const fs::path& root) {
    Snapshot files = TakeSnapshot(root);
    files.erase("SrdwLaunch.log");
    files.erase("SrdwLaunch.log.1");
    return files;
}

}  // namespace srdw::test
