// The memory a script's load takes at its peak, and the time of that load in a
// fresh process, as a launcher run pays it (every page of memory new).
//   srdw_load_memory [BYTES]      a generated script of about BYTES (16 MiB)
// Prints "name=value" lines for tools/bench.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "BenchSupport.h"
#include "CountingHeap.h"
#include "log/RunLog.h"
#include "script/ModScript.h"

int main(int argc, char** argv) {
    const std::size_t wanted = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 16u << 20;
    srdw::bench::ScratchDir dir("memory");
    const std::string path = (dir.Path() / "SrdwLaunch.dat").string();
    // Written part by part: the process holds no copy of the script before the
    // load, so its resident size shows what the load takes.
    const std::size_t bytes = srdw::bench::WriteGeneratedScript(path, wanted);
    if (bytes == 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    const srdw::bench::MemoryProbe probe;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::size_t commands = 0;
    {
        srdw::ModScript script;
        srdw::RunLog closed(srdw::NativeFileSystem());
        if (!script.Load(srdw::NativeFileSystem(), closed, path)) {
            std::fprintf(stderr, "the script did not load\n");
            return 1;
        }
        commands = script.Commands().size();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    // CPU time too: on a shared machine the wall clock also counts the waits
    // for a core.
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    probe.Print(bytes, commands,
                2.5 * static_cast<double>(bytes) + 200.0 * static_cast<double>(commands));
    std::printf("first_load_seconds=%.6f\n", took.count());
    std::printf("first_load_bytes_per_second=%.0f\n", static_cast<double>(bytes) / took.count());
    std::printf("first_load_cpu_seconds=%.6f\n", cpu);
    std::printf("first_load_cpu_bytes_per_second=%.0f\n", static_cast<double>(bytes) / cpu);
    return 0;
}
