// The memory a script's load takes at its peak, and the time of that load in a
// fresh process, as a launcher run pays it (every page of memory new).
//   srdw_load_memory [BYTES]      a generated script of about BYTES (16 MiB)
// Prints "name=value" lines for tools/bench.
#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include "BenchSupport.h"
#include "script/ModScript.h"

namespace {

// Every byte that operator new hands out, as the heap counts it, and the most
// that was out at once.
std::atomic<std::size_t> g_current{0};
std::atomic<std::size_t> g_peak{0};

void* Counted(void* block) {
    if (block) {
        const std::size_t now = g_current += ::malloc_usable_size(block);
        std::size_t peak = g_peak.load();
        while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
        }
    }
    return block;
}

void Release(void* block) {
    if (block) {
        g_current -= ::malloc_usable_size(block);
        std::free(block);
    }
}

void* Allocate(std::size_t size) {
    if (void* block = Counted(std::malloc(size ? size : 1))) {
        return block;
    }
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
    if (void* block = Counted(std::aligned_alloc(align, rounded ? rounded : align))) {
        return block;
    }
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(std::malloc(size ? size : 1));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(std::malloc(size ? size : 1));
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void operator delete(void* block) noexcept {
    Release(block);
}
void operator delete[](void* block) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    Release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    Release(block);
}

namespace {

long MaxResidentKib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t wanted = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 16u << 20;
    srdw::bench::ScratchDir dir("memory");
    const std::string path = (dir.Path() / "SrdwLaunch.dat").string();
    {
        // Written part by part: the process holds no copy of the script before
        // the load, so its resident size shows what the load takes.
        std::ofstream out(path, std::ios::binary);
        std::size_t written = 0;
        std::string piece = srdw::bench::ScriptHeader();
        for (std::size_t i = 0; written < wanted; piece = srdw::bench::ScriptPart(i++)) {
            out << piece;
            written += piece.size();
        }
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const auto bytes = static_cast<std::size_t>(srdw::bench::fs::file_size(path));

    const long residentBefore = MaxResidentKib();
    const std::size_t heapBefore = g_current.load();
    g_peak = heapBefore;
    const auto start = std::chrono::steady_clock::now();
    std::size_t commands = 0;
    {
        srdw::ModScript script;
        if (!script.Load(path)) {
            std::fprintf(stderr, "the script did not load\n");
            return 1;
        }
        commands = script.Commands().size();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const long residentAfter = MaxResidentKib();
    const std::size_t peak = g_peak.load() - heapBefore;
    const double bound = 2.5 * static_cast<double>(bytes) + 200.0 * static_cast<double>(commands);

    std::printf("script_bytes=%zu\n", bytes);
    std::printf("commands=%zu\n", commands);
    std::printf("peak_heap_bytes=%zu\n", peak);
    std::printf("bound_bytes=%.0f\n", bound);
    std::printf("peak_per_script_byte=%.3f\n",
                static_cast<double>(peak) / static_cast<double>(bytes));
    std::printf("max_resident_before_kib=%ld\n", residentBefore);
    std::printf("max_resident_after_kib=%ld\n", residentAfter);
    std::printf("first_load_seconds=%.6f\n", took.count());
    std::printf("first_load_bytes_per_second=%.0f\n", static_cast<double>(bytes) / took.count());
    return 0;
}
