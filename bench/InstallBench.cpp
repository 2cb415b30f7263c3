// Install and restore of whole scripts, each beside the bare system calls that
// the same file swaps cannot do without, in the same folder, so that the ratio of
// the two is the launcher's own cost.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

#include "BenchSupport.h"
#include "log/RunLog.h"
#include "script/ModScript.h"

namespace srdw::bench {
namespace {

struct FolderKey {
    Command command;
    std::size_t count;
    std::size_t fillers;
    bool wrongCase;
    bool operator<(const FolderKey& other) const {
        return std::tie(command, count, fillers, wrongCase) <
               std::tie(other.command, other.count, other.fillers, other.wrongCase);
    }
};

// Game folders are made once and shared by the launcher's run and the bare
// one: Google Benchmark calls a benchmark several times to choose its number of
// iterations, and ten thousand files are not made in a moment. Every run leaves
// its folder as it found it.
class Folders {
  public:
    const GameFolder& Get(const FolderKey& key) {
        auto& folder = folders_[key];
        if (!folder) {
            const std::string name =
                std::string(key.command == Command::RenameEx ? "swap" : "rename") + "-" +
                std::to_string(key.count) + "-" + std::to_string(key.fillers) +
                (key.wrongCase ? "-case" : "");
            folder = std::make_unique<GameFolder>(MakeGameFolder(
                dir_.Path() / name, key.command, key.count, key.fillers, key.wrongCase));
        }
        return *folder;
    }

  private:
    ScratchDir dir_{"install"};
    std::map<FolderKey, std::unique_ptr<GameFolder>> folders_;
};

Folders& AllFolders() {
    static Folders folders;
    return folders;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string LogPathOf(const GameFolder& folder) {
    return (folder.root / "SrdwLaunch.log").string();
}

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// The launcher's install: the whole install planned and its journal synced
// before the first move, then synced once more at its end.
void InstallJournalled(const Engine& engine, const GameFolder& folder, ModScript& script,
                       const Placeholders& values, UndoJournal& journal) {
    static_cast<void>(journal.Start(engine.files, (folder.root / "restore.jnl").string(),
                                    folder.root.string(), FileIdentity{}, script.TextChecksum()));
    static_cast<void>(script.PlanInstall(engine, values, journal));
    script.Install(engine, values, journal);
    static_cast<void>(journal.Finish());
}

// Whether every command did its work: the changes are all there after the
// install, all gone after the restore, and the log names no failure. A fast run
// of commands that failed would measure nothing.
std::string CheckOneRun(RunLog& log, const Engine& engine, const GameFolder& folder,
                        ModScript& script, const Placeholders& values) {
    log.Open(LogPathOf(folder));
    UndoJournal journal;
    InstallJournalled(engine, folder, script, values, journal);
    std::string problem;
    for (std::size_t i = 0; i < folder.targets.size() && problem.empty(); ++i) {
        // A swap leaves the mod's file under the game file's name; a rename
        // leaves nothing there.
        if (!Exists(folder.targets[i]) || Exists(folder.originals[i]) != !folder.modified.empty()) {
            problem = "the install did not do its work at " + folder.originals[i];
        }
    }
    if (!UndoInstall(engine, journal.Contents(), &journal).Complete()) {
        problem = "the restore did not finish";
    }
    log.Close();
    for (std::size_t i = 0; i < folder.targets.size() && problem.empty(); ++i) {
        if (Exists(folder.targets[i]) || !Exists(folder.originals[i]) ||
            (!folder.modified.empty() && !Exists(folder.modified[i]))) {
            problem = "the restore did not undo the install at " + folder.originals[i];
        }
    }
    const std::string written = ReadText(folder.root / "SrdwLaunch.log");
    if (problem.empty() && (written.find("FAILED") != std::string::npos ||
                            written.find("ERROR") != std::string::npos)) {
        problem = "the log names a failure";
    }
    return problem;
}

// One iteration: the install and the restore of a loaded script, with the log on,
// written to the disk at the end as a run writes it before the game starts.
void LauncherRun(benchmark::State& state, Command command, std::size_t fillers, bool wrongCase) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const GameFolder& folder = AllFolders().Get({command, count, fillers, wrongCase});
    FileSystem& files = NativeFileSystem();
    RunLog log(files);
    const Engine engine{files, log};
    const fs::path saved = fs::current_path();
    fs::current_path(folder.root);
    const std::string rootDir = folder.root.string();
    const Placeholders values{rootDir, "-window"};

    ModScript script;
    std::string problem;
    if (!script.Load(files, log, (folder.root / "SrdwLaunch.dat").string()) ||
        script.Commands().size() != count) {
        problem = "the script did not load";
    } else {
        problem = CheckOneRun(log, engine, folder, script, values);
    }
    std::size_t syncs = 0;
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
    } else {
        log.Open(LogPathOf(folder));
        for (auto _ : state) {
            UndoJournal journal;
            InstallJournalled(engine, folder, script, values, journal);
            static_cast<void>(UndoInstall(engine, journal.Contents(), &journal));
            syncs = journal.Syncs();
            log.Flush();
            state.PauseTiming();
            log.Open(LogPathOf(folder));  // the next run's log, from the start
            state.ResumeTiming();
        }
        log.Close();
    }
    fs::current_path(saved);
    // The journal's own syncs of one install; the marker's is one more.
    state.counters["syncs_per_install"] = static_cast<double>(syncs);
    state.counters["commands"] = static_cast<double>(count);
    state.counters["per_command"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

int Stat(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info);
}

int Move(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

// The same swaps and renames with nothing but the system calls they need: is the
// backup (or new name) free, are the files there, then the moves; the restore
// the same backwards. No script, no path expansion, no letter case, no log.
void SystemCallRun(benchmark::State& state, Command command, std::size_t fillers) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const GameFolder& folder = AllFolders().Get({command, count, fillers, false});
    const auto& originals = folder.originals;
    const auto& modified = folder.modified;
    const auto& targets = folder.targets;
    bool failed = false;
    for (auto _ : state) {
        if (command == Command::RenameEx) {
            for (std::size_t i = 0; i < count; ++i) {
                failed |= Stat(targets[i]) == 0;
                failed |= Stat(originals[i]) != 0;
                failed |= Stat(modified[i]) != 0;
                failed |= Move(originals[i], targets[i]) != 0;
                failed |= Move(modified[i], originals[i]) != 0;
            }
            for (std::size_t i = count; i-- > 0;) {
                failed |= Stat(modified[i]) == 0;
                failed |= Stat(originals[i]) != 0;
                failed |= Stat(targets[i]) != 0;
                failed |= Move(originals[i], modified[i]) != 0;
                failed |= Move(targets[i], originals[i]) != 0;
            }
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                failed |= Stat(originals[i]) != 0;
                failed |= Stat(targets[i]) == 0;
                failed |= Move(originals[i], targets[i]) != 0;
            }
            for (std::size_t i = count; i-- > 0;) {
                failed |= Stat(targets[i]) != 0;
                failed |= Stat(originals[i]) == 0;
                failed |= Move(targets[i], originals[i]) != 0;
            }
        }
        if (failed) {
            state.SkipWithError("a system call failed");
            break;
        }
    }
    state.counters["commands"] = static_cast<double>(count);
    state.counters["per_command"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Letter case: a thousand swaps in a directory of ten thousand files, spelled as
// on the disk and with every name in the other case.
constexpr std::size_t kCaseSwaps = 1000;
constexpr std::size_t kCaseFillers = 10000 - 2 * kCaseSwaps;

void RegisterAll() {
    for (const auto& [command, name] :
         {std::pair{Command::RenameEx, "RenameEx"}, std::pair{Command::Rename, "Rename"}}) {
        benchmark::RegisterBenchmark((std::string(name) + "/launcher").c_str(), LauncherRun,
                                     command, 0, false)
            ->Arg(100)
            ->Arg(1000)
            ->Arg(10000)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string(name) + "/system_calls").c_str(), SystemCallRun,
                                     command, 0)
            ->Arg(100)
            ->Arg(1000)
            ->Arg(10000)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("LetterCase/exact", LauncherRun, Command::RenameEx, kCaseFillers,
                                 false)
        ->Arg(kCaseSwaps)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LetterCase/wrong", LauncherRun, Command::RenameEx, kCaseFillers,
                                 true)
        ->Arg(kCaseSwaps)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LetterCase/system_calls", SystemCallRun, Command::RenameEx,
                                 kCaseFillers)
        ->Arg(kCaseSwaps)
        ->Unit(benchmark::kMillisecond);
}

const bool registered = (RegisterAll(), true);

}  // namespace
}  // namespace srdw::bench
