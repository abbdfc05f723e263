"""The writing half of the sample-tree maker (scripts/make_tree.py): folders and files on disk, their
sizes and times, and the budget helpers that hand a count of entries down a layout.

Every filler is called as fill(folder, count) and makes exactly `count` entries below the folder.
That is what lets a layout split a total between its parts and get the total back exactly.
"""
import bisect
import calendar
import math
import os
import random
import re

R = random.Random(1)  # the one source of randomness; seeded by the maker

NOW = float(calendar.timegm((2024, 6, 1, 12, 0, 0)))  # fixed, so a seed always gives the same tree
DAY = 86400.0
YEAR = 365.25 * DAY
DOS_EPOCH = float(calendar.timegm((1980, 1, 1, 0, 0, 0)))  # what archives without times leave
MAX_PATH_CHARS = 240  # names are cut so that "C:\" + path stays below Windows' MAX_PATH

# Median size and spread (sigma of the logarithm) by extension: most files are small, a few are huge.
SIZES = {
    "dll": (90e3, 1.4), "exe": (250e3, 1.6), "sys": (50e3, 1.1), "mui": (12e3, 1.2), "inf": (8e3, 1.2),
    "pnf": (20e3, 1.0), "cat": (10e3, 1.0), "manifest": (2e3, 0.8), "mum": (1.5e3, 0.6),
    "xml": (4e3, 1.5), "ini": (600, 1.0), "json": (2e3, 1.6), "txt": (3e3, 1.8), "log": (20e3, 2.0),
    "etl": (1e6, 1.5), "ttf": (250e3, 1.2), "msi": (3e6, 1.5), "msp": (30e6, 1.0), "cab": (1e6, 1.6),
    "pf": (30e3, 0.9), "dat": (100e3, 2.5), "pak": (2e6, 1.5), "bin": (1e6, 2.5), "png": (60e3, 1.8),
    "ico": (20e3, 1.0), "lnk": (1.5e3, 0.4), "url": (200, 0.2), "jpg": (250e3, 1.2), "jpeg": (250e3, 1.2),
    "heic": (1.8e6, 0.4), "gif": (80e3, 1.5), "mp3": (6e6, 0.4), "flac": (30e6, 0.4), "m4a": (5e6, 0.5),
    "mp4": (60e6, 1.2), "mkv": (1.2e9, 0.5), "mov": (100e6, 1.2), "docx": (40e3, 1.2),
    "xlsx": (25e3, 1.4), "pptx": (2e6, 1.3), "pdf": (300e3, 1.7), "odt": (30e3, 1.2), "zip": (3e6, 1.8),
    "7z": (20e6, 2.0), "iso": (4e9, 0.4), "vhdx": (30e9, 0.5), "git": (900, 1.5), "js": (6e3, 1.6),
    "ts": (4e3, 1.4), "map": (20e3, 1.5), "cpp": (12e3, 1.2), "h": (4e3, 1.2), "py": (5e3, 1.3),
    "pyc": (8e3, 1.2), "cs": (6e3, 1.2), "md": (3e3, 1.3), "html": (15e3, 1.5), "css": (8e3, 1.5),
    "db": (500e3, 2.0), "sqlite": (1e6, 2.0), "dmp": (50e6, 1.2), "tmp": (40e3, 2.5),
    "vdm": (60e6, 0.8), "esd": (100e6, 0.8), "psf": (50e6, 1.0), "o": (30e3, 1.3), "obj": (30e3, 1.3),
    "bundle": (20e6, 1.5), "vpk": (100e6, 1.0), "qm": (100e3, 1.0), "mo": (60e3, 1.0),
}
PLAIN = (20e3, 2.0)
ZERO_OK = {"txt", "log", "tmp", "json", "ini", "lock", "dat", "etl", "md", "py", ""}  # empty now and then
SPECIAL = {"pagefile.sys": 17179869184, "hiberfil.sys": 6845104128, "swapfile.sys": 268435456,
           "DumpStack.log.tmp": 8192, "desktop.ini": 282, "HEAD": 23, ".gitignore": 412}
BOOT_FILES = {"pagefile.sys", "hiberfil.sys", "swapfile.sys", "DumpStack.log.tmp", "NTUSER.DAT", "ntuser.dat.LOG1"}
MAX_SIZE = 64 << 30

INVALID = re.compile(r'[<>:"/\\|?*\x00-\x1f]')
RESERVED = {"con", "prn", "aux", "nul"} | {f"{p}{i}" for p in ("com", "lpt") for i in range(1, 10)}


def size_for(name):
    """A size drawn for a file of this name."""
    if name in SPECIAL:
        return SPECIAL[name]
    ext = name.rpartition(".")[2].lower() if "." in name else ""
    if ext in ZERO_OK and R.random() < 0.04:
        return 0
    median, sigma = SIZES.get(ext, PLAIN)
    return min(MAX_SIZE, max(1, int(R.lognormvariate(math.log(median), sigma))))


def recent(mean_days, oldest=15):
    """A time before NOW, mostly recent: exponential age, at most `oldest` years."""
    return NOW - min(R.expovariate(1.0 / mean_days) * DAY, oldest * YEAR) - R.random() * DAY


def between(first, last):
    return first + R.random() * (last - first)


def hexs(n):
    return f"{R.getrandbits(4 * n):0{n}x}"


def alnum(n, letters="ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"):
    return "".join(R.choice(letters) for _ in range(n))


def guid():
    return "{%s-%s-%s-%s-%s}" % (hexs(8), hexs(4), hexs(4), hexs(4), hexs(12))


def pick(options, weights=None):
    return R.choices(options, weights)[0] if weights else R.choice(options)


def files(name, when):
    """A file maker for flat() and grow(): name() and when() give each file's name and time."""
    return lambda d: d.file(d.fresh(name), when())


def fit(name, room):
    """The name made valid on Windows and cut to the room left in the path (and 255 characters)."""
    name = INVALID.sub("_", name).rstrip(" .") or "_"
    if "mp3" in name.lower() and not (name.endswith(".mp3") and name.lower().count("mp3") == 1):
        name = re.sub("(?i)mp3", "mpeg", name)  # only .mp3 files carry "mp3": name hits == path hits
    if name.split(".")[0].lower() in RESERVED:
        name = "_" + name
    limit = max(12, min(255, room))
    while len(name.encode("utf-16-le")) // 2 > limit or len(name.encode()) > 255:
        stem, dot, ext = name.rpartition(".")
        name = (stem[:-1] + dot + ext) if dot and len(stem) > 1 else name[:-1]
    return name.rstrip(" .") or "_"


class Stats:
    BUCKETS = [0, 1 << 10, 10 << 10, 100 << 10, 1 << 20, 10 << 20, 100 << 20, 1 << 30, 10 << 30]
    YEARS = list(range(1980, 2026))
    YEAR_STARTS = [float(calendar.timegm((y, 1, 1, 0, 0, 0))) for y in YEARS]

    def __init__(self):
        self.files = self.folders = self.bytes = self.non_ascii = self.deepest = self.longest = 0
        self.sizes = [0] * (len(self.BUCKETS) + 1)
        self.years = [0] * len(self.YEARS)
        self.all_sizes = []

    def file(self, name, size, t, depth, length):
        self.files += 1
        self.bytes += size
        self.all_sizes.append(size)
        self.sizes[bisect.bisect_right(self.BUCKETS, size) if size else 0] += 1
        self.years[max(0, bisect.bisect_right(self.YEAR_STARTS, t) - 1)] += 1
        self.entry(name, depth, length)

    def entry(self, name, depth, length):
        if not name.isascii():
            self.non_ascii += 1
        self.deepest = max(self.deepest, depth)
        self.longest = max(self.longest, length)


class Folder:
    """An open folder of the tree being written: names are unique ignoring case, as on Windows; the
    folder's own time becomes the newest time below it when it is closed."""
    __slots__ = ("stats", "fd", "name", "parent", "names", "newest", "length", "depth", "base")

    def __init__(self, stats, fd, name, parent, length, depth, base):
        self.stats, self.fd, self.name, self.parent = stats, fd, name, parent
        self.names = set()
        self.length, self.depth, self.base, self.newest = length, depth, base, base

    def room(self):
        return MAX_PATH_CHARS - self.length - 1

    def _claim(self, name):
        name = fit(name, self.room())
        key = name.casefold()
        if key in self.names:
            stem, dot, ext = name.rpartition(".")
            if not dot or not stem:
                stem, dot, ext = name, "", ""
            n = 2
            while f"{stem} ({n}){dot}{ext}".casefold() in self.names:
                n += 1
            name = f"{stem} ({n}){dot}{ext}"
            key = name.casefold()
        self.names.add(key)
        return name

    def fresh(self, make_name, tries=8):
        """A name from make_name() that the folder does not hold yet, if a few tries find one (the
        folder adds " (2)" to a repeat, which is rare on a real disk)."""
        for _ in range(tries):
            name = make_name()
            if name.casefold() not in self.names:
                break
        return name

    def file(self, name, t=None, size=None):
        name = self._claim(name)
        if t is None:
            t = recent(2) if name in BOOT_FILES else self.base + R.random() * DAY
        if size is None:
            size = size_for(name)
        fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o644, dir_fd=self.fd)
        try:
            if size:
                os.ftruncate(fd, size)  # sparse: the size is real, the disk space is not used
            ns = int(t * 1e9)
            os.utime(fd, ns=(ns, ns))
        finally:
            os.close(fd)
        if t > self.newest:
            self.newest = t
        self.stats.file(name, size, t, self.depth + 1, self.length + 1 + len(name))

    def folder(self, name, t=None):
        name = self._claim(name)
        os.mkdir(name, 0o755, dir_fd=self.fd)
        fd = os.open(name, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC, dir_fd=self.fd)
        self.stats.folders += 1
        self.stats.entry(name, self.depth + 1, self.length + 1 + len(name))
        return Folder(self.stats, fd, name, self, self.length + 1 + len(name), self.depth + 1,
                      self.base if t is None else t)

    def close(self):
        os.close(self.fd)
        if self.parent is not None:
            ns = int(self.newest * 1e9)
            os.utime(self.name, ns=(ns, ns), dir_fd=self.parent.fd)
            if self.newest > self.parent.newest:
                self.parent.newest = self.newest


def apportion(total, weights):
    """`total` split by weight, the parts summing to `total` exactly (largest remainders)."""
    s = float(sum(weights))
    if total <= 0 or s <= 0:
        return [0] * len(weights)
    exact = [total * w / s for w in weights]
    shares = [int(x) for x in exact]
    for i in sorted(range(len(weights)), key=lambda i: shares[i] - exact[i])[:total - sum(shares)]:
        shares[i] += 1
    return shares


def sub(d, name, count, fill, t=None):
    """A subfolder `name` (backslashes make a chain) holding `count` entries made by fill; the
    folders of the chain are part of the count."""
    parts = name.split("\\")
    chain = [d]
    for part in parts[:count]:
        chain.append(chain[-1].folder(part, t))
    if len(chain) == len(parts) + 1:
        fill(chain[-1], count - len(parts))
    for f in reversed(chain[1:]):
        f.close()


def layout(d, count, parts):
    """Fills d from a list of parts: (name, weight, fill) makes a subfolder and gives it a share of
    the count by weight; (name, 0, None) is one file; (None, weight, fill) fills d itself. Names with
    backslashes are paths; parts that start with the same folder share it. A count too small for
    every part keeps the first ones, so parts come in order of importance."""
    merged, where = [], {}
    for name, weight, fill in parts:
        head, sep, rest = (name or "").partition("\\")
        if not sep:
            merged.append((name, weight, fill))
            continue
        if head not in where:
            where[head] = len(merged)
            merged.append((head, 0, []))
        _, total, inner = merged[where[head]]
        inner.append((rest, weight, fill))
        merged[where[head]] = (head, total + (weight if fill is not None else 0), inner)
    kept, cost = [], 0
    for p in merged:
        cost += p[0] is not None
        if cost > count:
            break
        kept.append(p)
    cost = min(cost, count)
    weights = [w if fill is not None else 0 for _, w, fill in kept]
    assert count == cost or sum(weights) > 0, "a layout needs a part that can take the rest"
    for (name, _, fill), share in zip(kept, apportion(count - cost, weights)):
        if name is None:
            fill(d, share)
        elif fill is None:
            d.file(name)
        else:
            f = d.folder(name)
            if isinstance(fill, list):
                layout(f, share, fill)
            else:
                fill(f, share)
            f.close()


def empty(d, count):
    """A folder that stays empty (a layout gives a part of weight 0 nothing)."""
    assert count == 0


def flat(make):
    """A filler that makes every entry with make(folder)."""
    def fill(d, count):
        for _ in range(count):
            make(d)
    return fill


def grow(dir_name, make, leaf=24, max_depth=7, fan=(2, 9)):
    """A filler for a nested tree: folders named by dir_name(depth), files made by make(folder);
    the count is split unevenly between a few subfolders until it fits a leaf folder."""
    def fill(d, count, depth=0):
        if count <= leaf or depth >= max_depth or d.room() < 40:
            for _ in range(count):
                make(d)
            return
        k = min(R.randint(*fan), count // 2)
        here = min(count - k, int(R.random() * leaf * 0.4))
        for _ in range(here):
            make(d)
        for share in apportion(count - here - k, [R.paretovariate(1.2) for _ in range(k)]):
            f = d.folder(d.fresh(lambda: dir_name(depth)))
            fill(f, share, depth + 1)
            f.close()
    return fill


def sets(dir_name, names, when):
    """A filler for folders that each hold (some of) the same few files: a folder per item."""
    def fill(d, count):
        for n in pieces(count, len(names) + 1, cap=len(names) + 1):
            f = d.folder(d.fresh(dir_name))
            t = when()
            for name in names[:n - 1]:
                f.file(name, t + R.random() * 60)
            f.close()
    return fill


def pieces(count, mean, cap=None):
    """Splits a count into runs of about `mean` (geometric), for fillers that make groups."""
    while count > 0:
        n = 1 + int(R.expovariate(1.0 / max(1, mean - 1)))
        n = min(count, n if cap is None else min(n, cap))
        yield n
        count -= n
