#include "platform/posix/SystemCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>

namespace srdw::posix {

namespace {

// The system's own functions, with the types the table gives them.
#define SRDW_DEFINE_ORIGINAL(name, result, parameters, arguments) \
    result Original_##name parameters {                           \
        return ::name arguments;                                  \
    }
SRDW_POSIX_SYSTEM_CALLS(SRDW_DEFINE_ORIGINAL)
#undef SRDW_DEFINE_ORIGINAL

enum Index {
#define SRDW_INDEX(name, result, parameters, arguments) k_##name,
    SRDW_POSIX_SYSTEM_CALLS(SRDW_INDEX)
#undef SRDW_INDEX
};

struct Entry {
    std::string_view name;
    AnySystemCall current;
    AnySystemCall original;
};

Entry table[] = {
#define SRDW_ENTRY(name, result, parameters, arguments) \
    {#name, Erased(&Original_##name), Erased(&Original_##name)},
    SRDW_POSIX_SYSTEM_CALLS(SRDW_ENTRY)
#undef SRDW_ENTRY
};

Entry* Find(std::string_view name) {
    for (Entry& entry : table) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

namespace sys {
// NOLINTBEGIN(bugprone-macro-parentheses): an argument list cannot stand in parentheses
#define SRDW_DEFINE_SYSTEM_CALL(name, result, parameters, arguments)             \
    result name parameters {                                                     \
        return reinterpret_cast<name##_call>(table[k_##name].current) arguments; \
    }
SRDW_POSIX_SYSTEM_CALLS(SRDW_DEFINE_SYSTEM_CALL)
// NOLINTEND(bugprone-macro-parentheses)
#undef SRDW_DEFINE_SYSTEM_CALL
}  // namespace sys

bool SetSystemCall(std::string_view name, AnySystemCall call) {
    Entry* entry = Find(name);
    if (entry) {
        entry->current = call ? call : entry->original;
    }
    return entry != nullptr;
}

AnySystemCall GetSystemCall(std::string_view name) {
    const Entry* entry = Find(name);
    return entry ? entry->current : nullptr;
}

AnySystemCall OriginalSystemCall(std::string_view name) {
    const Entry* entry = Find(name);
    return entry ? entry->original : nullptr;
}

void ResetSystemCalls() {
    for (Entry& entry : table) {
        entry.current = entry.original;
    }
}

std::string_view NextSystemCall(std::string_view name) {
    if (name.empty()) {
        return table[0].name;
    }
    const Entry* entry = Find(name);
    return entry && entry + 1 != std::end(table) ? entry[1].name : std::string_view();
}

}  // namespace srdw::posix
