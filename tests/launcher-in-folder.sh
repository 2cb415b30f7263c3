#!/bin/sh
# Copies a built launcher into a fresh folder with an install script, starts it
# there, and checks the log it leaves beside itself: header, the script's
# "Loading script:" line, footer, with CR LF line ends; and no marker left.
#   launcher-in-folder.sh LAUNCHER [RUNNER...]
# RUNNER (for example tools/wine-run PREFIX) starts the launcher.
set -eu
launcher="$1"
shift
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
name=$(basename "$launcher")
cp "$launcher" "$folder/"
printf 'RenameEx(a, b, c); // nothing to do\r\n' >"$folder/${name%.exe}.dat"

# No game here and nobody to answer: the launcher ends after loading its script.
# Its settings and start-up entries stay inside the folder.
(cd "$folder" && env -u DISPLAY XDG_CONFIG_HOME="$folder/config" XDG_RUNTIME_DIR="$folder" \
    WINDIR="$folder" "$@" "$folder/$name" </dev/null 2>/dev/null)

log="$folder/${name%.exe}.log"
[ -f "$log" ] || { echo "no log at $log"; ls -la "$folder"; exit 1; }
[ ! -e "$folder/restore.mod" ] || { echo "the marker was left behind"; exit 1; }

stamp='[0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'
rule='~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~'
expected="^Skyrend II: Duskwarden
^Log started: $stamp\$
^$rule\$
^Loading script: .*${name%.exe}\.dat\$
^\$
^$rule\$
^Log finished: $stamp\$"

cr=$(printf '\r')
lines=$(wc -l <"$log")
[ "$lines" -eq 7 ] || { echo "expected 7 lines, got $lines:"; cat -A "$log"; exit 1; }
if [ "$(grep -c "$cr\$" "$log")" -ne 7 ]; then
    echo "every line must end in CR LF:"; cat -A "$log"; exit 1
fi
i=1
printf '%s\n' "$expected" | while IFS= read -r pattern; do
    line=$(sed -n "${i}p" "$log" | tr -d '\r')
    printf '%s\n' "$line" | grep -q -- "$pattern" || { echo "line $i: '$line' does not match '$pattern'"; exit 1; }
    i=$((i + 1))
done
echo "launcher log as expected:"
tr -d '\r' <"$log"
