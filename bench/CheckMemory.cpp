// The memory SrdwCheck takes at its peak for a large script, as a mod author
// runs it: the script read, checked with the dry run on a game folder where
// every command fails (the dry run's heaviest case), and the report written.
//   srdw_check_memory [BYTES]     a generated script of about BYTES (48 MiB)
// Prints "name=value" lines for tools/bench; the bound is the most the check
// may take, and the exit status is 1 when the peak is above it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "CountingHeap.h"
#include "check/ScriptCheck.h"

int main(int argc, char** argv) {
    const std::size_t wanted = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 48u << 20;
    srdw::bench::ScratchDir dir("check-memory");
    const auto path = dir.Path() / "SrdwLaunch.dat";
    srdw::bench::fs::create_directory(dir.Path() / "game");
    const std::size_t bytes = srdw::bench::WriteGeneratedScript(path, wanted);
    if (bytes == 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    const srdw::bench::MemoryProbe probe;
    std::size_t textBytes = 0;
    std::size_t jsonBytes = 0;
    std::size_t commands = 0;
    {
        const auto source = srdw::NativeFileSystem().ReadWholeFile(path.string());
        if (!source) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        srdw::check::CheckOptions options;
        options.gameDirectory = (dir.Path() / "game").string();
        const auto report = srdw::check::CheckScript(path.string(), *source, options);
        commands = report.commandCount;
        // Each report is kept whole, as a mod's CI that reads it would.
        const std::string text = srdw::check::TextReport(report);
        textBytes = text.size();
        const std::string json = srdw::check::JsonReport(report);
        jsonBytes = json.size();
    }
    // The script's bytes, its cleaned text and map, the checker's calls (which
    // the dry run's engine runs, without a load of its own), the dry run's
    // journal, and what a report lists at most.
    const double bound =
        6.0 * static_cast<double>(bytes) + 250.0 * static_cast<double>(commands) + 16.0 * (1 << 20);
    const std::size_t peak = probe.Print(bytes, commands, bound);
    std::printf("text_report_bytes=%zu\n", textBytes);
    std::printf("json_report_bytes=%zu\n", jsonBytes);
    return static_cast<double>(peak) <= bound ? 0 : 1;
}
