#!/usr/bin/env python3
"""Checks the release zip that `cmake --build --preset win32 --target package` makes.

    tools/check_package.py BUILD_DIR

The zip is BUILD_DIR/SrdwLaunch-<version>-win32.zip, <version> being the
project's version from BUILD_DIR/CMakeCache.txt. It must hold exactly the
shipped files; the programs must be 32-bit PE programs (SrdwLaunch.exe for the
GUI, SrdwCheck.exe for the console) within their size limits, without debug sections
and without MinGW's DLLs, with the project's version in the version resource;
the readme must have CR LF line ends. The debug information must be beside
the zip. Prints what it checked; exits with 1 on the first list of failures.
"""
import re
import sys
import zipfile
from pathlib import Path

import pefile

EXPECTED = {"SrdwLaunch.exe", "SrdwCheck.exe", "ReadMe.txt", "example/SrdwLaunch.dat"}
SUBSYSTEMS = {"SrdwLaunch.exe": 2, "SrdwCheck.exe": 3}  # Windows GUI, Windows console
LIMITS = {"SrdwLaunch.exe": 1 << 20, "SrdwCheck.exe": 1 << 20}
MINGW_DLLS = re.compile(r"^(libgcc|libstdc\+\+|libwinpthread|libssp|libgomp)", re.I)


def section_name(pe, section):
    """The section's name; a long one ("/4") is read from the COFF string table."""
    name = section.Name.rstrip(b"\0").decode("latin-1")
    header = pe.FILE_HEADER
    if name.startswith("/") and header.PointerToSymbolTable:
        table = header.PointerToSymbolTable + header.NumberOfSymbols * 18
        start = table + int(name[1:])
        name = pe.__data__[start:pe.__data__.find(b"\0", start)].decode("latin-1")
    return name


def check_program(name, data, version, problems):
    if len(data) > LIMITS[name]:
        problems.append(f"{name}: {len(data)} bytes, more than {LIMITS[name]}")
    pe = pefile.PE(data=data)
    if pe.FILE_HEADER.Machine != 0x14C or pe.OPTIONAL_HEADER.Magic != 0x10B:
        problems.append(f"{name}: not a 32-bit (PE32, i386) program")
    if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEMS[name]:
        problems.append(f"{name}: subsystem {pe.OPTIONAL_HEADER.Subsystem}, "
                        f"not {SUBSYSTEMS[name]}")
    debug = [s for s in (section_name(pe, s) for s in pe.sections) if s.startswith(".debug")]
    if debug:
        problems.append(f"{name}: debug sections {', '.join(debug)}")
    dlls = [entry.dll.decode("latin-1") for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    mingw = [dll for dll in dlls if MINGW_DLLS.match(dll)]
    if mingw:
        problems.append(f"{name}: needs MinGW's {', '.join(mingw)}")
    if name == "SrdwLaunch.exe":
        info = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
        found = None
        if info is not None:
            found = (f"{info.FileVersionMS >> 16}.{info.FileVersionMS & 0xFFFF}."
                     f"{info.FileVersionLS >> 16}.{info.FileVersionLS & 0xFFFF}")
        if found != version + ".0":
            problems.append(f"{name}: file version {found}, not {version}.0")
    print(f"  {name}: {len(data)} bytes, subsystem {pe.OPTIONAL_HEADER.Subsystem}, "
          f"imports {', '.join(sorted(dlls))}")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    build = Path(sys.argv[1])
    cache = (build / "CMakeCache.txt").read_text()
    version = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.*)$", cache, re.M).group(1)
    package = build / f"SrdwLaunch-{version}-win32.zip"
    print(f"checking {package}")
    problems = []
    with zipfile.ZipFile(package) as archive:
        names = {n for n in archive.namelist() if not n.endswith("/")}
        if names != EXPECTED:
            problems.append(f"files {sorted(names)}, not {sorted(EXPECTED)}")
        for name in sorted(names & set(SUBSYSTEMS)):
            check_program(name, archive.read(name), version, problems)
        if "ReadMe.txt" in names:
            readme = archive.read("ReadMe.txt")
            if readme.count(b"\n") == 0 or readme.count(b"\n") != readme.count(b"\r\n"):
                problems.append("ReadMe.txt: not every line ends in CR LF")
            if version.encode() not in readme:
                problems.append(f"ReadMe.txt: does not name version {version}")
    for program in SUBSYSTEMS:
        kept = build / f"SrdwLaunch-{version}-win32-debug" / f"{program}.debug"
        if not kept.is_file():
            problems.append(f"no debug information beside the zip: {kept}")
            continue
        pe = pefile.PE(str(kept), fast_load=True)
        if not any(section_name(pe, s).startswith(".debug_info") for s in pe.sections):
            problems.append(f"{kept}: holds no debug information")
    if problems:
        print("FAILED:\n  " + "\n  ".join(problems))
        return 1
    print(f"the package is complete: {len(names)} files, version {version}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
