#!/bin/sh
# SrdwCheck end to end, as a mod author runs it: help, options and exit codes,
# its report on the sample game and on scripts with surprises, JSON, and its dry
# run set against a real launch cycle of the launcher in a copy of the game.
#   srdwcheck.sh CHECK LAUNCHER GAME SAMPLE_DIR [RUNNER...]
# GAME is a stand-in srend.exe; RUNNER (for example tools/wine-run PREFIX)
# starts the Windows programs.
set -eu
check=$(realpath "$1")
launcher=$(realpath "$2")
game_exe=$(realpath "$3")
sample=$(realpath "$4")
shift 4
[ $# -eq 0 ] || { first=$(realpath "$1"); shift; set -- "$first" "$@"; }
runner="$*"
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" WINDIR="$work/windows"
mkdir -p "$XDG_RUNTIME_DIR" "$WINDIR"
failures=0
out="$work/out.txt"

fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }
pass() { echo "ok   [$case]"; }

# A path as the program sees it: a Windows program under Wine finds /x at Z:\x.
program_path() {
    if [ -n "$runner" ]; then printf 'Z:%s' "$1" | tr / '\\'; else printf '%s' "$1"; fi
}
sep=$(program_path /)
sep=${sep#Z:}

# Runs the checker: its output, CR LF turned into LF, in $out; its exit status
# in $status.
run_check() {
    set +e
    { $runner "$check" "$@"; echo $? >"$work/status"; } 2>&1 | tr -d '\r' >"$out"
    set -e
    status=$(cat "$work/status")
}
expect_status() {
    [ "$status" = "$1" ] && return 0
    fail "exit status $status, expected $1"
    sed 's/^/    /' "$out"
    return 1
}
expect_line() {
    grep -qF -- "$1" "$out" && return 0
    fail "no line with: $1"
    sed 's/^/    /' "$out"
    return 1
}

# Names, modes and contents of everything in a folder but the launcher's traces.
state() {
    (cd "$1" && find . ! -name SrdwLaunch.log ! -name srend-saw.txt | sort |
        while IFS= read -r entry; do
            if [ -d "$entry" ]; then
                echo "dir $entry"
            else
                echo "$(stat -c %A "$entry") $(md5sum <"$entry" | cut -c1-12) $entry"
            fi
        done)
}

case=help
run_check --help
expect_status 0 && expect_line "Usage: SrdwCheck [options] SCRIPT" && pass

case=wrong-options
run_check --frobnicate x.dat
expect_status 2 && expect_line "SrdwCheck: unknown option '--frobnicate'" && pass
run_check
expect_status 2 && expect_line "SrdwCheck: which script?" && pass
run_check "$(program_path "$work/missing.dat")"
expect_status 2 && expect_line "SrdwCheck: cannot read the script" && pass

case=sample-game
cp -R "$sample" "$work/sample"
cp "$game_exe" "$work/sample/srend.exe"
chmod a-w "$work/sample/Data/Textures/Sky.pak"
before=$(state "$work/sample")
run_check --game "$(program_path "$work/sample")" --cmdline "-Window /edit" \
    "$(program_path "$work/sample/SrdwLaunch.dat")"
expect_status 0 && expect_line "0 errors, 0 warnings, 0 notes." &&
    expect_line "After restore, every path is back where it was." &&
    expect_line "'Data${sep}Textures${sep}Sky.pak' holds what was 'Data${sep}Textures${sep}Sky.dw'" &&
    if [ "$(state "$work/sample")" = "$before" ]; then pass; else fail "the game folder changed"; fi

# What moved along with its folder goes unsaid, also where another folder
# moved into that one in between.
case=nested-moves
mkdir -p "$work/nest/Data/Deep"
printf x >"$work/nest/Data/Deep/One"
cp "$game_exe" "$work/nest/srend.exe"
printf '%s\r\n' 'Rename(Data\Deep, Deep)' 'Rename(Data, Deep\Data)' >"$work/nest/nest.dat"
run_check --game "$(program_path "$work/nest")" "$(program_path "$work/nest/nest.dat")"
expect_status 0 && expect_line "'Deep${sep}Data' holds what was 'Data', with everything in it" &&
    if grep -qF "'Deep${sep}One'" "$out"; then fail "a file that moved along is listed"; else pass; fi

case=warnings
mkdir -p "$work/mod"
printf '%s\r\n' '// a mod with surprises' 'rename(a.pak, b.pak)' \
    'RenameEx(a.pak, a.dw, a.bak, a.old)' 'Rename("x, y", z)' >"$work/mod/mod.dat"
script=$(program_path "$work/mod/mod.dat")
run_check "$script"
expect_status 0 &&
    expect_line "$script:2:1: warning: 'rename' is not a command: names must match in letter case, so the launcher skips this call without a word. Did you mean 'Rename'? [command-case]" &&
    expect_line "$script:3:30: warning: RenameEx uses 3 arguments (original, modified, backup); the launcher ignores the 1 after them [extra-arguments]" &&
    expect_line "$script:4:10: warning: this ',' is inside quotes, but the launcher does not know quotes: it still ends the argument here [quoted-separator]" &&
    expect_line "0 errors, 4 warnings, 0 notes." && pass
case=strict
run_check --strict "$script"
expect_status 1 && pass

case=errors
printf '%s\n' 'RenameEx(a.pak, a.dw)' 'Rename(Data//old.pak, new.pak)' >"$work/mod/broken.dat"
script=$(program_path "$work/mod/broken.dat")
run_check "$script"
expect_status 2 &&
    expect_line "$script:1:21: error: RenameEx needs 3 arguments (original, modified, backup) but has 2; the launcher does nothing for this command [missing-argument]" &&
    expect_line "$script:2:1: error: the call 'Rename(' is never closed by ')': the '//' comment on line 2 swallowed a ')', so the launcher refuses the whole script (log: \"ERROR in script!\") [unclosed-call]" &&
    expect_line "No dry run: the launcher would not load this script." && pass

# Mistakes that once went unreported or were reported at the wrong place, on
# a game folder: each has its one finding, and nothing else is flagged.
author="$work/author"
mkdir -p "$author/Sounds" "$author/Data/Maps"
cp "$game_exe" "$author/srend.exe"
for f in Sounds/s1.snd Sounds/s4.snd Data/Maps/m1.map Data/Maps/m2.map; do printf x >"$author/$f"; done
check_author() {  # SCRIPT-NAME STATUS SUMMARY LINE...
    name=$1 want=$2 summary=$3
    shift 3
    script=$(program_path "$author/$name")
    run_check --game "$(program_path "$author")" "$script"
    expect_status "$want" && expect_line "$summary" || return 1
    for line in "$@"; do expect_line "$script:$line" || return 1; done
    pass
}
case=lost-parenthesis
printf 'Rename(Sounds\\s1.snd, Sounds\\s1.off;\r\nRename(Sounds\\s4.snd, Sounds\\s4.off)\r\n' \
    >"$author/lost.dat"
check_author lost.dat 2 "2 errors, 0 warnings, 0 notes." \
    "1:23: error: this argument runs on into the call 'Rename(' on line 2: the call to 'Rename' on line 1 lost its ')'" \
    "1:23: error: install fails here: ERROR: failed to rename 'Sounds\\s1.snd' to 'Sounds\\s1.off;Rename(Sounds\\s4.snd'!"
case=unclosed-quote-midway
for i in $(seq 1 24); do
    if [ "$i" = 11 ]; then close=''; else close='"'; fi
    printf 'Rename("Sounds\\s%d.snd%s, "Sounds\\s%d.off")\r\n' "$i" "$close" "$i"
done >"$author/quote.dat"
check_author quote.dat 2 "1 error, 0 warnings, 0 notes." \
    "11:40: error: this '\"' is not closed on its line: it runs to the '\"' on line 12"
case=directory-not-there
printf 'SetDirectory(Data\\Mapz)\r\nRename(Data\\Maps\\m1.map, Maps\\m1.off)\r\nRename(Data\\Maps\\m2.map, Maps\\m1.off)\r\n' \
    >"$author/mapz.dat"
check_author mapz.dat 2 "2 errors, 2 warnings, 0 notes." \
    "1:14: warning: 'Data\\Mapz' is no directory at install" \
    "2:26: error: install fails here: ERROR: failed to rename 'Data\\Maps\\m1.map' to 'Maps\\m1.off'!" \
    "3:26: warning: the target '$(program_path "$author/Maps/m1.off")' is written by Rename on line 2 too"
case=outside-the-game
printf 'Rename(Sounds\\s1.snd, ..\\s1.snd)\r\n' >"$author/out.dat"
check_author out.dat 0 "0 errors, 1 warning, 1 note." \
    "1:23: warning: the target '..\\s1.snd' leads out of the game directory" \
    " note: the dry run holds only the game directory and takes what is outside it for missing"
case=near-miss
printf 'RenamEx(Sounds\\s1.snd, Sounds\\s1.dw, Sounds\\s1.bak)\r\n' >"$author/near.dat"
check_author near.dat 0 "0 errors, 1 warning, 0 notes." \
    "1:1: warning: 'RenamEx' is not a command, so the launcher skips this call without a word. Did you mean 'RenameEx'?"

case=json
run_check --json "$(program_path "$work/mod/mod.dat")"
expect_status 0 && python3 - "$out" <<'PY' && pass || fail "unexpected JSON"
import json, sys
report = json.load(open(sys.argv[1]))
assert report["errors"] == 0 and report["warnings"] == 4, report
first = report["findings"][0]
assert (first["line"], first["column"], first["code"]) == (2, 1, "command-case"), first
assert [c["name"] for c in report["commands"]] == ["rename", "RenameEx", "Rename"], report["commands"]
assert report["dryRun"] is None
PY

# A game folder with what cannot be read (natively: links are POSIX's) gets a
# note, and the dry run goes on without it; a link to nothing, or to itself, is
# there as itself, as it is to Windows.
if [ -z "$runner" ]; then
    for trap_kind in loop dangling deep; do
        case=unreadable-$trap_kind
        rm -rf "$work/odd" && mkdir -p "$work/odd" && cp "$game_exe" "$work/odd/srend.exe"
        case $trap_kind in
        loop) ln -s loop "$work/odd/loop" ;;
        dangling) ln -s nowhere "$work/odd/dangling" ;;
        deep) python3 -c 'import os, sys
os.chdir(sys.argv[1])
for _ in range(25): os.mkdir("d" * 200); os.chdir("d" * 200)' "$work/odd" ;;
        esac
        printf 'Rename(srend.exe, srend.off)\n' >"$work/odd.dat"
        run_check --game "$work/odd" "$work/odd.dat"
        unread=$([ $trap_kind = deep ] && echo 1 || echo 0)
        expect_status 0 && expect_line "After restore, every path is back where it was." && {
            [ "$(grep -cF "[unreadable-path]" "$out")" = "$unread" ] && pass ||
                fail "expected $unread unreadable-path notes"
        }
    done
fi

# The dry run against the launcher itself: a copy of the sample game with a
# script that also fails in two ways, the checker's prediction in JSON, then one
# real launch cycle.
case=prediction
game="$work/game"
cp -R "$sample" "$game"
printf 'stale backup' >"$game/Data/Textures/Sky.bak"
cat "$sample/SrdwLaunch.dat" - >"$game/SrdwLaunch.dat" <<'SCRIPT'
// A sound the player does not have: install fails, and restore has nothing
// to undo.
Rename(Sounds\wind.snd, Sounds\ambient.snd.off)
// A folder named through a dot; then a move of the folder the script works
// in, which Windows refuses and Linux lets the directory follow.
Rename("@rootdir\Data\Maps\.", "@rootdir\Data\Maps Off")
SetDirectory(Sounds)
Rename(., "..\Sounds Off")
Rename(ambient.snd.off, ..\ambient.off)
SCRIPT
cp "$game_exe" "$game/srend.exe"
name=$(basename "$launcher")
cp "$launcher" "$game/$name"
before=$(state "$game")
run_check --json --game "$(program_path "$game")" --cmdline "-Window /edit" \
    "$(program_path "$game/SrdwLaunch.dat")"
cp "$out" "$work/predicted.json"
expect_status 2 || true
[ "$(state "$game")" = "$before" ] || fail "the checker changed the game folder"

(cd "$game" && env -u DISPLAY $runner "$game/$name" -Window /edit </dev/null >/dev/null 2>&1) ||
    fail "the launcher failed"
if [ "$(state "$game")" = "$before" ]; then restored=true; else restored=false; fi
python3 "$here/compare-prediction.py" "$work/predicted.json" "$game/${name%.exe}.log" "$restored" &&
    pass || fail "the dry run did not predict the launcher's run"

# Two names that differ only in the letter case of an accented letter (bytes
# 0xC9 and 0xE9 of code page 1252), both in the folder: the dry run finds each
# as the launcher does. Windows (here Wine, which can hold both) takes a name
# as spelled where it is there and else one that differs only in case, so the
# first name back is in the way of the second; the POSIX backend folds A to Z
# only, so natively they are two names throughout.
case=accent
game="$work/accent"
mkdir -p "$game"
if [ -n "$runner" ]; then upper='É' lower='é'; else upper=$(printf '\311') lower=$(printf '\351'); fi
printf 'e1' >"$game/$upper.pak"
printf 'e2' >"$game/$lower.pak"
printf 'Rename("@rootdir\\\311.pak", "@rootdir\\x.pak")\r\nRename("@rootdir\\\351.pak", "@rootdir\\y.pak")\r\n' \
    >"$game/SrdwLaunch.dat"
cp "$game_exe" "$game/srend.exe"
cp "$launcher" "$game/$name"
before=$(state "$game")
run_check --json --game "$(program_path "$game")" "$(program_path "$game/SrdwLaunch.dat")"
cp "$out" "$work/accent.json"
(cd "$game" && env -u DISPLAY $runner "$game/$name" </dev/null >/dev/null 2>&1) ||
    fail "the launcher failed"
if [ "$(state "$game")" = "$before" ]; then restored=true; else restored=false; fi
python3 "$here/compare-prediction.py" "$work/accent.json" "$game/${name%.exe}.log" "$restored" &&
    pass || fail "the dry run did not predict the launcher's run"
# What a restore left undone, it leaves to the next start, in the prefix's registry.
[ -z "$runner" ] || for hive in HKLM HKCU; do
    $runner reg delete "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce" \
        /v SrdwLaunch /f >/dev/null 2>&1 || true
done

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
