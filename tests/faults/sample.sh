# What the fault trials of both builds share: the sample, without its game, and
# how a trial's folder is compared with it.

# The sample, in "$1/Skyrend 2": sub-folders, names with spaces and odd letter case (spelled in the
# script as they are stored: a name that a crash catches between the two moves of
# a swap comes back as the script spells it), read-only
# files, RenameEx and a Rename chain, relative and absolute SetDirectory, a
# command whose files are missing, a stale backup from an earlier run, a folder
# named through ".", and a move of the folder the script works in (which
# Windows refuses, and Linux lets the directory follow).
make_sample_folder() {
    g="$1/Skyrend 2"
    mkdir -p "$g/Data/Textures" "$g/Data/Maps" "$g/Data/Models" "$g/Sounds"
    printf 'noon sky' >"$g/Data/Textures/Sky.pak"
    printf 'dusk sky' >"$g/Data/Textures/Sky.dw"
    printf 'world' >"$g/Data/Maps/World Map.map"
    printf 'march' >"$g/Data/Maps/World Map.dw"
    printf 'keep' >"$g/Data/Models/Tower Keep.mdl"
    printf 'dark keep' >"$g/Data/Models/Tower Keep.dw"
    printf 'stale' >"$g/Data/Models/Tower Keep.bak"
    printf 'birdsong' >"$g/Sounds/ambient.snd"
    chmod a-w "$g/Data/Textures/Sky.pak" "$g/Data/Maps/World Map.dw"
    printf '%s\r\n' \
        'RenameEx("@rootdir\Data\Textures\Sky.pak", "@rootdir\Data\Textures\Sky.dw", "@rootdir\Data\Textures\Sky.bak")' \
        'SetDirectory(Data)' \
        'RenameEx("Maps\World Map.map", "Maps\World Map.dw", "Maps\World Map.bak");' \
        'RenameEx("Models\Tower Keep.mdl", "Models\tower keep.dw", "Models\Tower Keep.bak");' \
        'SetDirectory("@rootdir\Sounds")' \
        'Rename(ambient.snd, ambient.tmp)' \
        'Rename(ambient.tmp, "Ambient Off.snd")' \
        'RenameEx(missing.pak, missing.dw, missing.bak)' \
        'Rename("@rootdir\Data\Maps\.", "@rootdir\Data\Maps Off")' \
        'Rename(., "..\Sounds Off")' >"$g/SrdwLaunch.dat"
}

# The launcher's own files are left out: its program and its logs. Nothing else
# of the launcher's may be left: no lock file, no journal.
state() {
    set -- "$1" ! -name SrdwLaunch ! -name SrdwLaunch.exe ! -name 'SrdwLaunch.log*'
    d="$1/Skyrend 2"
    shift
    (cd "$d" && find . -type f "$@" -printf '%m %p\n' | sort &&
        find . -type f "$@" -print0 | sort -z | xargs -0 md5sum)
}
# Every file's content, wherever the sample's folders are (Sounds may be moved).
contents() { (cd "$1/Skyrend 2" && find Data Sounds* -type f -exec md5sum {} + | cut -d' ' -f1 | sort); }
# True, with the difference shown, when the trial's folder is not as it was.
folder_differs() { # trial what
    [ "$(state "$1")" != "$original" ] || return 1
    echo "FAIL: $2: the folder differs"
    state "$1" | diff /dev/fd/3 - 3<<EOF || true
$original
EOF
}
