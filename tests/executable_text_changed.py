#!/usr/bin/env python3
"""The executable check holds every text of the string table to the resource script: a copy of
the launcher with one word changed in a text must fail it, naming that string.

    executable_text_changed.py CHECK_PE EXE RC
"""
import subprocess
import sys
import tempfile
from pathlib import Path

check_pe, exe, script = sys.argv[1:]
# A text no hand-typed list of the checker's held.
original, changed = "own path".encode("utf-16le"), "own Path".encode("utf-16le")
data = Path(exe).read_bytes()
if data.count(original) != 1:
    sys.exit(f"{exe} does not hold the text to change exactly once")
with tempfile.TemporaryDirectory() as folder:
    copy = Path(folder) / "SrdwLaunch.exe"
    copy.write_bytes(data.replace(original, changed))
    result = subprocess.run([sys.executable, check_pe, str(copy), "--strings-from", script],
                            capture_output=True, text=True)
print(result.stdout + result.stderr, end="")
if result.returncode != 1 or "string 7 is " not in result.stderr:
    sys.exit(f"the check did not fail on string 7 (exit status {result.returncode})")
