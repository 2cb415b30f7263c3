#!/bin/sh
# Crash and I/O-error trials: the launcher is ended, or one of its changes to the
# system fails, at every single change of a whole run in turn; after the next
# start the game folder must be exactly as it was.
#   fault-trials.sh FAULTY_LAUNCHER LAUNCHER
# FAULTY_LAUNCHER is the launcher with a fault at its N-th change (see
# FaultyLauncher.cpp); LAUNCHER is the real one, used for the starts after.
# SRDW_TRIAL_SHARD=I/N runs only every N-th trial from the I-th, so that N runs
# side by side share the trials out; every shard goes through the same
# sequence, so together they run each trial once.
set -eu
shard=${SRDW_TRIAL_SHARD:-1/1}
shard_index=${shard%/*}
shard_count=${shard#*/}
# In memory where it can be: the trials make many small files. The launchers are
# copied there once and linked into each trial.
work=$(mktemp -d -p "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
cp "$1" "$work/faulty"
cp "$2" "$work/real"
faulty="$work/faulty"
real="$work/real"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0
trials=0
ran=0
mine=1

. "$(dirname "$0")/sample.sh"
make_sample() {
    make_sample_folder "$1"
    g="$1/Skyrend 2"
    # The game crashes the machine, as far as the launcher sees it, when told to.
    printf '#!/bin/sh\n[ ! -e ../crash ] || kill -KILL $PPID\nexit 0\n' >"$g/srend.exe"
    chmod +x "$g/srend.exe"
}

# Runs a launcher in a trial's folder; the rest of the environment is the trial's own.
# Nothing runs in another shard's trial.
run() { # trial launcher [arguments...]
    [ "$mine" -eq 1 ] || return 0
    t="$1"
    shift
    ln -f "$1" "$t/Skyrend 2/SrdwLaunch"
    shift
    (cd "$t/Skyrend 2" && XDG_CONFIG_HOME="$t/config" XDG_RUNTIME_DIR="$t" WINDIR="$t" \
        ./SrdwLaunch "$@" </dev/null 2>/dev/null) || true
}

# A fresh trial folder. "trial always" is a trial that every shard runs, because
# what follows depends on it (it counts a run's changes).
trial() {
    t="$work/trial"
    chmod -R u+w "$t" 2>/dev/null || true
    rm -rf "$t"
    cp -a "$work/original" "$t"
    trials=$((trials + 1))
    mine=$(((trials - 1) % shard_count + 1 == shard_index))
    [ "${1:-}" != always ] || mine=1
    ran=$((ran + mine))
}

# The folder is as it was, and nothing of the launcher's is left but its log.
expect_restored() { # what
    if [ "$mine" -ne 1 ]; then
        return
    elif folder_differs "$t" "$1"; then
        failures=$((failures + 1))
    elif [ -e "$t/Skyrend 2/restore.mod" ] || [ -e "$t/Skyrend 2/restore.jnl" ] ||
        [ -e "$t/config/autostart/SrdwLaunch.desktop" ]; then
        echo "FAIL: $1: a marker, a journal or a start-up entry is left"
        failures=$((failures + 1))
    fi
}

mkdir -p "$work/original"
make_sample "$work/original"
original=$(state "$work/original")
original_contents=$(contents "$work/original")

# How many changes a whole run makes.
trial always
SRDW_FAULT_COUNT="$work/count" run "$t" "$faulty"
total=$(cat "$work/count")
expect_restored "a run without faults"
echo "a whole run makes $total changes"

# Killed at every change, then started again: by the start-up entry, by hand,
# and killed a second time during that recovery before a third start.
for n in $(seq "$total"); do
    for restart in entry hand; do
        trial
        SRDW_FAULT_MODE=kill SRDW_FAULT_AT=$n run "$t" "$faulty"
        if [ $restart = entry ]; then run "$t" "$real" /recover; else run "$t" "$real"; fi
        # A start-up entry left by a kill before the marker was written does its
        # harmless restore at the next log-in.
        if [ -e "$t/config/autostart/SrdwLaunch.desktop" ]; then run "$t" "$real" /recover; fi
        rm -f "$t/config/autostart/SrdwLaunch.desktop"
        expect_restored "killed at change $n, restarted by $restart"
    done
    trial always
    SRDW_FAULT_MODE=kill SRDW_FAULT_AT=$n run "$t" "$faulty"
    SRDW_FAULT_COUNT="$work/recovery-count" run "$t" "$faulty"
    recovery=$(cat "$work/recovery-count")
    for m in $(seq "$recovery"); do
        trial
        SRDW_FAULT_MODE=kill SRDW_FAULT_AT=$n run "$t" "$faulty"
        SRDW_FAULT_MODE=kill SRDW_FAULT_AT=$m run "$t" "$faulty"
        run "$t" "$real"
        if [ -e "$t/config/autostart/SrdwLaunch.desktop" ]; then run "$t" "$real" /recover; fi
        rm -f "$t/config/autostart/SrdwLaunch.desktop"
        expect_restored "killed at change $n, then at change $m of the recovery"
    done
done
kill_trials=$trials
echo "kill trials: $kill_trials"

# A script written to trip a restore that re-reads it: a directory that the
# install creates and then works in, a game file there under the name the
# script renames to, a name spelled in another letter case, a swap whose
# install fails on a game file, a failed rename onto a target another command
# filled, "@cmdline" (started with "/edit", which is cut before the game), and
# the script moving its own file. Killed at every change, restarted by the
# start-up entry, by hand, and by hand after a mod update replaced the script.
make_hostile() {
    g="$1/Skyrend 2"
    mkdir -p "$g/Sub.off" "$g/Data"
    printf 'sky' >"$g/Sky.pak"
    printf 'dusk' >"$g/Sky.dw"
    printf 'moon' >"$g/Moon.pak"
    printf 'moon mod' >"$g/Moon.dw"
    printf 'notes' >"$g/notes.txt"
    printf 'readme' >"$g/Readme.txt"
    printf 'game b' >"$g/b.txt"
    printf 'mod a' >"$g/Sub.off/a.txt"
    chmod a-w "$g/Sky.pak"
    printf '%s\r\n' \
        'RenameEx("@rootdir\SKY.pak", "@rootdir\sky.DW", "@rootdir\Sky.bak")' \
        'RenameEx("@rootdir\Clouds.pak", "@rootdir\Moon.dw", "@rootdir\Moon.pak")' \
        'Rename("@rootdir\notes.txt", "@rootdir\n.txt")' \
        'Rename("@rootdir\c.txt", "@rootdir\n.txt")' \
        'Rename("@rootdir\Readme.txt", "@rootdir\Data@cmdline")' \
        'Rename("@rootdir\SrdwLaunch.dat", "@rootdir\moved.dat")' \
        'Rename(Sub.off, Sub)' \
        'SetDirectory(Sub)' \
        'Rename(a.txt, b.txt)' >"$g/SrdwLaunch.dat"
    printf '#!/bin/sh\nexit 0\n' >"$g/srend.exe"
    chmod +x "$g/srend.exe"
}
rm -rf "$work/original"
mkdir -p "$work/original"
make_hostile "$work/original"
original=$(state "$work/original")
trial always
SRDW_FAULT_COUNT="$work/count" run "$t" "$faulty" /edit
hostile_total=$(cat "$work/count")
expect_restored "the hostile script without faults"
for n in $(seq "$hostile_total"); do
    for restart in entry hand update; do
        trial
        SRDW_FAULT_MODE=kill SRDW_FAULT_AT=$n run "$t" "$faulty" /edit
        case $restart in
            entry) run "$t" "$real" /recover ;;
            hand) run "$t" "$real" ;;
            update)
                script="$t/Skyrend 2/SrdwLaunch.dat"
                [ -e "$script" ] && cp "$script" "$work/script" && printf 'Rename(b.txt, Readme.txt)\r\n' >"$script"
                run "$t" "$real"
                [ -e "$script" ] && [ -e "$work/script" ] && cp "$work/script" "$script"
                rm -f "$work/script" ;;
        esac
        if [ -e "$t/config/autostart/SrdwLaunch.desktop" ]; then run "$t" "$real" /recover; fi
        rm -f "$t/config/autostart/SrdwLaunch.desktop"
        expect_restored "hostile script killed at change $n, restarted by $restart"
    done
done
echo "hostile script: $hostile_total changes a run"
rm -rf "$work/original"
mkdir -p "$work/original"
make_sample "$work/original"
original=$(state "$work/original")
kill_trials=$trials

# Every change failing once, and from then on, with each kind of error: no
# content is ever lost, and after the next start every file is back.
for n in $(seq "$total"); do
    for mode in once always; do
        for error in access sharing full xdev; do
            trial
            SRDW_FAULT_MODE=$mode SRDW_FAULT_AT=$n SRDW_FAULT_ERROR=$error run "$t" "$faulty"
            if [ "$(contents "$t")" != "$original_contents" ]; then
                echo "FAIL: change $n failing $mode ($error): file content lost"
                failures=$((failures + 1))
                continue
            fi
            log=$(cat "$t/Skyrend 2/SrdwLaunch.log" 2>/dev/null || true)
            run "$t" "$real"
            if [ "$(state "$t")" != "$original" ]; then
                # Only what the failing run's log names may still be out of place,
                # unless the log could not be written either.
                if printf '%s' "$log" | grep -q 'Log finished' &&
                    ! printf '%s' "$log" | grep -q -e 'FAILED!' -e 'ERROR'; then
                    echo "FAIL: change $n failing $mode ($error): files moved without a log line"
                    failures=$((failures + 1))
                fi
                run "$t" "$real"  # and one more start puts them back
            fi
            rm -f "$t/config/autostart/SrdwLaunch.desktop"
            expect_restored "change $n failing $mode ($error)"
        done
    done
done
io_trials=$((trials - kill_trials))

# Every change refused or cut short (a full disk, an I/O error), and then a
# crash while the game runs: above all the marker's and the journal's open,
# write and sync. An install that could not be recorded moves nothing; one
# that was is undone by the next start. Nothing of the launcher's is left.
for n in $(seq "$total"); do
    for fault in once:access once:io always:full short:full; do
        trial
        touch "$t/crash"
        SRDW_FAULT_MODE=${fault%:*} SRDW_FAULT_AT=$n SRDW_FAULT_ERROR=${fault#*:} run "$t" "$faulty"
        rm -f "$t/crash"
        if [ "$mine" -eq 1 ] && [ "$(contents "$t")" != "$original_contents" ]; then
            echo "FAIL: change $n ($fault), then a crash: file content lost"
            failures=$((failures + 1))
            continue
        fi
        run "$t" "$real"
        [ "$(state "$t")" = "$original" ] || run "$t" "$real"  # a recovery's start, then play
        rm -f "$t/config/autostart/SrdwLaunch.desktop"
        expect_restored "change $n ($fault), then a crash"
    done
done
echo "I/O-error trials: $io_trials, and $((trials - kill_trials - io_trials)) followed by a crash"
echo "fault trials: $((ran - failures)) passed, $failures failed (shard $shard of $trials trials)"
[ $failures -eq 0 ]
