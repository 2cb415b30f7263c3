#include <sys/mman.h>

#include <cstdint>

#include "platform/Memory.h"

namespace srdw {

void PreferHugePages(void* block, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Only the whole huge pages inside the block can be such.
    constexpr std::uintptr_t kHugePage = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first) {
        // Refused (no transparent huge pages), the pages stay ordinary ones.
        static_cast<void>(
            ::madvise(static_cast<char*>(block) + (first - start), end - first, MADV_HUGEPAGE));
    }
#else
    static_cast<void>(block);
    static_cast<void>(bytes);
#endif
}

}  // namespace srdw
