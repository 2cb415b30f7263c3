#!/usr/bin/env python3
"""Builds the native preset and measures the launcher beside the bare system calls.

  tools/bench            every benchmark for real; prints the figures, the ratios
                         and which targets they meet (about five minutes)
  tools/bench --smoke    each benchmark once, briefly, at its smallest size, so
                         that none of them rots (well under a minute)
  tools/bench --wine     also times whole runs of build/win32/SrdwLaunch.exe (the
                         shipped 32-bit program; where this machine cannot run
                         32-bit programs, build/win64's under wine64, and it says so)
                         under 32-bit
                         Wine, 1,000 and 10,000 swaps, beside a bare Win32 program
                         making the same GetFileAttributesA and MoveFileA calls in
                         the same folder (needs the win32 build and
                         i686-w64-mingw32-g++; 1,000 swaps take minutes a run,
                         10,000 far longer: see --wine-sizes and --wine-runs)

Exits non-zero only when something fails to build or run; a missed target is
reported, not failed. The raw results are kept in build/native/bench/.
"""
import argparse
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "native")
BENCH = os.path.join(BUILD, "bench")

# What the figures are held to (docs/performance.md).
LOAD_TARGET = 1e9  # bytes of script text per second
FRESH_LOAD_TARGET = 4e8  # the same, loaded by a fresh process
INSTALL_TARGET = 1.15  # launcher / system calls, per command
WINE_TARGET = 1.3  # the launcher's whole run under Wine / the bare Win32 program
# Whole launcher processes / the bare calls' process, by (swaps, on tmpfs).
WHOLE_TARGETS = {(100, False): 1.5, (1000, False): 1.3, (10000, True): 1.3}
CASE_TARGET = 1.5  # wrong letter case / exact
# A whole run's peak resident set at 10,000 swaps, in bytes, for a script of so many.
WHOLE_MEMORY_TARGET = (3, 8 * 2**20)
MEMORY_TARGET = "2.5 x script + 200 B per command"
CHECK_MEMORY_TARGET = "6 x script + 250 B per command + 16 MiB"


class Failure(Exception):
    pass


def run(command, **kwargs):
    result = subprocess.run(command, **kwargs)
    if result.returncode != 0:
        raise Failure(f"{' '.join(command)} exited with {result.returncode}")
    return result


def build():
    print("== building the native preset", flush=True)
    run(["cmake", "--preset", "native"], cwd=ROOT, stdout=subprocess.DEVNULL)
    if not os.path.exists(os.path.join(BENCH, "Makefile")):
        raise Failure("the benchmarks were not configured: Google Benchmark (libbenchmark-dev) "
                      "is missing; tools/bootstrap installs it")
    run(["cmake", "--build", "--preset", "native", "--target", "SrdwLaunch", "srdw_bench",
         "srdw_load_memory", "srdw_check_memory", "srdw_stand_in_game", "srdw_bare_swaps"], cwd=ROOT,
        stdout=subprocess.DEVNULL)


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{os.cpu_count()} x {model}, Linux {os.uname().release}"


# ---------------------------------------------------------------------------
# Google Benchmark

SMOKE_FILTER = (r"^(Load/(1024|65536)|ExpandArgument/.*|ExpandPath/.*|RenameEx/.*/100|"
                r"Rename/.*/100|LetterCase/.*|Check/65536|CheckDryRun/65536)$")


def google_benchmarks(smoke):
    out = os.path.join(BENCH, "smoke.json" if smoke else "results.json")
    command = [os.path.join(BENCH, "srdw_bench"), "--benchmark_out=" + out,
               "--benchmark_out_format=json"]
    if smoke:
        command += ["--benchmark_filter=" + SMOKE_FILTER, "--benchmark_min_time=0.001"]
    else:
        # Repeated, in random order: the other work of a shared machine then
        # falls on both sides of a ratio alike, and the median drops what is left.
        command += ["--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                    "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.5"]
    print("== " + " ".join(os.path.relpath(part, ROOT) if part.startswith(ROOT) else part
                           for part in command), flush=True)
    run(command, stdout=None if not smoke else subprocess.DEVNULL)
    with open(out) as results:
        benchmarks = json.load(results)["benchmarks"]
    errors = [b for b in benchmarks if b.get("error_occurred")]
    for b in errors:
        print(f"FAILED: {b['name']}: {b.get('error_message')}", file=sys.stderr)
    if errors:
        raise Failure(f"{len(errors)} benchmark(s) failed to run")
    figures = {}
    spreads.clear()
    for b in benchmarks:
        if b.get("aggregate_name") == "cv":
            spreads[b["run_name"]] = b["cpu_time"]  # stddev / mean of the five runs
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        figures[b.get("run_name", b["name"])] = b
    return figures


# The spread of each benchmark's repetitions (coefficient of variation of its
# CPU time), by run name.
spreads = {}


def seconds(b, key="cpu_time"):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    return b[key] * scale


# ---------------------------------------------------------------------------
# Peak memory and the first load in a fresh process

def memory_figures(program, smoke):
    command = [os.path.join(BENCH, program)] + (["65536"] if smoke else [])
    # The check's exit status says whether its bound is met: reported, not failed.
    output = subprocess.run(command, stdout=subprocess.PIPE, text=True).stdout
    figures = {key: float(value) for key, value in
               (line.split("=", 1) for line in output.splitlines() if "=" in line)}
    if "peak_heap_bytes" not in figures:
        raise Failure(f"{program} did not run")
    return figures


# ---------------------------------------------------------------------------
# Whole launcher runs: from the launcher's start to the game's, and from the
# game's end to the launcher's, with a stand-in game that writes down when it
# starts and ends.

def make_game(folder, commands, launcher, game):
    textures = os.path.join(folder, "Data", "Textures")
    os.makedirs(textures)
    lines = [f"// Duskwarden: {commands} textures"]
    for i in range(commands):
        stem = f"Sky Texture {i:05d}"
        for name, content in ((stem + ".pak", "game"), (stem + ".dw", "mod")):
            with open(os.path.join(textures, name), "w") as file:
                file.write(content)
        lines.append(f'RenameEx("@rootdir\\Data\\Textures\\{stem}.pak", '
                     f'"@rootdir\\Data\\Textures\\{stem}.dw", '
                     f'"@rootdir\\Data\\Textures\\{stem}.bak");')
    base = os.path.splitext(os.path.basename(launcher))[0]
    with open(os.path.join(folder, base + ".dat"), "w", newline="") as script:
        script.write("\r\n".join(lines) + "\r\n")
    shutil.copy(launcher, folder)
    shutil.copy(game, os.path.join(folder, "srend.exe"))
    return os.path.join(folder, os.path.basename(launcher)), base + ".log"


def timed_process(folder, argv, env):
    """One run of argv in folder: its start to its end, in nanoseconds since 1970."""
    saved = os.getcwd()
    os.chdir(folder)
    try:
        started = time.time_ns()
        pid = os.posix_spawn(argv[0], argv, env,
                             file_actions=[(os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0)])
        _, status = os.waitpid(pid, 0)
        ended = time.time_ns()
    finally:
        os.chdir(saved)
    if os.waitstatus_to_exitcode(status) != 0:
        raise Failure(f"{' '.join(argv[-2:])} exited with {os.waitstatus_to_exitcode(status)}")
    return started, ended


def timed_run(folder, argv, env):
    """One run of argv in folder: (start to game start, game end to exit), in seconds."""
    times = os.path.join(folder, "game-times.txt")
    if os.path.exists(times):
        os.remove(times)
    started, ended = timed_process(folder, argv, env)
    stamps = {}
    with open(times) as file:
        for line in file:
            what, value = line.split()
            stamps[what] = int(value)
    return (stamps["start"] - started) / 1e9, (ended - stamps["end"]) / 1e9


def check_restored(folder, commands, log):
    textures = os.path.join(folder, "Data", "Textures")
    names = set(os.listdir(textures))
    for i in range(commands):
        stem = f"Sky Texture {i:05d}"
        if stem + ".bak" in names or stem + ".pak" not in names or stem + ".dw" not in names:
            raise Failure(f"the launcher did not restore {stem} in {textures}")
    with open(os.path.join(folder, log), "rb") as file:
        text = file.read().decode("latin-1")
    if "FAILED" in text or "ERROR" in text or "Swapping files...succeeded" not in text:
        raise Failure(f"the launcher's log in {folder} names a failure or no swap")


def whole_runs(launcher, game, commands, runs, wrapper=()):
    work = tempfile.mkdtemp(prefix="srdw-bench-runs-")
    try:
        # The Linux launcher's settings, start-up entry and lock stay in the
        # scratch folder; under Wine they are the prefix's.
        env = dict(os.environ)
        if not wrapper:
            env.update(XDG_CONFIG_HOME=os.path.join(work, "config"),
                       XDG_RUNTIME_DIR=os.path.join(work, "run"),
                       WINDIR=os.path.join(work, "windows"))
        for directory in ("config", "run", "windows"):
            os.makedirs(os.path.join(work, directory))
        folder = os.path.join(work, "Skyrend 2")
        own, log = make_game(folder, commands, launcher, game)
        bare = os.path.join(folder, "srend.exe")
        launcher_runs, bare_runs = [], []
        for _ in range(runs):  # taken in turns, so that both see the machine alike
            launcher_runs.append(timed_run(folder, [*wrapper, own], env))
            check_restored(folder, commands, log)
            bare_runs.append(timed_run(folder, [*wrapper, bare], env))
        return {
            "to_game": statistics.median(r[0] for r in launcher_runs),
            "from_game": statistics.median(r[1] for r in launcher_runs),
            "bare_to_game": statistics.median(r[0] for r in bare_runs),
            "bare_from_game": statistics.median(r[1] for r in bare_runs),
            "runs": runs,
            "commands": commands,
        }
    finally:
        subprocess.run(["chmod", "-R", "u+w", work])
        shutil.rmtree(work, ignore_errors=True)


def peak_resident(folder, launcher, env):
    """The peak resident set of one more whole run, in bytes, as GNU time gives it: a process
    started from Python would count Python's own pages, which the spawn shares until the exec."""
    if not os.path.exists("/usr/bin/time"):
        return None
    done = subprocess.run(["/usr/bin/time", "-f", "%M", launcher], cwd=folder, env=env,
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=True)
    return int(done.stderr.split()[-1]) * 1024


def bare_process_runs(launcher, commands, runs, place):
    """Whole launcher processes (install, a game that ends at once, restore)
    beside the bare system calls of their swaps in a process of their own, in
    the same folder, taken in turns; the best of `runs` of each, in seconds."""
    work = tempfile.mkdtemp(prefix="srdw-bench-bare-", dir=place)
    try:
        env = dict(os.environ)
        env.update(XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_RUNTIME_DIR=os.path.join(work, "run"), WINDIR=os.path.join(work, "windows"))
        for directory in ("config", "run", "windows"):
            os.makedirs(os.path.join(work, directory))
        folder = os.path.join(work, "Skyrend 2")
        own, log = make_game(folder, commands, launcher, shutil.which("true"))
        bare = os.path.join(BENCH, "srdw_bare_swaps")
        launcher_times, bare_times = [], []
        for _ in range(runs):
            started, ended = timed_process(folder, [own], env)
            launcher_times.append((ended - started) / 1e9)
            check_restored(folder, commands, log)
            started, ended = timed_process(folder, [bare, str(commands)], env)
            bare_times.append((ended - started) / 1e9)
        return {"commands": commands, "where": place, "launcher": min(launcher_times),
                "bare": min(bare_times), "runs": runs, "resident": peak_resident(folder, own, env),
                "script_bytes": os.path.getsize(os.path.join(folder, log[:-4] + ".dat"))}
    finally:
        subprocess.run(["chmod", "-R", "u+w", work])
        shutil.rmtree(work, ignore_errors=True)


# The Windows build whose programs run here: the shipped 32-bit one, or the
# 64-bit one where this machine cannot run 32-bit programs (tools/windows-preset).
WINDOWS = {"win32": ("i686", "/usr/lib/wine/wine"), "win64": ("x86_64", "/usr/lib/wine/wine64")}


def windows_preset():
    return subprocess.run([os.path.join(ROOT, "tools", "windows-preset")], stdout=subprocess.PIPE,
                          text=True, check=True).stdout.strip()


def mingw_program(source, name, libraries=(), preset="win32"):
    """A Windows program of one source file, built beside the launcher's build."""
    cpu = WINDOWS[preset][0]
    compiler = shutil.which(f"{cpu}-w64-mingw32-g++-posix") or shutil.which(f"{cpu}-w64-mingw32-g++")
    if not compiler:
        raise Failure(f"no {cpu}-w64-mingw32-g++ for the Windows benchmark programs")
    out = os.path.join(ROOT, "build", preset, name)
    run([compiler, "-O2", "-static", "-o", out, os.path.join(ROOT, "bench", source),
         *libraries])
    return out


def wine_swaps(launcher, game, bare, commands, runs, wrapper, env):
    """Whole launcher runs of a script of `commands` swaps beside the bare program
    making the same calls in the same folder, taken in turns. The launcher's own
    time is its run less the game's: from its start to the game's, and from the
    game's end to its own."""
    work = tempfile.mkdtemp(prefix="srdw-bench-wine-")
    try:
        folder = os.path.join(work, "Skyrend 2")
        own, log = make_game(folder, commands, launcher, game)
        launcher_runs, bare_runs = [], []
        for _ in range(runs):
            launcher_runs.append(timed_run(folder, [*wrapper, own], env))
            check_restored(folder, commands, log)
            started, ended = timed_process(folder, [*wrapper, bare, str(commands)], env)
            bare_runs.append((ended - started) / 1e9)
            check_restored(folder, commands, log)
        own_times = [to_game + from_game for to_game, from_game in launcher_runs]
        return {
            "commands": commands,
            "runs": runs,
            "to_game": statistics.median(r[0] for r in launcher_runs),
            "from_game": statistics.median(r[1] for r in launcher_runs),
            "launcher": statistics.median(own_times),
            "bare": statistics.median(bare_runs),
            "ratios": sorted(t / b for t, b in zip(own_times, bare_runs)),
        }
    finally:
        subprocess.run(["chmod", "-R", "u+w", work])
        shutil.rmtree(work, ignore_errors=True)


def wine_runs(launcher, sizes, runs, preset="win32"):
    """Whole runs under Wine, in a prefix of the benchmarks' own (the tests' one
    may be in use), on a virtual display when there is none: the splash is a
    real window."""
    prefix = os.path.join(ROOT, "build", preset, "bench-wineprefix")
    game = mingw_program("StandInGame.cpp", "bench-srend.exe", ["-luser32"], preset)
    bare = mingw_program("BareSwaps.cpp", "bench-bare-swaps.exe", preset=preset)
    display = None
    env = dict(os.environ)
    env["WINE"] = WINDOWS[preset][1]  # the loader of the build's word size
    if not env.get("DISPLAY"):
        read, write = os.pipe()
        display = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24"],
                                   pass_fds=(write,), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as number:
            env["DISPLAY"] = ":" + number.readline().strip()
    # A player's desktop has a window manager. Without one, Wine's X11 driver waits
    # up to 2 s for it each time a managed window, such as the splash, is hidden.
    manager = None
    try:
        if display and shutil.which("matchbox-window-manager"):
            manager = subprocess.Popen(["matchbox-window-manager"], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elif display:
            print("== no matchbox-window-manager (tools/bootstrap installs it): Wine waits up to "
                  "2 s for a window manager when the splash hides", flush=True)
        wrapper = (os.path.join(ROOT, "tools", "wine-run"), prefix)
        run([os.path.join(ROOT, "tools", "wine-prefix"), "up", prefix], env=env)
        try:
            results = []
            for commands in sizes:
                print(f"== {runs} whole runs under Wine, {commands} swaps", flush=True)
                results.append(wine_swaps(launcher, game, bare, commands, runs, wrapper, env)
                               | {"preset": preset})
            return results
        finally:
            run([os.path.join(ROOT, "tools", "wine-prefix"), "down", prefix], env=env)
    finally:
        for process in (manager, display):
            if process:
                process.terminate()
                process.wait()


# ---------------------------------------------------------------------------
# The report

def verdict(met):
    return "met" if met else "MISSED"


def report(figures, memory, check_memory, runs, wine, smoke, processes=()):
    print()
    print(f"Machine: {machine()}; {datetime.date.today().isoformat()}"
          + ("  (smoke run: figures are not meaningful)" if smoke else ""))
    print("Times are CPU seconds of the benchmark process (user + system), medians of five\n"
          "runs in random order; whole runs are wall-clock medians.")

    print("\nLoading: ModScript::Load of generated scripts (memory reused between loads)")
    print(f"  {'script':>10} {'time':>11} {'MB/s':>8} {'commands/s':>12}  target >= 1000 MB/s")
    for name, b in sorted(((n, b) for n, b in figures.items() if n.startswith("Load/")),
                          key=lambda item: int(item[0].split("/")[1])):
        size = int(name.split("/")[1])
        rate = b["bytes_per_second"]
        # A small script's time is the file's open, read and close.
        judged = verdict(rate >= LOAD_TARGET) if size >= 1 << 20 else "-"
        print(f"  {size:>10} {seconds(b) * 1e6:>9.1f}us {rate / 1e6:>8.0f} "
              f"{b['commands_per_second'] / 1e6:>10.2f} M  {judged}")
    if memory:
        rate = memory["first_load_bytes_per_second"]
        cpu_rate = memory["first_load_cpu_bytes_per_second"]
        print(f"  first load in a fresh process, {int(memory['script_bytes'])} bytes: "
              f"{memory['first_load_seconds'] * 1e3:.1f} ms, {rate / 1e6:.0f} MB/s; CPU time "
              f"{memory['first_load_cpu_seconds'] * 1e3:.1f} ms, {cpu_rate / 1e6:.0f} MB/s  "
              f"target >= {FRESH_LOAD_TARGET / 1e6:.0f} MB/s: {verdict(cpu_rate >= FRESH_LOAD_TARGET)}")

    print("\nPath expansion (per argument)")
    for name in ("ExpandArgument/typical", "ExpandArgument/placeholders", "ExpandPath/typical",
                 "ExpandPath/placeholders"):
        if name in figures:
            print(f"  {name:<28} {seconds(figures[name]) * 1e9:>8.0f} ns")

    print("\nSrdwCheck: the analysis alone, and with the dry run (every command failing)")
    for name, b in sorted(((n, b) for n, b in figures.items() if n.startswith("Check")),
                          key=lambda item: (item[0].split("/")[0], int(item[0].split("/")[1]))):
        print(f"  {name:<22} {seconds(b) * 1e3:>8.2f} ms {b['bytes_per_second'] / 1e6:>8.0f} MB/s "
              f"{int(b['commands']):>8} commands")

    print("\nInstall + restore, per command (launcher with its log, and the bare system calls)")
    print(f"  {'command':<9} {'N':>6} {'launcher':>10} {'syscalls':>10} {'ratio':>6}  "
          f"target <= {INSTALL_TARGET}")
    flat = {}
    for command in ("RenameEx", "Rename"):
        for n in (100, 1000, 10000):
            launcher = figures.get(f"{command}/launcher/{n}")
            bare = figures.get(f"{command}/system_calls/{n}")
            if not launcher or not bare:
                continue
            ratio = launcher["per_command"] / bare["per_command"]
            flat.setdefault(command, []).append((n, launcher["per_command"], bare["per_command"]))
            spread = spreads.get(f"{command}/launcher/{n}"), spreads.get(f"{command}/system_calls/{n}")
            spread = (f"  (cv of five runs {spread[0] * 100:.0f} % / {spread[1] * 100:.0f} %)"
                      if all(v is not None for v in spread) else "")
            syncs = launcher.get("syncs_per_install")
            syncs = f"  {syncs:.0f} journal syncs an install" if syncs is not None else ""
            print(f"  {command:<9} {n:>6} {launcher['per_command'] * 1e6:>8.1f}us "
                  f"{bare['per_command'] * 1e6:>8.1f}us {ratio:>6.2f}  "
                  f"{verdict(ratio <= INSTALL_TARGET)}{spread}{syncs}")
    for command, rows in flat.items():
        if len(rows) > 1:
            first, last = rows[0], rows[-1]
            print(f"  {command}: per command at N={last[0]} / at N={first[0]}: launcher "
                  f"{last[1] / first[1]:.2f}, system calls {last[2] / first[2]:.2f} (flat: near 1)")

    exact = figures.get("LetterCase/exact/1000")
    wrong = figures.get("LetterCase/wrong/1000")
    bare = figures.get("LetterCase/system_calls/1000")
    if exact and wrong:
        ratio = wrong["per_command"] / exact["per_command"]
        print("\nLetter case: 1000 RenameEx in a directory of 10,000 files, per command")
        print(f"  exact case {exact['per_command'] * 1e6:.1f}us, every name in the wrong case "
              f"{wrong['per_command'] * 1e6:.1f}us, system calls {bare['per_command'] * 1e6:.1f}us")
        print(f"  wrong / exact = {ratio:.2f}  target <= {CASE_TARGET}: {verdict(ratio <= CASE_TARGET)}")

    def print_memory(m, what, target):
        peak, bound = m["peak_heap_bytes"], m["bound_bytes"]
        resident = (m["max_resident_after_kib"] - m["max_resident_before_kib"]) * 1024
        print(f"\n{what.format(mib=m['script_bytes'] / 2**20, commands=int(m['commands']))}")
        print(f"  heap at its peak {peak / 2**20:.1f} MiB ({m['peak_per_script_byte']:.2f} x the "
              f"script), resident set grew {resident / 2**20:.1f} MiB")
        print(f"  bound {target} = {bound / 2**20:.1f} MiB: {verdict(peak <= bound)}")

    if memory:
        print_memory(memory, "Peak memory loading a {mib:.1f} MiB script ({commands} commands)",
                     MEMORY_TARGET)

    if check_memory:
        print_memory(check_memory, "Peak memory of SrdwCheck with the dry run on a {mib:.1f} MiB "
                     "script ({commands} commands, every one failing)", CHECK_MEMORY_TARGET)
        print(f"  report: text {check_memory['text_report_bytes'] / 2**20:.1f} MiB, "
              f"JSON {check_memory['json_report_bytes'] / 2**20:.1f} MiB")

    if runs:
        r = runs
        print(f"\nWhole launcher runs natively, {r['commands']}-command script, median of {r['runs']}")
        print(f"  launcher start -> game start  {r['to_game'] * 1e3:8.2f} ms "
              f"(the game started directly: {r['bare_to_game'] * 1e3:.2f} ms)")
        print(f"  game end -> launcher exit     {r['from_game'] * 1e3:8.2f} ms "
              f"(the game started directly: {r['bare_from_game'] * 1e3:.2f} ms)")

    if processes:
        print("\nWhole processes natively (install, a game that ends at once, restore) beside a "
              "process making\nthe bare stats and renames of the same swaps; best of each")
        for r in processes:
            target = WHOLE_TARGETS.get((r["commands"], r["where"] == "/dev/shm"))
            judged = f"target <= {target}: {verdict(r['launcher'] / r['bare'] <= target)}" \
                if target else ""
            print(f"  {r['commands']:>6} swaps on {'tmpfs' if r['where'] == '/dev/shm' else 'disk '}"
                  f" launcher {r['launcher'] * 1e3:8.1f} ms  bare {r['bare'] * 1e3:8.1f} ms  "
                  f"ratio {r['launcher'] / r['bare']:.2f}  {judged}")
        for r in processes:
            if r["commands"] == 10000 and r["resident"]:
                factor, extra = WHOLE_MEMORY_TARGET
                bound = factor * r["script_bytes"] + extra
                print(f"  peak resident set at {r['commands']} swaps {r['resident'] / 2**20:.1f} MiB"
                      f" for a {r['script_bytes'] / 2**20:.2f} MiB script; target <= {factor} x "
                      f"script + {extra // 2**20} MiB = {bound / 2**20:.1f} MiB: "
                      f"{verdict(r['resident'] <= bound)}")

    for r in wine or []:
        n = r["commands"]
        print(f"\nWhole runs under Wine, the {r['preset']} build, {n} RenameEx, median of "
              f"{r['runs']} (launcher: its run less the game's)")
        print(f"  launcher start -> game start {r['to_game']:8.2f} s (of which the splash's "
              f"pause: 0.5 s); game end -> launcher exit {r['from_game']:8.2f} s")
        print(f"  launcher {r['launcher']:8.2f} s  bare GetFileAttributesA/MoveFileA program "
              f"{r['bare']:8.2f} s  per swap {r['launcher'] / n * 1e3:.2f} / "
              f"{r['bare'] / n * 1e3:.2f} ms")
        ratio = r["launcher"] / r["bare"]
        spread = f"{r['ratios'][0]:.2f}-{r['ratios'][-1]:.2f}"
        print(f"  ratio {ratio:.2f} (runs {spread}); without the splash's pause "
              f"{(r['launcher'] - 0.5) / r['bare']:.2f}  target <= {WINE_TARGET}: "
              f"{verdict(ratio <= WINE_TARGET)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--smoke", action="store_true",
                        help="each benchmark once, briefly, at its smallest size")
    parser.add_argument("--wine", action="store_true",
                        help="also time whole runs of the shipped 32-bit launcher under Wine")
    parser.add_argument("--wine-sizes", type=int, nargs="+",
                        help="the numbers of swaps of the Wine runs (1000 10000; with --smoke 10)")
    parser.add_argument("--wine-runs", type=int,
                        help="runs of each size under Wine, taken in turns (3; with --smoke 1)")
    args = parser.parse_args()
    try:
        build()
        figures = google_benchmarks(args.smoke)
        memory = memory_figures("srdw_load_memory", args.smoke)
        check_memory = memory_figures("srdw_check_memory", args.smoke)
        print("== whole launcher runs", flush=True)
        runs = whole_runs(os.path.join(BUILD, "SrdwLaunch"),
                          os.path.join(BENCH, "srdw_stand_in_game"),
                          10 if args.smoke else 1000, 1 if args.smoke else 15)
        print("== whole processes beside the bare system calls", flush=True)
        disk = os.environ.get("TMPDIR_DISK", ROOT)
        processes = [bare_process_runs(os.path.join(BUILD, "SrdwLaunch"), n, 1 if args.smoke else 5,
                                  where) for n, where in
                (((10, disk),) if args.smoke else
                 ((100, disk), (1000, disk), (10000, "/dev/shm" if os.path.isdir("/dev/shm")
                                              else disk)))]
        wine = None
        if args.wine:
            # Built here, so that the figures are never those of an older build.
            preset = windows_preset()
            print(f"== building the {preset} preset's SrdwLaunch.exe", flush=True)
            run(["cmake", "--preset", preset], cwd=ROOT, stdout=subprocess.DEVNULL)
            run(["cmake", "--build", "--preset", preset, "--target", "SrdwLaunch"], cwd=ROOT,
                stdout=subprocess.DEVNULL)
            launcher = os.path.join(ROOT, "build", preset, "SrdwLaunch.exe")
            wine = wine_runs(launcher, args.wine_sizes or ([10] if args.smoke else [1000, 10000]),
                             args.wine_runs or (1 if args.smoke else 3), preset)
        report(figures, memory, check_memory, runs, wine, args.smoke, processes)
    except (Failure, OSError, KeyError, ValueError) as error:
        print(f"tools/bench: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
