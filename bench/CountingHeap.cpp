// Every byte that operator new hands out, as the heap counts it, and the most
// that was out at once: operator new and delete replaced for the whole program.
#include "CountingHeap.h"

#include <malloc.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

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

namespace srdw::bench {

std::size_t HeapInUse() {
    return g_current.load();
}

std::size_t HeapPeak() {
    return g_peak.load();
}

void ResetHeapPeak() {
    g_peak = g_current.load();
}

long MaxResidentKib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

MemoryProbe::MemoryProbe() : residentBefore_(MaxResidentKib()), heapBefore_(HeapInUse()) {
    ResetHeapPeak();
}

std::size_t MemoryProbe::Print(std::size_t scriptBytes, std::size_t commands, double bound) const {
    const long residentAfter = MaxResidentKib();
    const std::size_t peak = HeapPeak() - heapBefore_;
    std::printf("script_bytes=%zu\n", scriptBytes);
    std::printf("commands=%zu\n", commands);
    std::printf("peak_heap_bytes=%zu\n", peak);
    std::printf("bound_bytes=%.0f\n", bound);
    std::printf("peak_per_script_byte=%.3f\n",
                static_cast<double>(peak) / static_cast<double>(scriptBytes));
    std::printf("max_resident_before_kib=%ld\n", residentBefore_);
    std::printf("max_resident_after_kib=%ld\n", residentAfter);
    return peak;
}

}  // namespace srdw::bench
