#!/usr/bin/env python3
"""Kill and power-loss trials of the launcher on seeded random scripts.

  trials.py kill  FAULTY REAL [--seeds A-B] [--jobs N] [--recovery-kills one|all]
  trials.py power FAULTY REAL [--seeds A-B] [--jobs N] [--cuts writes|bytes] [--nested K]

FAULTY is the launcher with faults in its system-call table (FaultyLauncher.cpp),
REAL the one that ships. `kill` ends the run at every change it makes to the
disk (install, game, restore), restarts it by the start-up entry ("/recover")
and by hand, and ends a recovery at its changes too. `power` records the run's
changes and builds every state a power loss could leave (see crash_states),
then runs the recovery on each. A state passes when the folder is exactly as
it was (names, bytes, mode bits) with no marker, journal or start-up entry
left; or when something had to stay: nothing lost, the marker, the journal and
the entry kept, the player told, and (for `kill`) the next start finishing.
"""
import argparse
import collections
import hashlib
import multiprocessing
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gamegen  # noqa: E402

ENTRY = "config/autostart/SrdwLaunch.desktop"
# The launcher's own files: its program and its logs. Nothing else of the
# launcher's may be left in the folder.
OWN = ("SrdwLaunch", "SrdwLaunch.log", "SrdwLaunch.log.1", "SrdwLaunch.log.2", "SrdwLaunch.log.3")


def game(t):
    return os.path.join(t, gamegen.GAME)


def state(t):
    """Every name under the game folder with its mode bits and content, but the
    launcher's own program and logs."""
    g = game(t)
    entries = []
    for folder, dirs, files in os.walk(g):
        for name in dirs + files:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, g)
            if relative in OWN:
                continue
            info = os.lstat(path)
            digest = ""
            if stat.S_ISREG(info.st_mode):
                with open(path, "rb") as f:
                    digest = hashlib.md5(f.read()).hexdigest()
            entries.append((relative, oct(stat.S_IMODE(info.st_mode)), digest))
    return sorted(entries)


def contents(entries):
    return collections.Counter(digest for _, _, digest in entries if digest)


def exists(t, path):
    return os.path.lexists(os.path.join(t, path))


def kept(t):
    """The marker, the journal and the start-up entry are all there."""
    return all(exists(t, p) for p in (gamegen.GAME + "/restore.mod", gamegen.GAME + "/restore.jnl",
                                      ENTRY))


def log(t):
    try:
        with open(os.path.join(game(t), "SrdwLaunch.log"), "rb") as f:
            return f.read().decode("latin-1")
    except OSError:
        return ""


def run(t, launcher, arguments=(), **settings):
    """Runs a launcher in the trial's folder; returns what it said on stderr."""
    own = os.path.join(game(t), "SrdwLaunch")
    if os.path.lexists(own):
        os.unlink(own)
    os.link(launcher, own)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(XDG_CONFIG_HOME=os.path.join(t, "config"), XDG_RUNTIME_DIR=t, WINDIR=t, HOME=t)
    env.update({"SRDW_FAULT_" + k.upper(): str(v) for k, v in settings.items()})
    # A player starts it in its folder; the start-up entry at log-in, from home.
    home = list(arguments[:1]) == ["/recover"]
    done = subprocess.run([own, *arguments], cwd=t if home else game(t), env=env,
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, timeout=120)
    return done.stderr.decode("latin-1")


def count(t, launcher, arguments=()):
    counter = os.path.join(t, "count")
    run(t, launcher, arguments, count=counter)
    with open(counter) as f:
        return int(f.read())


class Seed:
    """One seed's folder, its launchers and its verdicts."""

    def __init__(self, seed, work, faulty, real):
        self.seed = seed
        self.work = os.path.join(work, str(seed))
        os.makedirs(self.work)
        self.original = os.path.join(self.work, "original")
        self.arguments = gamegen.make(seed, self.original)
        shutil.copy(shutil.which("true"), os.path.join(game(self.original), "srend.exe"))
        self.faulty, self.real = faulty, real
        self.expected = state(self.original)
        self.trials = 0
        self.failures = []

    def fresh(self, name="trial"):
        t = os.path.join(self.work, name)
        if os.path.exists(t):
            shutil.rmtree(t)
        shutil.copytree(self.original, t, symlinks=True)
        return t

    def exact(self, t):
        return state(t) == self.expected and not exists(t, ENTRY)

    def fail(self, what, t):
        now = state(t)
        gone = sorted(set(self.expected) - set(now))
        new = sorted(set(now) - set(self.expected))
        self.failures.append("seed %d, %s: missing %s; instead %s%s" % (
            self.seed, what, gone, new, "; entry left" if exists(t, ENTRY) else ""))

    def settle(self, t, what):
        """After a restart: exact, or an ERROR line with everything kept and the
        next start (the start-up entry) finishing the job."""
        if not self.exact(t):
            if "ERROR" in log(t) and kept(t):
                run(t, self.real, ["/recover"])
            elif exists(t, ENTRY) and not exists(t, gamegen.GAME + "/restore.mod"):
                run(t, self.real, ["/recover"])  # an entry whose marker never came: log-in runs it
        self.trials += 1
        if not self.exact(t):
            self.fail(what, t)

    def kill_trials(self, recovery_kills):
        t = self.fresh()
        total = count(t, self.faulty, self.arguments)
        self.trials += 1
        if not self.exact(t):
            self.fail("a run without faults", t)
        choose = random.Random(self.seed)
        for n in range(1, total + 1):
            for restart, arguments in (("entry", ["/recover"]), ("hand", [])):
                t = self.fresh()
                run(t, self.faulty, self.arguments, mode="kill", at=n)
                run(t, self.real, arguments)
                self.settle(t, "killed at change %d, restarted by %s" % (n, restart))
            t = self.fresh()
            run(t, self.faulty, self.arguments, mode="kill", at=n)
            recovery = count(t, self.faulty, ["/recover"])
            points = range(1, recovery + 1)
            if recovery_kills == "one" and recovery:
                points = [choose.randint(1, recovery)]
            for m in points:
                t = self.fresh()
                run(t, self.faulty, self.arguments, mode="kill", at=n)
                run(t, self.faulty, ["/recover"], mode="kill", at=m)
                run(t, self.real)
                self.settle(t, "killed at change %d, then at change %d of the recovery" % (n, m))
        return total

    def power_trials(self, cuts, nested):
        record = self.fresh("record")
        trace = os.path.join(self.work, "trace")
        run(record, self.faulty, self.arguments, trace=trace)
        for number, (name, loss) in enumerate(crash_states(self.original, record, trace, cuts)):
            steps = [(self.arguments, loss)]
            if not nested or number % nested:
                self.recover(self.build(record, steps), "power loss " + name)
                continue
            # The recovery of this state is traced, and a power loss falls on it too.
            start = snapshot(self.build(record, steps), os.path.join(self.work, "start"))
            self.recover(self.build(record, steps), "power loss " + name, trace=trace + ".2")
            for inner, loss2 in crash_states(start, record, trace + ".2", cuts, "live.2"):
                t = self.build(record, steps + [(["/recover"], loss2)])
                self.recover(t, "power loss %s, then in the recovery %s" % (name, inner))
        return self.trials

    def build(self, t, steps):
        """Makes a crash state as a power loss would, the files' identities kept:
        each step's run ends before its change N (what came before persisted in
        order), then what it wrote since the last sync is damaged in place."""
        snapshot(self.original, t)
        for arguments, (at, damage) in steps:
            run(t, self.faulty, arguments, mode="kill", at=at)
            for relative, length, zeroed in damage:
                with open(os.path.join(t, relative), "r+b") as f:
                    content = f.read()
                    f.seek(0)
                    f.write(content[:length] + (bytes(len(content) - length) if zeroed else b""))
                    f.truncate()
        return t

    def recover(self, t, what, **settings):
        """Runs the recovery of a crash state: exact, or nothing lost, the marker
        kept and the player told."""
        self.trials += 1
        told = run(t, self.faulty if settings else self.real, ["/recover"], **settings).strip()
        if self.exact(t):
            return
        lost = contents(self.expected) - contents(state(t))
        marker = exists(t, gamegen.GAME + "/restore.mod")
        if lost or not marker or not told:
            self.fail("%s (%s%s%s)" % (what, "content lost, " if lost else "",
                                       "" if marker else "marker gone, ",
                                       "told" if told else "not told"), t)


def replay(operation, fields, root, recorded, fds):
    """Applies one traced change to the copy at `root` of the folder recorded at `recorded`."""
    def path(p):
        return root + p[len(recorded):] if p.startswith(recorded) else None

    if operation == "open":
        target = path(fields[1])
        if target is None:
            return
        if fields[0] in fds:
            os.close(fds.pop(fields[0]))
        fds[fields[0]] = os.open(target, int(fields[2]), int(fields[3]))
    elif operation == "close":
        if fields[0] in fds:
            os.close(fds.pop(fields[0]))
    elif operation in ("write", "pwrite"):
        if fields[0] in fds:
            data = bytes.fromhex(fields[1])
            if operation == "write":
                os.write(fds[fields[0]], data)
            else:
                os.pwrite(fds[fields[0]], data, int(fields[2]))
    elif operation == "ftruncate":
        if fields[0] in fds:
            os.ftruncate(fds[fields[0]], int(fields[1]))
    elif operation == "fchmod":
        if fields[0] in fds:
            os.fchmod(fds[fields[0]], int(fields[1]))
    elif operation == "fsync":
        pass
    else:
        paths = [path(p) for p in fields[: 1 if operation in ("unlink", "chmod", "mkdir") else 2]]
        if None in paths:
            return
        if operation == "rename":
            os.rename(*paths)
        elif operation == "link":
            os.link(*paths)
        elif operation == "unlink":
            os.unlink(paths[0])
        elif operation == "chmod":
            os.chmod(paths[0], int(fields[1]))
        elif operation == "mkdir":
            os.mkdir(paths[0], int(fields[1]))


def crash_states(start, recorded, trace, cuts, live="live"):
    """Every on-disk state a power loss during the recorded run could leave, in
    the manner of ALICE and CrashMonkey: the changes persisted in order up to
    any point; then, of each file written since its last sync (the logs aside),
    the bytes since that sync dropped, cut at a write's end or inside it (with
    `cuts` "bytes": at every byte), or zeroed. Each comes as its name and the
    loss that makes it: the change the run ends before, and the damage.
    The trace is replayed on a copy of `start` (where the run started) at
    `live`, beside `recorded` (where it ran), to know what each file holds."""
    with open(trace) as f:
        lines = [line.rstrip("\n").split("\t") for line in f]
    live = snapshot(start, os.path.join(os.path.dirname(recorded), live))
    fds = {}
    synced = {}  # inode -> (bytes at the last sync, the offsets where writes since then ended)
    step = 0
    for index in range(len(lines) + 1):
        if index == len(lines) or lines[index][0][0] in "+-":
            # The states after every change before this one.
            for label, damage in variants(live, synced, cuts):
                yield "after change %d%s" % (step, label), (step + 1, damage)
            step += 1
        if index == len(lines):
            break
        kind, fields = lines[index][0], lines[index][1:]
        operation = kind[1:]
        if kind[0] == "-":
            continue  # refused by the system: counted, nothing changed
        replay(operation, fields, live, recorded, fds)
        if operation in ("open", "write", "pwrite", "ftruncate", "fsync") and fields[0] in fds:
            track(synced, operation, fields, fds[fields[0]])
    for fd in fds.values():
        os.close(fd)


def track(synced, operation, fields, fd):
    """Keeps, for each regular file, its bytes as of its last sync and where each
    write since then ended."""
    info = os.fstat(fd)
    if not stat.S_ISREG(info.st_mode):
        return
    with open("/proc/self/fd/%d" % fd, "rb") as f:  # opened again: `fd` may be write-only
        now = f.read()
    if operation == "fsync":
        synced[info.st_ino] = (now, [])
    elif operation == "open" and (info.st_ino not in synced or int(fields[2]) & os.O_CREAT):
        synced[info.st_ino] = (now, [])  # what the changes before left of it
    if operation in ("write", "pwrite", "ftruncate"):
        synced[info.st_ino][1].append(len(now))


def variants(live, synced, cuts):
    """No damage, then each way of losing the unsynced bytes of each file, as
    (label, [(path, length kept, whether the rest is zeroed)])."""
    yield "", []
    inodes = {}
    for folder, _, files in os.walk(live):
        for file in files:
            path = os.path.join(folder, file)
            inodes[os.lstat(path).st_ino] = os.path.relpath(path, live)
    for inode, (durable, ends) in synced.items():
        relative = inodes.get(inode)
        if relative is None or os.path.basename(relative).startswith("SrdwLaunch.log"):
            continue
        with open(os.path.join(live, relative), "rb") as f:
            current = f.read()
        if current == durable or not current.startswith(durable):
            continue
        lengths = {e for e in ends if len(durable) < e < len(current)}
        lengths |= {e - 1 for e in ends if len(durable) < e <= len(current)}  # torn records
        if cuts == "bytes":
            lengths = range(len(durable) + 1, len(current))
        yield ", %s dropped" % relative, [(relative, len(durable), False)]
        for n in sorted(lengths):
            yield ", %s cut at %d" % (relative, n), [(relative, n, False)]
        yield ", %s zeroed" % relative, [(relative, len(durable), True)]


def snapshot(source, t):
    """A copy of `source` at `t`, in place of what was there."""
    if os.path.exists(t):
        shutil.rmtree(t)
    shutil.copytree(source, t, symlinks=True)
    return t


def trial(job):
    seed, mode, option, nested, work, faulty, real = job
    s = Seed(seed, work, faulty, real)
    size = s.kill_trials(option) if mode == "kill" else s.power_trials(option, nested)
    shutil.rmtree(s.work, ignore_errors=True)
    return seed, size, s.trials, s.failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("mode", choices=["kill", "power"])
    parser.add_argument("faulty")
    parser.add_argument("real")
    parser.add_argument("--seeds", default="1-30")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--recovery-kills", choices=["one", "all"], default="one")
    parser.add_argument("--cuts", choices=["writes", "bytes"], default="writes")
    parser.add_argument("--nested", type=int, default=0, metavar="K",
                        help="power: also explore the recovery of every K-th crash state")
    options = parser.parse_args()
    first, _, last = options.seeds.partition("-")
    seeds = range(int(first), int(last or first) + 1)
    # A folder in memory where there is one: the trials make many small files.
    work = tempfile.mkdtemp(prefix="srdw-trials-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    faulty, real = os.path.join(work, "faulty"), os.path.join(work, "real")
    shutil.copy(options.faulty, faulty)
    shutil.copy(options.real, real)
    option = options.recovery_kills if options.mode == "kill" else options.cuts
    jobs = [(s, options.mode, option, options.nested, work, faulty, real) for s in seeds]
    trials = failed = sizes = 0
    try:
        with multiprocessing.Pool(options.jobs) as pool:
            for seed, size, count_, failures in pool.imap_unordered(trial, jobs):
                trials += count_
                sizes += size
                for failure in failures:
                    print("FAIL:", failure, flush=True)
                failed += len(failures)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    what = "changes in whole runs" if options.mode == "kill" else "crash states"
    print("%s trials on %d scripts: %d %s; %d trials, %d passed, %d failed" % (
        options.mode, len(seeds), sizes, what, trials, trials - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
