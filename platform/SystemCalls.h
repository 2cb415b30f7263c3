// The system calls a backend makes, reached through one table, as SQLite's
// os_unix.c reaches its own through aSyscall: a test puts its own function in
// place of any one of them by name, and the backend around it runs as it
// ships. The kill, I/O-error and power-loss trials inject there.
//
// A backend lists its calls as X(name, result, parameters, arguments) and
// makes its typed calls of them with the macros below; its calls go to the
// table's current entries.
#pragma once

#include <span>
#include <string_view>

namespace srdw {

// Any entry of the table, whatever its type; the backend's typed calls are
// in its namespace `sys`.
using AnySystemCall = void (*)();

template <class Call>
AnySystemCall Erased(Call call) {
    return reinterpret_cast<AnySystemCall>(call);
}

struct SystemCall {
    std::string_view name;
    AnySystemCall current;
    AnySystemCall original;  // the system's own
};

// The table of the backend built into this program.
std::span<SystemCall> SystemCallTable();

// Puts `call` in place of the named entry; nullptr puts the system's own back.
// False for a name the table does not have.
bool SetSystemCall(std::string_view name, AnySystemCall call);
// The system's own function for the name, whatever stands in the table; nullptr
// for a name the table does not have.
AnySystemCall OriginalSystemCall(std::string_view name);

}  // namespace srdw

// A parameter list and a type cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)

// In the header, in namespace sys: each call and the type of its function.
#define SRDW_DECLARE_SYSTEM_CALL(name, result, parameters, arguments) \
    using name##_call = result(*) parameters;                         \
    result name parameters;

// In the backend's source file, in namespace srdw: the system's own functions,
// the table of them, SystemCallTable() and the calls, which go to the table's
// current entries.
#define SRDW_DEFINE_SYSTEM_CALLS(backend, LIST)                   \
    namespace backend {                                           \
    namespace {                                                   \
    LIST(SRDW_SYSTEM_CALL_ORIGINAL_)                              \
    enum Index { LIST(SRDW_SYSTEM_CALL_INDEX_) };                 \
    ::srdw::SystemCall table[] = {LIST(SRDW_SYSTEM_CALL_ENTRY_)}; \
    }                                                             \
    namespace sys {                                               \
    LIST(SRDW_SYSTEM_CALL_DEFINITION_)                            \
    }                                                             \
    }                                                             \
    std::span<SystemCall> SystemCallTable() {                     \
        return backend::table;                                    \
    }
#define SRDW_SYSTEM_CALL_ORIGINAL_(name, result, parameters, arguments) \
    result Original_##name parameters {                                 \
        return ::name arguments;                                        \
    }
#define SRDW_SYSTEM_CALL_INDEX_(name, result, parameters, arguments) k_##name,
#define SRDW_SYSTEM_CALL_ENTRY_(name, result, parameters, arguments) \
    {#name, ::srdw::Erased(&Original_##name), ::srdw::Erased(&Original_##name)},
#define SRDW_SYSTEM_CALL_DEFINITION_(name, result, parameters, arguments)        \
    result name parameters {                                                     \
        return reinterpret_cast<name##_call>(table[k_##name].current) arguments; \
    }

// NOLINTEND(bugprone-macro-parentheses)
