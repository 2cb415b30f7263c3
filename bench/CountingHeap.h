// The heap of a memory benchmark's process, counted: linking CountingHeap.cpp
// replaces operator new and delete.
#pragma once

#include <cstddef>

namespace srdw::bench {

// Bytes handed out by operator new and not yet given back.
std::size_t HeapInUse();
// The most that was in use at once since the last ResetHeapPeak.
std::size_t HeapPeak();
void ResetHeapPeak();
// The process's largest resident set so far.
long MaxResidentKib();

// The measured stretch of a memory benchmark, from construction to Print.
class MemoryProbe {
  public:
    MemoryProbe();
    // Prints the stretch's figures for tools/bench, "name=value" lines: the
    // script's size and commands, the peak heap and its bound, the resident set
    // before and after. Returns the peak heap.
    std::size_t Print(std::size_t scriptBytes, std::size_t commands, double bound) const;

  private:
    long residentBefore_;
    std::size_t heapBefore_;
};

}  // namespace srdw::bench
