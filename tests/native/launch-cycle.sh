#!/bin/sh
# The whole launch cycle of the Linux launcher, end to end, against a real game
# folder with a stand-in game:
#   launch-cycle.sh LAUNCHER
# Every case runs in a fresh folder; settings, start-up entries and the launcher
# lock live inside it too (WINDIR, XDG_CONFIG_HOME, XDG_RUNTIME_DIR).
set -eu
launcher=$(realpath "$1")
work=$(mktemp -d)
trap 'umount "$work/full" 2>/dev/null || true; chmod -R u+w "$work"; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" WINDIR="$work/windows"
mkdir -p "$XDG_RUNTIME_DIR" "$WINDIR"
autostart="$XDG_CONFIG_HOME/autostart/SrdwLaunch.desktop"
failures=0
passes=0

fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }
pass() { echo "ok   [$case]"; passes=$((passes + 1)); }
check() { if [ "$1" = "$2" ]; then return 0; fi; fail "$3: got '$1', expected '$2'"; return 1; }

# A game folder: files in sub-folders, names with spaces, a read-only file, the
# launcher, its script and the stand-in game.
make_game() {
    mkdir -p "$1/Data/Textures" "$1/Data/Maps"
    printf 'sky' >"$1/Data/Textures/Sky.pak"
    chmod a-w "$1/Data/Textures/Sky.pak"
    printf 'dusk sky' >"$1/Data/Textures/Sky.dw"
    printf 'world' >"$1/Data/Maps/World Map.map"
    printf 'dusk world' >"$1/Data/Maps/World Map.dw"
    printf 'notes' >"$1/Readme.txt"
    printf '%s\r\n' '// Duskwarden' \
        'RenameEx("@rootdir\Data\Textures\SKY.pak", "@rootdir\Data\Textures\Sky.dw", "@rootdir\Data\Textures\Sky.bak");' \
        'SetDirectory(data)' \
        'RenameEx("Maps\World Map.map", "Maps\World Map.dw", "Maps\World Map.bak")' \
        'SetDirectory(@rootdir)' \
        'Rename(Readme.txt, "Readme old.txt")' >"$1/SrdwLaunch.dat"
    cp "$launcher" "$1/SrdwLaunch"
    cat >"$1/srend.exe" <<'GAME'
#!/bin/sh
# The stand-in game: writes down what it was given and what it finds, then
# stays running for as long as the file hold-game exists.
{
    printf 'args:'
    for argument in "$@"; do printf ' [%s]' "$argument"; done
    echo
    echo "cwd: $(pwd)"
    [ -e restore.mod ] && echo "marker: $(cat restore.mod)"
    [ -e "$XDG_CONFIG_HOME/autostart/SrdwLaunch.desktop" ] && echo "autostart: present"
    find Data Readme* -type f 2>/dev/null | sort | while IFS= read -r file; do
        echo "file: $file = $(cat "$file")"
    done
} >game-run.txt
touch game-started
while [ -e hold-game ]; do sleep 0.05; done
GAME
    chmod +x "$1/srend.exe"
}

# Names, modes and contents of the game's files, the launcher's own traces left out.
state() {
    (cd "$1" && find . -type f ! -name 'SrdwLaunch.log*' ! -name 'game-*' | sort | while IFS= read -r file; do
        echo "$file $(stat -c %a "$file") $(cat "$file" | md5sum)"
    done)
}

# The launcher's log without its time stamps and with LF line ends.
log_of() { tr -d '\r' <"$1/SrdwLaunch.log" | sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#TIME#'; }

wait_for() { # file
    for _ in $(seq 200); do [ -e "$1" ] && return 0; sleep 0.05; done
    fail "timed out waiting for $1"
    return 1
}

# Runs the start-up entry's command as a desktop session would at log-in: the
# value's escapes undone, "%%" read as "%", and the quoting left to the shell.
# Its standard error goes to the file given, if any.
run_autostart_entry() {
    command=$(sed -n 's/^Exec=//p' "$autostart" | sed 's/\\\\/\\/g; s/%%/%/g')
    eval "$command" </dev/null 2>"${1:-/dev/null}"
}

# A fresh game folder "$g" (its state in "$before") and a launcher started there
# in the background ("$pid"); true once the game runs, until hold-game is removed.
start_playing() {
    make_game "$g"
    before=$(state "$g")
    touch "$g/hold-game"
    (cd "$g" && exec ./SrdwLaunch </dev/null) &
    pid=$!
    wait_for "$g/game-started"
}

# ---------------------------------------------------------------------------
case="normal cycle"
g="$work/normal game"
make_game "$g"
before=$(state "$g")
(cd "$g" && ./SrdwLaunch "  -Window" /EDIT "-Debug  " </dev/null)
run=$(cat "$g/game-run.txt")
expected_run="args: [-window] [-debug]
cwd: $g
marker: $g/SrdwLaunch.dat
autostart: present
file: Data/Maps/World Map.bak = world
file: Data/Maps/World Map.map = dusk world
file: Data/Textures/Sky.bak = sky
file: Data/Textures/Sky.pak = dusk sky
file: Readme old.txt = notes"
rule='~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~'
sky="$g\\Data\\Textures\\"
expected_log="Skyrend II: Duskwarden
Log started: TIME
$rule
Loading script: $g/SrdwLaunch.dat

Installing script...
Executing 'RenameEx()'
- Parsing path: '\"@rootdir\\Data\\Textures\\SKY.pak\"' -> '${sky}SKY.pak'
- Parsing path: '\"@rootdir\\Data\\Textures\\Sky.dw\"' -> '${sky}Sky.dw'
- Parsing path: '\"@rootdir\\Data\\Textures\\Sky.bak\"' -> '${sky}Sky.bak'
Swapping files...succeeded!
Executing 'SetDirectoty()'
- Parsing path: 'data' -> 'data'
Executing 'RenameEx()'
- Parsing path: '\"Maps\\World Map.map\"' -> 'Maps\\World Map.map'
- Parsing path: '\"Maps\\World Map.dw\"' -> 'Maps\\World Map.dw'
- Parsing path: '\"Maps\\World Map.bak\"' -> 'Maps\\World Map.bak'
Swapping files...succeeded!
Executing 'SetDirectoty()'
- Parsing path: '@rootdir' -> '$g'
Executing 'Rename()'
- Parsing path: 'Readme.txt' -> 'Readme.txt'
- Parsing path: '\"Readme old.txt\"' -> 'Readme old.txt'

Executing 'ShellExecuteEx()'
 > App: $g\\srend.exe
 > Command: -window  -debug
 > Path: $g

Restoring script...
Executing 'Rename()'
- Parsing path: 'Readme.txt' -> 'Readme.txt'
- Parsing path: '\"Readme old.txt\"' -> 'Readme old.txt'
Executing 'SetDirectoty()'
- Parsing path: '@rootdir' -> '$g'
Executing 'RenameEx()'
- Parsing path: '\"Maps\\World Map.map\"' -> 'Maps\\World Map.map'
- Parsing path: '\"Maps\\World Map.dw\"' -> 'Maps\\World Map.dw'
- Parsing path: '\"Maps\\World Map.bak\"' -> 'Maps\\World Map.bak'
Unswapping files...succeeded!
Executing 'SetDirectoty()'
- Parsing path: 'data' -> 'data'
Executing 'RenameEx()'
- Parsing path: '\"@rootdir\\Data\\Textures\\SKY.pak\"' -> '${sky}SKY.pak'
- Parsing path: '\"@rootdir\\Data\\Textures\\Sky.dw\"' -> '${sky}Sky.dw'
- Parsing path: '\"@rootdir\\Data\\Textures\\Sky.bak\"' -> '${sky}Sky.bak'
Unswapping files...succeeded!

$rule
Log finished: TIME"
check "$run" "$expected_run" "what the game saw" &&
    check "$(log_of "$g")" "$expected_log" "the log" &&
    check "$(state "$g")" "$before" "the folder afterwards" &&
    check "$(ls "$g/restore.mod" "$autostart" 2>/dev/null)" "" "marker and start-up entry afterwards" &&
    pass

# ---------------------------------------------------------------------------
case="launcher killed while the game runs"
g="$work/killed it's \"odd\" \$HOME \`id\` 100%"
make_game "$g"
before=$(state "$g")
for restart in by-hand by-start-up-entry; do
    touch "$g/hold-game"
    rm -f "$g/game-started"
    (cd "$g" && exec ./SrdwLaunch </dev/null) &
    pid=$!
    wait_for "$g/game-started" || break
    kill -9 $pid
    wait $pid 2>/dev/null || true
    rm -f "$g/hold-game"
    sleep 0.2
    if [ ! -e "$g/restore.mod" ] || [ ! -e "$autostart" ] || [ "$(state "$g")" = "$before" ]; then
        fail "expected an installed mod, a marker and a start-up entry after the kill"
        break
    fi
    if [ $restart = by-hand ]; then
        marker=$(cat "$g/restore.mod")
        printf '%s\r\n' "$marker" >"$g/restore.mod"  # as an editor or a sync tool leaves it
        (cd "$g" && ./SrdwLaunch </dev/null)
        check "$(state "$g")" "$before" "restored by a start by hand" || break
        grep -q "found '/recover' switch" "$g/SrdwLaunch.log" || fail "no recovery in the log"
    fi
    if [ $restart = by-hand ]; then
        # The recovery by hand has used up the start-up entry too.
        check "$(ls "$autostart" 2>/dev/null)" "" "start-up entry after a recovery by hand" || break
    else
        run_autostart_entry  # as at the next log-in
        check "$(state "$g")" "$before" "restored by the start-up entry" || break
    fi
    check "$(ls "$g/restore.mod" "$g/restore.jnl" "$autostart" 2>/dev/null)" "" "records left ($restart)" || break
done
[ $failures -eq 0 ] && pass

# ---------------------------------------------------------------------------
case="a recovery that cannot finish is told"
g="$work/stuck"
if start_playing; then
    kill -9 $pid
    wait $pid 2>/dev/null || true
    rm -f "$g/hold-game"
    sleep 0.2
    rm -f "$g/game-started"
    cp "$g/SrdwLaunch.log" "$work/crashed.log"
    printf 'unpacked again' >"$g/Data/Textures/Sky.dw"  # in the way of the undo
    # At the log-in nobody answers: no game, and every record stays.
    run_autostart_entry "$work/stderr"
    grep -qF "Files still out of place: 2" "$work/stderr" || fail "not told: $(cat "$work/stderr")"
    grep -qF "The log says which: $g/SrdwLaunch.log" "$work/stderr" || fail "no log named"
    grep -qF "this time? [y/n]" "$work/stderr" || fail "no question"
    [ ! -e "$g/game-started" ] || fail "the game started without an answer"
    check "$(ls "$g/restore.mod" "$g/restore.jnl" "$autostart" 2>/dev/null | wc -l)" 3 "records kept"
    # By hand, answering yes: the game starts as the folder is, without the switch.
    (cd "$g" && echo y | ./SrdwLaunch /recover -Window 2>/dev/null)
    [ -e "$g/game-started" ] && grep -qx 'args: \[-window\]' "$g/game-run.txt" ||
        fail "yes did not start the game as asked"
    cmp -s "$g/SrdwLaunch.log.1" "$work/crashed.log" || fail "the crashed run's log is gone"
    rm "$g/Data/Textures/Sky.dw"
    (cd "$g" && ./SrdwLaunch </dev/null 2>/dev/null)
    check "$(state "$g")" "$before" "the folder after the next start" &&
        check "$(ls "$g/restore.mod" "$g/restore.jnl" "$autostart" 2>/dev/null)" "" "records left" &&
        pass
fi

# ---------------------------------------------------------------------------
case="second launcher while the first waits"
g="$work/second"
if start_playing; then
    cp "$g/SrdwLaunch.log" "$work/first.log"
    cp "$g/restore.mod" "$work/first.mod"
    (cd "$g" && ./SrdwLaunch </dev/null 2>"$work/stderr")
    cmp -s "$g/SrdwLaunch.log" "$work/first.log" || fail "the second launcher touched the log"
    cmp -s "$g/restore.mod" "$work/first.mod" || fail "the second launcher touched the marker"
    grep -q 'Look for its window, or let it finish: when Skyrend 2 ends' "$work/stderr" ||
        fail "the second launcher said nothing"
fi
rm -f "$g/hold-game"
wait $pid
check "$(state "$g")" "$before" "the folder afterwards" && pass

# ---------------------------------------------------------------------------
case="game found through the chooser, then through Srendcfg.ini"
g="$work/game only"
l="$work/launcher elsewhere"
make_game "$g"
mkdir -p "$l"
mv "$g/SrdwLaunch" "$g/SrdwLaunch.dat" "$l/"
sed -i 's/@rootdir/@ROOTDIR/' "$l/SrdwLaunch.dat"
before=$(state "$g")
(cd "$l" && printf '\n' | ./SrdwLaunch 2>"$work/stderr")  # cancelled
check "$(cat "$g/game-run.txt" 2>/dev/null)" "" "a game run after cancel"
printf '%s\n%s\n' "$g/Readme.txt" "$g/SREND.EXE" | (cd "$l" && ./SrdwLaunch 2>"$work/stderr")
grep -q 'Cannot find Skyrend 2!' "$work/stderr" || fail "message 1 not shown"
grep -q "$(printf '\a')" "$work/stderr" || fail "the wrong file was not refused with a bell"
check "$(grep -c '^cwd: ' "$g/game-run.txt")" 1 "game runs"
check "$(sed -n 's/^Data=//p' "$WINDIR/Srendcfg.ini")" "$g/SREND.EXE" "the remembered path"
rm "$g/game-run.txt"
(cd "$l" && ./SrdwLaunch </dev/null 2>"$work/stderr")
check "$(cat "$work/stderr")" "" "questions on the second run" &&
    check "$(sed -n 's/^cwd: //p' "$g/game-run.txt")" "$g" "the game's directory" &&
    check "$(state "$g")" "$before" "the folder afterwards" && pass
rm -f "$WINDIR/Srendcfg.ini"

# ---------------------------------------------------------------------------
case="a marker whose script is gone"
g="$work/reinstall"
make_game "$g"
before=$(state "$g")
for answer in y n c; do
    rm -f "$g/game-run.txt"
    printf '%s' "$g/Gone.dat" >"$g/restore.mod"
    printf '%s\n' $answer | (cd "$g" && ./SrdwLaunch 2>/dev/null)
    grep -q 'ERROR: Failed to load restore script!' "$g/SrdwLaunch.log" || fail "$answer: no log line"
    [ ! -e "$g/restore.mod" ] || fail "$answer: marker left"
    case $answer in
        y) grep -q 'file: Data/Textures/Sky.pak = dusk sky' "$g/game-run.txt" || fail "y: not installed" ;;
        n) grep -q 'file: Data/Textures/Sky.pak = sky' "$g/game-run.txt" || fail "n: installed" ;;
        c) [ ! -e "$g/game-run.txt" ] || fail "c: the game ran" ;;
    esac
done
check "$(state "$g")" "$before" "the folder afterwards" && pass

# ---------------------------------------------------------------------------
case="no lock in the runtime folder: the launcher's own program holds it"
g="$work/lock"
make_game "$g"
before=$(state "$g")
touch "$g/hold-game"
(cd "$g" && XDG_RUNTIME_DIR="$work/missing" exec ./SrdwLaunch </dev/null) &
pid=$!
if wait_for "$g/game-started"; then
    cp "$g/SrdwLaunch.log" "$work/first.log"
    (cd "$g" && XDG_RUNTIME_DIR="$work/missing" ./SrdwLaunch </dev/null)
    cmp -s "$g/SrdwLaunch.log" "$work/first.log" || fail "the second launcher touched the log"
    check "$(cat "$g/restore.mod")" "$g/SrdwLaunch.dat" "the marker while the first plays"
fi
kill -KILL $pid  # a kill leaves no lock file behind
wait $pid 2>/dev/null || true
rm -f "$g/hold-game"
sleep 1
rm -f "$g/game-run.txt" "$g/game-started"
check "$(ls "$g"/*.lock 2>/dev/null)" "" "a lock file after the kill"
(cd "$g" && XDG_RUNTIME_DIR="$work/missing" ./SrdwLaunch </dev/null 2>/dev/null)
check "$(ls "$g/game-run.txt" 2>/dev/null)" "" "a game run by the recovery"
check "$(state "$g")" "$before" "the folder after the recovery" && pass

# ---------------------------------------------------------------------------
case="log and marker that are links"
g="$work/links"
make_game "$g"
before=$(state "$g")
printf 'precious' >"$work/precious"
ln -s "$work/precious" "$g/SrdwLaunch.log"
ln -s "$work/nowhere" "$g/restore.mod"
echo y | (cd "$g" && ./SrdwLaunch 2>"$work/stderr")  # a marker that cannot be written: play without the mod
grep -q 'The log file is a link' "$work/stderr" || fail "no message"
grep -q "because the launcher's folder cannot be written" "$work/stderr" || fail "no question"
grep -q 'file: Data/Textures/Sky.pak = sky' "$g/game-run.txt" || fail "installed without a marker"
check "$(cat "$work/precious")" "precious" "the log's target" &&
    check "$(ls "$work/nowhere" 2>/dev/null)" "" "the marker's target" &&
    check "$(state "$g")" "$before" "the folder afterwards" && pass

# ---------------------------------------------------------------------------
case="nobody to answer the question"
g="$work/no answer"
make_game "$g"
printf '%s' "$g/Gone.dat" >"$g/restore.mod"
before=$(state "$g")
(cd "$g" && ./SrdwLaunch </dev/null 2>/dev/null)  # end of input
(cd "$g" && ./SrdwLaunch <&- 2>/dev/null)          # no input at all
grep -q '^No answer: nothing is changed; the next start asks again.' "$g/SrdwLaunch.log" ||
    fail "no log line"
check "$(ls "$autostart" 2>/dev/null)" "$autostart" "the start-up entry" &&
    check "$(state "$g")" "$before" "the folder and its marker" && pass
rm -f "$autostart"

# ---------------------------------------------------------------------------
case="a launcher whose own path is too long, holds a backslash or a control character"
# A control character without an escape in a start-up entry: the path is shown.
for name in "$(printf '%0250d' 0)" 'back\slash' "del$(printf '\177')ete$(printf '\001')"; do
    d="$work/own/$name"
    mkdir -p "$d"
    cp "$launcher" "$d/SrdwLaunch"
    printf 'Rename(a, b)' >"$d/SrdwLaunch.dat"
    listing=$(ls -AR "$work/own")
    (cd "$d" && ./SrdwLaunch </dev/null 2>"$work/stderr")
    case "$name" in
        del*) grep -qxF "$work/own/del?ete?/SrdwLaunch" "$work/stderr" ;;
        *) grep -q "Cannot use the launcher's own path!" "$work/stderr" ;;
    esac || fail "$name: no message"
    check "$(ls -AR "$work/own")" "$listing" "what is written" || break
    rm -rf "$work/own"
done
check "$(ls "$autostart" 2>/dev/null)" "" "a start-up entry" && pass

# ---------------------------------------------------------------------------
case="a game that cannot be started"
g="$work/unstartable"
make_game "$g"
chmod a-x "$g/srend.exe"
before=$(state "$g")
(cd "$g" && ./SrdwLaunch </dev/null 2>"$work/stderr")
log_of "$g" | grep -qF "ERROR: failed to start '$g\\srend.exe': Permission denied!" ||
    fail "no ERROR line"
grep -qF "Failed to start Skyrend 2!" "$work/stderr" || fail "no message"
check "$(state "$g")" "$before" "the folder afterwards" && pass

# ---------------------------------------------------------------------------
case="a game that ends and leaves a helper running"
g="$work/helper"
make_game "$g"
mv "$g/srend.exe" "$g/real-game"
printf '%s\n' '#!/bin/sh' '# The game, then a tray helper that leaves its parent and its session.' \
    './real-game "$@"' 'setsid ./tray-helper </dev/null >/dev/null 2>&1 &' >"$g/srend.exe"
printf '%s\n' '#!/bin/sh' 'echo $$ >game-helper-pid' 'while [ -e game-hold-helper ]; do sleep 0.05; done' \
    >"$g/tray-helper"
chmod +x "$g/srend.exe" "$g/tray-helper"
before=$(state "$g")
touch "$g/game-hold-helper"
(cd "$g" && exec ./SrdwLaunch </dev/null) &
pid=$!
if wait_for "$g/game-helper-pid"; then
    helper=$(cat "$g/game-helper-pid")
    cp "$g/SrdwLaunch.log" "$work/first.log"
    cp "$g/restore.mod" "$work/first.mod"
    # Other launchers, started by others: as with sudo (no runtime folder, another
    # home), and one whose runtime folder is missing (its lock beside it).
    (cd "$g" && env -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME HOME="$work/root" ./SrdwLaunch \
        </dev/null 2>"$work/stderr-sudo")
    (cd "$g" && XDG_RUNTIME_DIR="$work/missing" ./SrdwLaunch </dev/null 2>"$work/stderr-missing")
    for other in sudo missing; do
        grep -q 'Look for its window, or let it finish: when Skyrend 2 ends' \
            "$work/stderr-$other" || fail "$other: no message"
    done
    cmp -s "$g/SrdwLaunch.log" "$work/first.log" || fail "another launcher touched the log"
    cmp -s "$g/restore.mod" "$work/first.mod" || fail "another launcher touched the marker"
    grep -qF "file: Data/Textures/Sky.pak = dusk sky" "$g/game-run.txt" || fail "the game saw no mod"
    [ "$(state "$g")" != "$before" ] || fail "the mod was gone right after the game"
    wait $pid
    kill -0 "$helper" 2>/dev/null || fail "the helper did not outlive the wait"
    log_of "$g" | grep -qxF " > the game has ended; not waiting for the other programs it started" ||
        fail "no log line for the end of the wait"
    log_of "$g" | grep -qxF " > still running: tray-helper (process $helper)" ||
        fail "the helper is not named in the log"
fi
rm -f "$g/game-hold-helper"
wait $pid 2>/dev/null || true
check "$(state "$g")" "$before" "the folder afterwards" && pass

# ---------------------------------------------------------------------------
case="a copy of a crashed game folder, named in other letters"
g="$work/Copied"
start_playing
kill -KILL $pid  # a crash while the game runs
wait $pid 2>/dev/null || true
rm -f "$g/hold-game" "$g/game-run.txt" "$g/game-started"
sleep 0.2
installed=$(state "$g")
copy="$work/copied"
cp -a "$g" "$copy"
echo n | (cd "$copy" && ./SrdwLaunch 2>"$work/stderr")
grep -q "was written for another game folder:" "$work/stderr" || fail "the player was not told"
grep -qF "$g" "$work/stderr" || fail "the folder it came from is not named"
check "$(state "$g")" "$installed" "the original folder" &&
    check "$(state "$copy")" "$installed" "the copy" || true
(cd "$g" && ./SrdwLaunch </dev/null 2>/dev/null)  # the original's own recovery
check "$(state "$g")" "$before" "the original after its recovery" && pass

# ---------------------------------------------------------------------------
case="a game path that names no folder"
g="$work/bare path"
make_game "$g"
mkdir "$g/launcher"
mv "$g/SrdwLaunch" "$g/SrdwLaunch.dat" "$g/launcher/"
printf '%s\r\n' 'RenameEx("@rootdirData\Textures\Sky.pak", Data\Textures\Sky.dw, Data\Textures\Sky.bak)' \
    >"$g/launcher/SrdwLaunch.dat"
before=$(state "$g")
printf '[Global - String3]\r\nData=srend.exe\r\n' >"$WINDIR/Srendcfg.ini"
(cd "$g" && ./launcher/SrdwLaunch </dev/null 2>"$work/stderr")
check "$(cat "$work/stderr")" "" "messages" &&
    check "$(sed -n 's/^cwd: //p' "$g/game-run.txt")" "$g" "the game's folder" &&
    check "$(grep -c 'Sky.pak = dusk sky' "$g/game-run.txt")" 1 "the mod while the game runs" &&
    check "$(log_of "$g/launcher" | grep -cxF ' > Path: ')" 1 "the game's folder in the log" &&
    check "$(ls "$g"/*.lock "$g"/launcher/*.lock 2>/dev/null)" "" "a lock file" &&
    check "$(state "$g")" "$before" "the folder afterwards" && pass
rm -f "$WINDIR/Srendcfg.ini"

# ---------------------------------------------------------------------------
case="a really full disk"
g="$work/full"
mkdir -p "$g"
size=$(($(stat -c %s "$launcher") / 1024 + 512))k
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o "size=$size" tmpfs "$g" 2>/dev/null; then
    echo "skip [$case]: no small tmpfs here (needs root)"
else
    make_game "$g"
    before=$(state "$g")
    # What is left is less than the journal's plan; the launcher's log gets none.
    head -c 2M /dev/zero >"$g/filler" 2>/dev/null || true
    echo n | (cd "$g" && ./SrdwLaunch 2>"$work/stderr")
    rm -f "$g/filler"
    grep -q "because the launcher's folder cannot be written" "$work/stderr" ||
        fail "the player was not told"
    check "$(ls "$g/game-run.txt" "$g/restore.mod" "$g/restore.jnl" 2>/dev/null)" "" \
        "a game run, a marker or a journal" &&
        check "$(state "$g")" "$before" "the folder afterwards" && pass
    umount "$g"
fi

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
