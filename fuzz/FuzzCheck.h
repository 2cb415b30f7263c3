// What a fuzz target does when the code under test breaks one of its promises.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace srdw::fuzz {

// Aborts with the broken promise on standard error. libFuzzer treats the abort
// as a crash and keeps the input that caused it, so the message and the input
// together are the report.
inline void Require(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken promise: %s\n", promise);
        std::abort();
    }
}

}  // namespace srdw::fuzz
