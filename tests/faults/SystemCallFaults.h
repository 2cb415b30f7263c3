// Faults put into the POSIX backend's system-call table, so that a trial runs
// the launcher as it ships around them. Every call that changes something on
// disk (a create, write, sync, move, link, removal, mode change or new folder)
// counts as one change; at the N-th the process ends on the spot, as a power
// loss would, or that change fails once or from then on. A trace of every
// change that went through, with the bytes written, feeds the crash-state
// explorer.
#pragma once

#include <string>

namespace srdw::test {

// ShortThenFull: the N-th change, a write, writes half its bytes and reports
// that; every change from then on fails as on a full disk.
enum class FaultMode { None, Kill, FailOnce, FailFromThenOn, ShortThenFull };

struct FaultPlan {
    FaultMode mode = FaultMode::None;
    int at = 0;             // the change the fault falls on, counting from 1
    int error = 0;          // the errno value of a failing change
    std::string tracePath;  // where to write the trace; none when empty
};

// The exit code of a run ended at its N-th change.
inline constexpr int kKilledExitCode = 86;

// Puts the faulty calls into the table for the rest of the process.
void InstallSystemCallFaults(const FaultPlan& faults);
// The changes counted so far.
int SystemCallChanges();

}  // namespace srdw::test
