#include "platform/SystemCalls.h"

namespace srdw {

namespace {

SystemCall* Find(std::string_view name) {
    for (SystemCall& entry : SystemCallTable()) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

bool SetSystemCall(std::string_view name, AnySystemCall call) {
    SystemCall* entry = Find(name);
    if (entry) {
        entry->current = call ? call : entry->original;
    }
    return entry != nullptr;
}

AnySystemCall OriginalSystemCall(std::string_view name) {
    const SystemCall* entry = Find(name);
    return entry ? entry->original : nullptr;
}

}  // namespace srdw
