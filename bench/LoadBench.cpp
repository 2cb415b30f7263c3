// Reading scripts and expanding their paths: the launcher's own work between
// the system calls, measured on its own.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <map>
#include <memory>

#include "BenchSupport.h"
#include "log/RunLog.h"
#include "script/ModScript.h"
#include "script/PathExpansion.h"

namespace srdw::bench {
namespace {

// Each size's script is written once, on first use, and read from the page cache
// by every iteration: what is measured is the launcher, not the disk.
class ScriptFiles {
  public:
    const std::string& Get(std::size_t bytes) {
        auto& path = paths_[bytes];
        if (path.empty()) {
            path = (dir_.Path() / ("script-" + std::to_string(bytes) + ".dat")).string();
            WriteFile(path, RealisticScript(bytes));
        }
        return path;
    }

  private:
    ScratchDir dir_{"load"};
    std::map<std::size_t, std::string> paths_;
};

ScriptFiles& Scripts() {
    static ScriptFiles files;
    return files;
}

// The steady state of loading: the allocator keeps what a load freed for the
// next one. Otherwise each large load would get fresh pages from the system, and
// whether it does depends on glibc's trimming heuristics, not on the launcher;
// on a virtual machine a page fault can cost more than the parsing of the page.
// What a launcher run pays, fresh pages included, srdw_load_memory measures.
void KeepFreedMemory() {
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc takes
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

void BM_Load(benchmark::State& state) {
    KeepFreedMemory();
    const std::string& path = Scripts().Get(static_cast<std::size_t>(state.range(0)));
    const auto bytes = static_cast<std::int64_t>(fs::file_size(path));
    std::size_t commands = 0;
    for (auto _ : state) {
        ModScript script;
        RunLog closed(NativeFileSystem());
        if (!script.Load(NativeFileSystem(), closed, path)) {
            state.SkipWithError("the script did not load");
            return;
        }
        commands = script.Commands().size();
        benchmark::DoNotOptimize(script.Commands().data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["commands"] = static_cast<double>(commands);
    state.counters["commands_per_second"] = benchmark::Counter(
        static_cast<double>(commands), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Load)->Name("Load")->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(
    benchmark::kMicrosecond);

// Arguments as the cleaned script holds them, quotes included.
constexpr std::string_view kTypical = "\"@rootdir\\Data\\Textures\\Sky.pak\"";
constexpr std::string_view kPlaceholders =
    "\"@rootdir\\@cmdline\\@ROOTDIR\\Mods@RootDir\\a@b\\@CmdLine@rootdir\\@rootdirx\\Sky.pak\"";
constexpr std::string_view kRoot = "/home/player/Games/Skyrend 2";
constexpr std::string_view kCommandLine = "-window";

void ExpandArgumentBench(benchmark::State& state, std::string_view source) {
    for (auto _ : state) {
        auto expanded = ExpandArgument(source, kRoot, kCommandLine);
        benchmark::DoNotOptimize(expanded);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(ExpandArgumentBench, typical, kTypical)->Name("ExpandArgument/typical");
BENCHMARK_CAPTURE(ExpandArgumentBench, placeholders, kPlaceholders)
    ->Name("ExpandArgument/placeholders");

// With the log on, as in a run: it is written to /dev/null (through a link where
// the log would be), so that millions of iterations fill no disk but still make
// the log's system calls.
void ExpandPathBench(benchmark::State& state, std::string_view source) {
    ScratchDir dir("expand");
    const fs::path log = dir.Path() / "SrdwLaunch.log";
    fs::create_symlink("/dev/null", log);
    RunLog runLog(NativeFileSystem());
    runLog.Open(log.string());
    for (auto _ : state) {
        // As a command expands an argument: the expansion, told to the log.
        auto expanded = ExpandArgument(source, kRoot, kCommandLine);
        runLog.PathExpanded(source,
                            expanded ? std::optional<std::string_view>(*expanded) : std::nullopt);
        benchmark::DoNotOptimize(expanded);
    }
    runLog.Close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(ExpandPathBench, typical, kTypical)->Name("ExpandPath/typical");
BENCHMARK_CAPTURE(ExpandPathBench, placeholders, kPlaceholders)->Name("ExpandPath/placeholders");

}  // namespace
}  // namespace srdw::bench
