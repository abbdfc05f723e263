"""The system side of the sample drive: Windows, Program Files, ProgramData and the root's own files.

Each function is a filler: fill(folder, count) makes exactly `count` entries below the folder.
"""
from . import words as W
from .writer import (DAY, NOW, YEAR, R, alnum, between, files, flat, grow, guid, hexs, layout, pick,
                     pieces, recent, sub)

OS_BUILD = NOW - 4.5 * YEAR  # the day the installed Windows image was built
OS_INSTALL = OS_BUILD + 120 * DAY
MONTH = 30.44 * DAY
PATCH_DAYS = [OS_INSTALL + i * MONTH for i in range(int((NOW - OS_INSTALL) / MONTH))]


def patch_time():
    """System files: the image's build day, or one of the monthly update days (later ones likelier)."""
    if R.random() < 0.45:
        return OS_BUILD + R.random() * 3600
    return PATCH_DAYS[int(len(PATCH_DAYS) * R.random() ** 0.6)] + R.random() * 7200


def sys_name(ext):
    """kernelbase.dll, wmisvcprov64.dll, Windows.Media.Player.dll ..."""
    if R.random() < 0.15:
        stem = f"Windows.{pick(W.CODE_STEM).title()}.{pick(W.CODE_STEM).title()}"
    else:
        stem = pick(W.SYS_PREFIX) + pick(W.SYS_CORE) + (pick(W.SYS_CORE) if R.random() < 0.5 else "")
    return stem + pick(["", "", "", "32", "64", "2", "ex", "srv"]) + "." + ext


def sys_files(exts, weights=None, when=patch_time):
    return files(lambda: sys_name(pick(exts, weights)), when)


SYSTEM_FILES = sys_files(["dll", "exe", "mui", "sys", "cpl", "ax", "tlb", "xml"], [40, 6, 3, 2, 1, 1, 1, 1])


def dotted(first):
    """System.Data.Linq, Microsoft.Build ..."""
    more = f".{pick(W.CODE_STEM).title()}" if R.random() < 0.6 else ""
    return f"{first}.{pick(W.CODE_STEM).title()}{more}"


def named(choices):
    return lambda _depth: pick(choices)


def two_level(top_name, inner_name, make):
    """A folder per item (its own time), one inner folder, a few files: DriverStore, the GAC ..."""
    def fill(d, count):
        for n in pieces(count, 4):
            t = patch_time()
            top = d.folder(d.fresh(top_name), t)
            if n > 1:
                sub(top, inner_name(), n - 1, flat(lambda f: make(f, t)), t)
            top.close()
    return fill


def components(d, count):
    """WinSxS: one folder per component version, holding its files."""
    for n in pieces(count, 9):
        t = patch_time()
        arch = pick(["amd64", "wow64", "x86", "msil"], [6, 2, 1, 1])
        lang = pick(["none", "en-us", "de-de"], [8, 1, 1])
        f = d.folder(f"{arch}_microsoft-windows-{pick(W.WINSXS_PART)}-{pick(W.SYS_CORE)}_31bf3856ad364e35_"
                     f"10.0.19041.{R.randint(1, 4400)}_{lang}_{hexs(16)}", t)
        flat(sys_files(["dll", "exe", "mui", "sys", "manifest"], [12, 2, 3, 1, 1], lambda: t))(f, n - 1)
        f.close()


def gac_name():
    return dotted(pick(["System", "Microsoft", "System", "PresentationFramework"]))


def winsxs(d, count):
    manifest = lambda: f"{sys_name('x')[:-2]}_{hexs(16)}.manifest"
    layout(d, count, [
        ("Manifests", 30, flat(files(manifest, patch_time))),
        ("Catalogs", 4, flat(files(lambda: f"{hexs(64)}.cat", patch_time))),
        ("Temp", 0.2, flat(files(lambda: f"{hexs(8)}.tmp", lambda: recent(30)))),
        (None, 70, components),
    ])


def system32(d, count):
    driver_package = two_level(lambda: f"{pick(W.SYS_PREFIX)}{alnum(3).lower()}.inf_amd64_{hexs(16)}",
                               lambda: pick(["x64", "amd64", "drivers"]),
                               lambda f, t: f.file(sys_name(pick(["sys", "dll", "inf", "cat"])), t))
    hive = lambda: (pick(["SYSTEM", "SOFTWARE", "SAM", "SECURITY", "DEFAULT", "COMPONENTS", "BBI", "DRIVERS"])
                    + pick(["", ".LOG1", ".LOG2", ".sav", ".old", f"{guid()}.TM.blf",
                            f"{guid()}.TMContainer{R.randint(1, 9):08d}.regtrans-ms"]))
    task = lambda: f"{pick(W.CODE_STEM).title()}Task{R.randint(1, 99)}"
    layout(d, count, [
        ("notepad.exe", 0, None), ("cmd.exe", 0, None), ("kernel32.dll", 0, None), ("ntdll.dll", 0, None),
        ("shell32.dll", 0, None),
        ("drivers", 4, flat(sys_files(["sys"]))),
        ("DriverStore\\FileRepository", 12, driver_package),
        ("config", 0.5, flat(files(hive, lambda: recent(2)))),
        ("catroot", 2, grow(lambda _: guid().upper(), sys_files(["cat"]))),
        ("wbem", 2, grow(named(["Repository", "Performance", "AutoRecover", "xml", "en-US"]),
                         sys_files(["mof", "mfl", "dll", "xsl"], [3, 3, 2, 1]))),
        ("WindowsPowerShell\\v1.0\\Modules", 2, grow(lambda _: dotted("Microsoft.PowerShell"),
                                                     sys_files(["psd1", "psm1", "ps1xml", "dll"], [3, 2, 2, 1]))),
        ("Tasks", 0.5, grow(lambda _: pick(W.SYS_PREFIX).title() + pick(W.SYS_CORE).title(),
                            files(task, lambda: recent(200)))),
    ] + [(loc, 0.3, flat(sys_files(["mui"]))) for loc in ("de-DE", "en-US", "fr-FR", "ja-JP", "ru-RU")] + [
        (None, 40, flat(SYSTEM_FILES)),
    ])


def windows(d, count):
    dll = SYSTEM_FILES
    rollup = lambda: (f"Package_{R.randint(1, 3000)}_for_RollupFix~31bf3856ad364e35~amd64~~19041."
                      f"{R.randint(100, 4400)}.1.{R.randint(1, 12)}.{pick(['mum', 'cat'])}")
    font = lambda: (pick(W.NOUN) + (pick(W.NOUN).lower() if R.random() < 0.5 else "")
                    + pick(["", "b", "i", "z", "bd", "l"]) + "." + pick(["ttf", "ttc", "fon", "otf"], [8, 1, 1, 1]))
    log = lambda: f"{pick(W.CODE_STEM)}.{R.randint(20200101, 20240531)}.{pick(['log', 'etl'])}"
    prefetch = lambda: f"{pick(W.CODE_STEM).upper()}{pick(['.EXE', 'HOST.EXE', 'SVC.EXE'])}-{hexs(8).upper()}.pf"
    update = lambda: f"{pick(W.WINSXS_PART)}-{hexs(8)}.{pick(['cab', 'psf', 'esd', 'xml'], [5, 1, 0.3, 3])}"
    app_dir = lambda depth: (f"Microsoft.Windows.{pick(W.APPX)}_cw5n1h2txyewy" if depth == 0
                             else pick(["Assets", "js", "css", "images"]))
    app_file = lambda: f"{pick(W.CODE_STEM)}.{pick(['png', 'js', 'css', 'xml', 'dll', 'winmd'])}"
    layout(d, count, [
        ("System32", 20, system32),
        ("explorer.exe", 0, None), ("notepad.exe", 0, None), ("regedit.exe", 0, None), ("win.ini", 0, None),
        ("WinSxS", 34, winsxs),
        ("SysWOW64", 9, lambda f, n: layout(f, n, [("notepad.exe", 0, None),
                                                   ("en-US", 3, flat(sys_files(["mui"]))), (None, 60, flat(dll))])),
        ("assembly\\GAC_MSIL", 3, two_level(gac_name, lambda: "v4.0_4.0.0.0__b77a5c561934e089",
                                            lambda f, t: f.file(gac_name() + ".dll", t))),
        ("assembly\\NativeImages_v4.0.30319_64", 2, two_level(gac_name, lambda: hexs(32),
                                                              lambda f, t: f.file(gac_name() + ".ni.dll", t))),
        ("Microsoft.NET\\Framework64\\v4.0.30319", 4,
         grow(named(W.LOCALES + ["WPF", "Config", "SQL", "ASP.NETWebAdminFiles"]), dll, leaf=200)),
        ("servicing\\Packages", 6, flat(files(rollup, patch_time))),
        ("INF", 2, flat(sys_files(["inf", "pnf"]))),
        ("Fonts", 1, flat(files(font, lambda: OS_BUILD))),
        ("Installer", 0.5, lambda f, n: layout(f, n, [
            (None, 2, flat(files(lambda: f"{hexs(6)}.{pick(['msi', 'msp'])}", lambda: recent(400)))),
            (None, 1, two_level(lambda: guid().upper(), lambda: "Icons",
                                lambda g, t: g.file(f"{pick(W.CODE_STEM)}.ico", t)))])),
        ("Logs", 1, grow(named(["CBS", "DISM", "WindowsUpdate", "SIH", "waasmedic", "NetSetup"]),
                         files(log, lambda: recent(90)))),
        ("Prefetch", 0.5, flat(files(prefetch, lambda: recent(20)))),
        ("SoftwareDistribution\\Download", 3, grow(lambda _: hexs(32), files(update, lambda: recent(60)), leaf=12)),
        ("Temp", 0.3, grow(lambda _: guid().upper(), files(lambda: f"{hexs(8)}.tmp", lambda: recent(10)))),
        ("SystemApps", 2, grow(app_dir, files(app_file, patch_time))),
        ("Web\\Wallpaper", 0.1, grow(named(["Windows", "Theme1", "Theme2"]),
                                     files(lambda: f"img{R.randint(0, 40)}.jpg", lambda: OS_BUILD))),
    ])


def product(d, count):
    """An installed program: binaries, resources, language files, all from one install day."""
    t0 = between(OS_INSTALL, NOW - 5 * DAY)
    when = lambda: t0 + R.random() * 60

    def made(exts, weights=None):
        stem = lambda: pick(W.CODE_STEM) + (pick(W.CODE_STEM).title() if R.random() < 0.4 else "")
        suffix = ["", "", "_x64", "ui", "core", str(R.randint(1, 9))]
        return files(lambda: f"{stem()}{pick(suffix)}.{pick(exts, weights)}", when)

    binaries = made(["dll", "exe", "pak", "dat", "json", "xml", "png", "bin"], [20, 4, 3, 2, 2, 2, 4, 1])
    locale_file = files(lambda: f"{pick(W.CODE_STEM)}.{pick(['pak', 'qm', 'mo', 'dll'])}", when)
    layout(d, count, [
        (f"{pick(W.CODE_STEM)}.exe", 0, None),
        ("locales", 1, grow(named(W.LOCALES), locale_file, leaf=30, max_depth=1, fan=(10, 40))),
        (pick(["resources", "plugins", "share", "lib"]), 3,
         grow(named(W.CODE_DIR), made(["png", "svg", "json", "js", "xml", "dll", "ttf", "py", "pyc"]))),
        (None, 2, grow(named(W.CODE_DIR + ["bin", "x64", "x86", "redist"]), binaries, leaf=60)),
    ])


def store_apps(d, count):
    app_dir = lambda depth: (f"Microsoft.{pick(W.APPX)}_{R.randint(10, 22)}.{R.randint(1000, 2405)}."
                             f"{R.randint(0, 99)}.0_x64__8wekyb3d8bbwe" if depth == 0
                             else pick(["Assets", "AppxMetadata", "resources", "Images", "Lib"]))
    app_file = lambda: f"{pick(W.CODE_STEM)}.{pick(['png', 'dll', 'xml', 'pri', 'winmd'], [6, 3, 1, 1, 1])}"
    grow(app_dir, files(app_file, lambda: recent(200)))(d, count)


def steam(d, count):
    game_dir = named(["Content", "Paks", "data", "bin", "Maps", "Sound", "Movies", "Localization"])
    game_file = lambda: (f"{pick(W.CODE_STEM)}_{R.randint(0, 999)}."
                         f"{pick(['pak', 'bundle', 'vpk', 'dll', 'bin', 'json', 'png'], [3, 2, 2, 1, 2, 1, 2])}")
    games = [(g, R.paretovariate(1.2), grow(game_dir, files(game_file, lambda: recent(300)))) for g in W.GAMES]
    layout(d, count, [
        ("steam.exe", 0, None),
        ("steamapps\\shadercache", 1, grow(lambda _: str(R.randint(10, 2000000)),
                                           files(lambda: f"{hexs(16)}.bin", lambda: recent(60)))),
        ("steamapps\\common", 9, lambda f, n: layout(f, n, games)),
    ])


def program_files(products, extra):
    """Program Files or Program Files (x86): the given products, unevenly sized, and `extra` parts."""
    def fill(d, count):
        parts = [(p, R.paretovariate(1.1), product) for p in products]
        layout(d, count, parts + extra + [
            ("Common Files\\System", 0.3, grow(named(W.SYS_PREFIX), sys_files(["dll"]))),
            ("desktop.ini", 0, None),
        ])
    return fill


def program_data(d, count):
    start_menu = grow(lambda _: pick(W.VENDOR_PRODUCT).split("\\")[0],
                      files(lambda: f"{pick(W.NOUN)} {pick(W.CODE_STEM).title()}.lnk", lambda: recent(500)))
    definitions = two_level(lambda: guid().upper(), lambda: "x64",
                            lambda f, t: f.file(f"mp{pick(['asbase', 'avbase', 'asdlta', 'avdlta'])}.vdm", t))
    packages = two_level(lambda: f"{guid()}v{R.randint(1, 17)}.{R.randint(0, 40)}", lambda: "packages",
                         lambda f, t: f.file(f"{pick(W.CODE_STEM)}_{pick(['x64', 'x86'])}.{pick(['msi', 'cab'])}", t))
    vendor_file = lambda: f"{pick(W.CODE_STEM)}.{pick(['dat', 'xml', 'log', 'json', 'db', 'cab'])}"
    layout(d, count, [
        ("Microsoft\\Windows\\Start Menu\\Programs", 1, start_menu),
        ("Microsoft\\Windows Defender\\Definition Updates", 0.05, definitions),
        ("Package Cache", 3, packages),
        ("Microsoft\\Diagnosis\\ETLLogs", 0.5, flat(files(lambda: f"{pick(W.CODE_STEM)}_{hexs(6)}.etl",
                                                           lambda: recent(15)))),
        (None, 4, grow(lambda _: pick(W.VENDOR_PRODUCT).split("\\")[-1], files(vendor_file, lambda: recent(300)))),
    ])


def recycle_bin(d, count):
    """$Recycle.Bin\\<SID>: deleted items in $R/$I pairs under random names."""
    def fill(f, n):
        for _ in range(n):
            ext = pick(["docx", "jpg", "txt", "zip", "pdf", "png", "tmp"])
            f.file(f"${pick('RI')}{alnum(6)}.{ext}", recent(60))
    sid = f"S-1-5-21-{R.randint(10**9, 4 * 10**9)}-{R.randint(10**9, 4 * 10**9)}-{R.randint(10**8, 10**9)}-1001"
    layout(d, count, [(sid, 1, fill), ("desktop.ini", 0, None)])
