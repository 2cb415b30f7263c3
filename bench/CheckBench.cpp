// SrdwCheck on scripts as mod authors write them: the analysis alone, and with
// the dry run on a game folder (where the generated script's files are missing,
// so every command fails and is logged: the dry run's heaviest case).
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "check/ScriptCheck.h"

namespace srdw::bench {
namespace {

void RunCheck(benchmark::State& state, bool dryRun) {
    const std::string script = RealisticScript(static_cast<std::size_t>(state.range(0)));
    ScratchDir game("check");
    check::CheckOptions options;
    if (dryRun) {
        options.gameDirectory = game.Path().string();
    }
    std::size_t commands = 0;
    for (auto _ : state) {
        const auto report = check::CheckScript("bench.dat", script, options);
        commands = report.commands.size();
        benchmark::DoNotOptimize(report.findings.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(script.size()));
    state.counters["commands"] = static_cast<double>(commands);
}

void BM_Check(benchmark::State& state) {
    RunCheck(state, false);
}
void BM_CheckDryRun(benchmark::State& state) {
    RunCheck(state, true);
}

BENCHMARK(BM_Check)->Name("Check")->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckDryRun)
    ->Name("CheckDryRun")
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace srdw::bench
