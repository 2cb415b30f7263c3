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

}  // namespace srdw::bench
