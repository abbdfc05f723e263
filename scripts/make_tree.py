#!/usr/bin/env python3
"""Makes a sample tree shaped like a Windows system drive, for the demo, the tests and the benchmarks.

    make_tree.py OUT [--entries N] [--seed S] [--stats]

OUT gets exactly N entries below it (files and folders; default 20000): Windows (System32, SysWOW64,
WinSxS, ...), Program Files, ProgramData, Users\\<name> (Documents, Music, Pictures, Videos, Downloads,
AppData, source code with .git and node_modules), the page file. Names mix ASCII with accented,
Cyrillic, Greek, CJK and other letters, and are unique ignoring case in each folder, as on Windows.
Sizes follow a log-normal law per file type (many small files, a long tail of large ones; set with
truncate, so the files are sparse and take no disk space). Times spread over years: system files on
the image's build day and monthly update days, user files mostly recent, some years old, extracted
archives now and then at 1980-01-01; a folder's time is the newest time below it. Only .mp3 files
have "mp3" in their names, so a name search and a path search for it count the same.

The same N and S give the same tree, whenever and wherever it is made. The tree is written to
OUT.partial and renamed to OUT when complete, so an interrupted run never leaves a tree that a caller
would take for a finished one. OUT must not exist yet.
"""
import argparse
import os
import shutil
import statistics
import sys
import time

from sample_tree import words as W
from sample_tree.system import OS_INSTALL, program_data, program_files, recycle_bin, steam, store_apps, windows
from sample_tree.users import users
from sample_tree.writer import R, Folder, Stats, empty, files, flat, guid, layout, recent


def drive(d, count):
    products = list(W.VENDOR_PRODUCT)
    R.shuffle(products)
    half = len(products) // 2
    shadow_copy = lambda: f"{guid()}{{3808876b-c176-4e48-b7ae-04046e6cc752}}"
    layout(d, count, [
        ("Windows", 30, windows),
        ("Users", 42, users),
        ("Program Files", 12, program_files(products[:half], [("WindowsApps", 5, store_apps)])),
        ("Program Files (x86)", 8, program_files(products[half:], [("Steam", 3, steam)])),
        ("ProgramData", 5, program_data),
        ("pagefile.sys", 0, None), ("hiberfil.sys", 0, None), ("swapfile.sys", 0, None),
        ("DumpStack.log.tmp", 0, None),
        ("$Recycle.Bin", 0.4, recycle_bin),
        ("System Volume Information", 0.02, flat(files(shadow_copy, lambda: recent(30)))),
        ("Recovery\\WindowsRE", 0.01, flat(files(lambda: "Winre.wim", lambda: recent(400)))),
        ("PerfLogs", 0, empty),
    ])


def make(out, entries, seed):
    """Writes the tree to OUT.partial and renames it to OUT; returns the statistics."""
    R.seed(seed)
    partial = out + ".partial"
    if os.path.lexists(partial):
        shutil.rmtree(partial)
    os.makedirs(partial)
    stats = Stats()
    root = Folder(stats, os.open(partial, os.O_RDONLY | os.O_DIRECTORY), None, None, 0, 0, OS_INSTALL)
    try:
        drive(root, entries)
    finally:
        root.close()
    ns = int(root.newest * 1e9)
    os.utime(partial, ns=(ns, ns))
    made = stats.files + stats.folders
    if made != entries:
        raise RuntimeError(f"made {made} entries instead of {entries}")
    os.rename(partial, out)
    return stats


def human(n):
    for unit in ("B", "KB", "MB", "GB", "TB"):
        if n < 1024 or unit == "TB":
            return f"{n:.0f} {unit}" if unit == "B" else f"{n:.1f} {unit}"
        n /= 1024.0


def report(stats):
    files = max(1, stats.files)
    sizes = sorted(stats.all_sizes) or [0]
    q = lambda p: sizes[min(len(sizes) - 1, int(p * len(sizes)))]
    print(f"sizes: total {human(stats.bytes)} (sparse), median {human(statistics.median(sizes))}, "
          f"p90 {human(q(0.9))}, p99 {human(q(0.99))}, max {human(sizes[-1])}")
    labels = ["0", "<1K", "<10K", "<100K", "<1M", "<10M", "<100M", "<1G", "<10G", ">=10G"]
    print("  " + "  ".join(f"{label} {100.0 * n / files:.1f}%" for label, n in zip(labels, stats.sizes)))
    years = [(y, n) for y, n in zip(Stats.YEARS, stats.years) if n]
    print("times: " + "  ".join(f"{y} {100.0 * n / files:.1f}%" for y, n in years))
    print(f"names outside ASCII: {stats.non_ascii}; deepest entry: level {stats.deepest}; "
          f"longest path: {stats.longest} characters")


def main():
    parser = argparse.ArgumentParser(description="Makes a sample tree shaped like a Windows system drive.")
    parser.add_argument("out", help="the folder to make (must not exist)")
    parser.add_argument("--entries", type=int, default=20000, help="files and folders below OUT (default 20000)")
    parser.add_argument("--seed", type=int, default=1, help="the same seed gives the same tree (default 1)")
    parser.add_argument("--stats", action="store_true", help="print the size and time distributions")
    args = parser.parse_args()
    if args.entries < 0:
        parser.error("--entries must be 0 or more")
    out = os.path.normpath(args.out)
    if os.path.lexists(out):
        parser.error(f"{out} exists already; remove it or choose another folder")
    start = time.monotonic()
    try:
        stats = make(out, args.entries, args.seed)
    except (OSError, RuntimeError) as e:
        print(f"make_tree: {e}", file=sys.stderr)
        return 1
    print(f"{out}: {stats.files + stats.folders} entries ({stats.files} files, {stats.folders} folders) "
          f"in {time.monotonic() - start:.1f} s")
    if args.stats:
        report(stats)
    return 0


if __name__ == "__main__":
    sys.exit(main())
