// Faults put into the backend's system-call table, so that a trial runs the
// launcher as it ships around them. Every call that changes something on disk
// or in the registry (a create, write, sync, move, link, removal, mode or
// attribute change, new folder, settings or registry write) counts as one
// change; at the N-th the process ends on the spot, as a power loss would, or
// that change fails once or from then on. On POSIX a trace of every change
// that went through, with the bytes written, feeds the crash-state explorer.
#pragma once

#include <string>

#include "platform/SystemCalls.h"

namespace srdw::test {

// ShortThenFull: the N-th change, a write, writes half its bytes and reports
// that; every change from then on fails as on a full disk.
enum class FaultMode { None, Kill, FailOnce, FailFromThenOn, ShortThenFull };

struct FaultPlan {
    FaultMode mode = FaultMode::None;
    int at = 0;             // the change the fault falls on, counting from 1
    std::string error;      // what a failing change says: access, sharing, full, xdev or io
    std::string tracePath;  // where to write the trace; none when empty
};

// The exit code of a run ended at its N-th change.
inline constexpr int kKilledExitCode = 86;

// The system's own call of the name, with the type of the backend's.
template <class Call>
Call Original(const char* name) {
    return reinterpret_cast<Call>(OriginalSystemCall(name));
}

enum class FaultAction { Pass, Fail, Kill };

// Counts one change of the run; what is to become of it.
inline FaultAction NextChange(const FaultPlan& plan, int& changes) {
    ++changes;
    const bool lasting =
        plan.mode == FaultMode::FailFromThenOn || plan.mode == FaultMode::ShortThenFull;
    if (plan.mode == FaultMode::None || (changes != plan.at && !(lasting && changes > plan.at))) {
        return FaultAction::Pass;
    }
    return plan.mode == FaultMode::Kill ? FaultAction::Kill : FaultAction::Fail;
}

// Puts the faulty calls into the table for the rest of the process.
void InstallSystemCallFaults(const FaultPlan& faults);
// The changes counted so far.
int SystemCallChanges();

}  // namespace srdw::test
