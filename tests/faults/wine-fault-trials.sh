#!/bin/sh
# The crash and I/O-error trials against the Win32 backend, under Wine: the
# Windows launcher with faults in its system-call table is ended, or a change
# fails (once, or from then on), at each change of a run of the sample in turn;
# after the next start the game folder must be exactly as it was, with no
# marker, journal, lock file or start-up entry left.
#   wine-fault-trials.sh FAULTY_LAUNCHER TRIAL_GAME WINE_RUN
# The next starts are the same program without a fault: it pauses for nothing,
# so no start waits for a game window that never opens.
set -eu
faulty=$1
game=$2
wine=$3
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0
trials=0
. "$(dirname "$0")/sample.sh"

mkdir -p "$work/original"
make_sample_folder "$work/original"
cp "$game" "$work/original/Skyrend 2/srend.exe"
cp "$faulty" "$work/original/Skyrend 2/SrdwLaunch.exe"
original=$(state "$work/original")
original_contents=$(contents "$work/original")

# The launcher in the trial's folder; its settings come before the call.
launch() { # [arguments...]
    (cd "$t/Skyrend 2" && "$wine" ./SrdwLaunch.exe "$@" </dev/null >/dev/null 2>&1) || true
    # Wine's server closes a killed launcher's handles once it sees the process
    # gone, which under load can come after the next start: that start would
    # find the launcher's mutex and lock still held, and end with the records
    # kept. The lock file goes with its handle.
    for _ in $(seq 100); do
        [ -e "$t/Skyrend 2/SrdwLaunch.lock" ] || break
        sleep 0.1
    done
}
trial() {
    t="$work/trial"
    chmod -R u+w "$t" 2>/dev/null || true
    rm -rf "$t"
    cp -a "$work/original" "$t"
    trials=$((trials + 1))
}
# The next start, and the recovery that a start-up entry left starts.
restart() { # [arguments...]
    SRDW_FAULT_ENTRY="$work/entry" launch "$@"
    if [ "$(cat "$work/entry")" = yes ]; then SRDW_FAULT_ENTRY="$work/entry" launch /recover; fi
}
expect_restored() { # what
    g="$t/Skyrend 2"
    if folder_differs "$t" "$1"; then
        failures=$((failures + 1))
    elif [ -e "$g/restore.mod" ] || [ -e "$g/restore.jnl" ] || [ -e "$g/SrdwLaunch.lock" ] ||
        [ "$(cat "$work/entry")" != no ]; then
        echo "FAIL: $1: a marker, a journal, a lock file or a start-up entry is left"
        failures=$((failures + 1))
    fi
}

trial
SRDW_FAULT_COUNT="$work/count" SRDW_FAULT_ENTRY="$work/entry" launch
total=$(cat "$work/count")
expect_restored "a run without faults"
echo "a whole run makes $total changes"

for n in $(seq "$total"); do
    for restart in entry hand; do
        trial
        SRDW_FAULT_MODE=kill SRDW_FAULT_AT=$n launch
        if [ $restart = entry ]; then restart /recover; else restart; fi
        expect_restored "killed at change $n, restarted by $restart"
    done
done
kill_trials=$trials

for n in $(seq "$total"); do
    for fault in always:full once:access; do
        trial
        SRDW_FAULT_MODE=${fault%:*} SRDW_FAULT_AT=$n SRDW_FAULT_ERROR=${fault#*:} launch
        if [ "$(contents "$t")" != "$original_contents" ]; then
            echo "FAIL: change $n failing ($fault): file content lost"
            failures=$((failures + 1))
            continue
        fi
        restart
        [ "$(state "$t")" = "$original" ] || restart # a recovery's start, then play
        expect_restored "change $n failing ($fault)"
    done
done
echo "kill trials: $kill_trials; I/O-error trials: $((trials - kill_trials))"
echo "Wine fault trials: $((trials - failures)) passed, $failures failed"
[ $failures -eq 0 ]
