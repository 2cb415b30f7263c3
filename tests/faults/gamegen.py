"""Seeded random game folders and install scripts for the fault trials.

Each seed gives one folder and one script that mix what has tripped restores
before: chains across commands (a swap that takes an earlier swap's result),
SetDirectory into a folder the install itself makes, failures onto existing
targets, names in the wrong letter case, read-only files, @rootdir and
@cmdline, quoted names with blanks, a script that moves its own file, folders
named through "." and "..", and a script that moves the folder it works in.
"""
import os
import random

GAME = "Skyrend 2"
STEMS = ["Sky", "World Map", "tower keep", "Moon", "ambient", "Rain Drops", "Hero", "notes",
         "Readme", "b", "Fog Bank", "Lava"]
EXTENSIONS = [".pak", ".map", ".mdl", ".snd", ".txt"]
FOLDERS = ["", "Data", "Data/Maps", "Sound Files"]


class Game:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.files = {}  # path from the game folder, "/"-separated -> bytes
        self.read_only = set()
        self.folders = set(FOLDERS)
        self.lines = []
        self.arguments = []  # the launcher's own command line
        self.cwd = ""  # the folder the script's relative paths name, as the install leaves it

    def add(self, path, read_only=False):
        self.files[path] = ("%s %d\n" % (path, self.rng.randrange(10**6))).encode()
        if read_only:
            self.read_only.add(path)
        return path

    def spell(self, path):
        """The path as the script writes it: from @rootdir or relative, quoted or
        not, its name and its folders sometimes in another letter case."""
        rng = self.rng
        name = path.rsplit("/", 1)[-1]
        folder = path[: len(path) - len(name)]
        if rng.random() < 0.25:
            name = rng.choice([name.upper(), name.lower(), name.swapcase()])
        if rng.random() < 0.15:
            folder = rng.choice([folder.upper(), folder.lower(), folder.swapcase()])
        path = folder + name
        if self.cwd is not None and path.startswith(self.cwd) and rng.random() < 0.5:
            text = path[len(self.cwd):].lstrip("/")
        else:
            text = "@rootdir\\" + path
        text = text.replace("/", "\\")
        return '"%s"' % text if " " in text or rng.random() < 0.5 else text

    def command(self, name, *paths):
        self.lines.append("%s(%s)%s" % (name, ", ".join(paths), self.rng.choice(["", ";"])))

    def swap(self, original, modified, backup):
        self.command("RenameEx", self.spell(original), self.spell(modified), self.spell(backup))

    def rename(self, source, target):
        self.command("Rename", self.spell(source), self.spell(target))


def make(seed, root):
    """Writes the folder and script of `seed` under root/GAME; returns the
    launcher's arguments for the run that installs."""
    game = Game(seed)
    rng = game.rng
    stems = rng.sample(STEMS, 8)
    game_files = []
    for stem in stems[:6]:
        folder = rng.choice(FOLDERS)
        base = (folder + "/" if folder else "") + stem + rng.choice(EXTENSIONS)
        game_files.append(game.add(base, read_only=rng.random() < 0.3))
        if rng.random() < 0.8:
            game.add(base.rsplit(".", 1)[0] + ".dw", read_only=rng.random() < 0.15)
        if rng.random() < 0.15:
            game.add(base.rsplit(".", 1)[0] + ".bak")  # a stale backup: that swap fails
    kinds = ["swap", "swap", "chain", "rename", "chain rename", "made folder", "folder",
             "own file", "missing", "onto existing", "cmdline", "dotted folder", "moved directory"]
    for kind in rng.sample(kinds, rng.randrange(3, 8)):
        a, b = rng.sample(game_files, 2)
        stem_a = a.rsplit(".", 1)[0]
        if kind == "swap":
            game.swap(a, stem_a + ".dw", stem_a + ".bak")
        elif kind == "chain":  # the second swap takes the first one's result
            game.swap(a, stem_a + ".dw", stem_a + ".bak")
            game.swap(b, a, b + ".bak")
        elif kind == "rename":
            game.rename(a, stem_a + ".off")
        elif kind == "chain rename":
            game.rename(a, a + ".tmp")
            game.rename(a + ".tmp", stem_a + " Off.pak")
        elif kind == "made folder":  # the install makes the folder and works in it
            game.add("Sub.off/a.txt")
            game.add("Sub.off/" + b.rsplit("/", 1)[-1])
            game.rename("Sub.off", "Sub")
            game.command("SetDirectory", game.spell("Sub"))
            game.cwd = "Sub/"
            game.rename("Sub/a.txt", "Sub/" + b.rsplit("/", 1)[-1])  # fails: the mod's is there
            game.rename("Sub/a.txt", "Sub/c.txt")
        elif kind == "folder":
            folder = rng.choice(["Data", "Data/Maps", "Sound Files"])
            game.command("SetDirectory", game.spell(folder))
            game.cwd = folder + "/"
        elif kind == "own file":
            game.rename("SrdwLaunch.dat", "moved.dat")
        elif kind == "missing":
            game.swap("Clouds.pak", "Clouds.dw", "Clouds.bak")
        elif kind == "onto existing":
            game.rename(a, b)
        elif kind == "dotted folder":
            game.add("Dots/Inner/x.txt")
            game.command("Rename", '"@rootdir\\Dots\\."', '"@rootdir\\Dots Off"')
            game.command("Rename", '"@rootdir\\Dots Off\\Inner\\.."', '"@rootdir\\Dots Two"')
        elif kind == "moved directory":  # which Windows refuses, and Linux lets the directory follow
            game.add("Here/z.txt")
            game.command("SetDirectory", '"@rootdir\\Here"')
            game.command("Rename", ".", '"..\\Here Off"')
            game.command("Rename", "z.txt", '"..\\z.txt"')
            game.cwd = None  # where the later relative paths lead differs by system
        elif kind == "cmdline":  # started with /edit, which the restore no longer sees
            game.arguments = ["/edit"]
            game.command("Rename", game.spell(a), '"@rootdir\\Data@cmdline"')
    folder = os.path.join(root, GAME)
    for sub in game.folders:
        os.makedirs(os.path.join(folder, sub), exist_ok=True)
    for path, content in game.files.items():
        full = os.path.join(folder, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(content)
    with open(os.path.join(folder, "SrdwLaunch.dat"), "wb") as f:
        f.write("".join(line + "\r\n" for line in game.lines).encode())
    for path in game.read_only:
        os.chmod(os.path.join(folder, path), 0o444)
    return game.arguments
