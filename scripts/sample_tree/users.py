"""The users' side of the sample drive: Users\\<name> with documents, music, pictures, videos,
downloads, source code and the AppData caches that make up most of a real profile's entries.

Each function is a filler: fill(folder, count) makes exactly `count` entries below the folder.
"""
import calendar
import time

from . import words as W
from .writer import (DAY, DOS_EPOCH, NOW, YEAR, R, alnum, between, empty, files, flat, grow, hexs, layout,
                     pick, pieces, recent, sets, sub)


def title():
    forms = [lambda: f"{pick(W.ADJ)} {pick(W.NOUN)}", lambda: pick(W.NOUN), lambda: f"The {pick(W.NOUN)}",
             lambda: f"{pick(W.NOUN)} of {pick(W.PLACE)}"]
    return pick(forms, [5, 3, 1, 1])()


def person():
    return f"{pick(W.FIRST)} {pick(W.LAST).replace('_', ' ')}"


def user_time():
    """Documents and the like: mostly the last two years, some much older (copied from older disks)."""
    return recent(500) if R.random() < 0.85 else recent(2500, oldest=20)


def doc_name():
    tail = pick(W.DOC_TAIL) if R.random() < 0.3 else ""
    year = f" {R.randint(2008, 2024)}" if R.random() < 0.3 else ""
    ext = pick(["docx", "xlsx", "pdf", "pptx", "txt", "odt", "doc", "jpg", "png", "csv"],
               [10, 5, 8, 2, 4, 1, 2, 2, 2, 1])
    return f"{pick(W.DOC_TOPIC)}{year}{' ' + tail if tail else ''}.{ext}"


def documents(d, count):
    doc_dir = lambda _: pick(W.DOC_FOLDER) + (f" {R.randint(2008, 2024)}" if R.random() < 0.3 else "")
    layout(d, count, [
        ("desktop.ini", 0, None),
        ("My Games", 0.5, sets(lambda: pick(W.GAMES), ["settings.ini", "save.dat", "profile.xml"], user_time)),
        ("Custom Office Templates", 0, empty),
        (None, 40, grow(doc_dir, files(doc_name, user_time), leaf=30)),
    ])


def named_game(_depth):
    return pick(W.GAMES)


def music(d, count):
    """Artist\\Album\\NN Title.mp3, a cover now and then; ripped or bought over the years."""
    artists = W.ARTISTS + [person() for _ in range(200)]
    remaining = count
    for n in pieces(count, 28):
        artist = d.folder(d.fresh(lambda: pick(artists)))
        left = n - 1
        while left > 0:
            year = R.randint(1965, 2023)
            t = between(calendar.timegm((max(year, 2005), 1, 1, 0, 0, 0)), NOW)
            album = artist.folder(f"{title()} ({year})" if R.random() < 0.4 else title(), t)
            left -= 1
            tracks = min(left, R.randint(8, 16))
            for i in range(tracks):
                ext = pick(["mp3", "flac", "m4a"], [20, 2, 3])
                album.file(f"{i + 1:02d} {title()}.{ext}", t + i * 300)
            left -= tracks
            if left > 0 and R.random() < 0.5:
                album.file(pick(["Folder.jpg", "cover.jpg", "AlbumArtSmall.jpg"]), t)
                left -= 1
            album.close()
        artist.close()
        remaining -= n
    assert remaining == 0


def pictures(d, count):
    """Year\\date event\\IMG_nnnn.JPG from the camera, phone pictures and screenshots."""
    first = R.randint(2003, 2016)
    years = list(range(first, 2025))
    counter = [R.randint(1, 5000)]

    def event(f, n):
        for i in range(n):
            counter[0] += 1
            t = f.base + i * R.uniform(5, 600)
            form = R.random()
            if form < 0.45:
                f.file(f"IMG_{counter[0] % 10000:04d}.{pick(['JPG', 'jpg', 'HEIC'], [6, 2, 1])}", t,
                       int(R.lognormvariate(15.1, 0.4)))
            elif form < 0.9:
                f.file(f"PXL_{ymdhms(t)}{R.randint(100, 999)}.jpg", t, int(R.lognormvariate(14.8, 0.5)))
            else:
                f.file(f"{title()}.{pick(['png', 'gif', 'jpeg'])}", t)

    def year_folder(f, n, year):
        start = calendar.timegm((year, 1, 1, 0, 0, 0))
        for m in pieces(n, 30):
            t = between(start, min(start + YEAR, NOW - DAY))
            when = ymdhms(t)[:8]
            label = f"{when[:4]}-{when[4:6]}-{when[6:]} {pick(W.EVENT)}"
            sub(f, label if R.random() < 0.8 else f"{pick(W.EVENT)} {pick(W.PLACE)}", m, event, t)

    weights = [1.0 + (y - first) * 0.3 for y in years]
    screenshots = files(lambda: f"Screenshot {ymdhms_dash(recent(200))}.png", lambda: recent(200))
    parts = [("desktop.ini", 0, None), ("Camera Roll", 0, empty), ("Saved Pictures", 0, empty),
             ("Screenshots", 2, flat(screenshots))]
    parts += [(str(y), w, lambda f, n, y=y: year_folder(f, n, y)) for y, w in zip(years, weights)]
    layout(d, count, parts)


def ymdhms(t):
    return time.strftime("%Y%m%d_%H%M%S", time.gmtime(t))


def ymdhms_dash(t):
    return time.strftime("%Y-%m-%d %H%M%S", time.gmtime(t))


def videos(d, count):
    clip = lambda: pick([lambda: f"VID_{ymdhms(recent(900))}.mp4", lambda: f"{title()} ({R.randint(1960, 2023)}).mkv",
                         lambda: f"{pick(W.EVENT)}.mov"], [8, 1, 2])()
    layout(d, count, [("desktop.ini", 0, None), ("Captures", 1, flat(files(
        lambda: f"{pick(W.GAMES)} {ymdhms_dash(recent(300))}.mp4", lambda: recent(300)))),
        (None, 3, grow(lambda _: pick(W.EVENT), files(clip, lambda: recent(900)), leaf=15))])


def download_name():
    forms = [lambda: f"{pick(W.CODE_STEM)}-setup-x64-{R.randint(1, 12)}.{R.randint(0, 30)}.{R.randint(0, 9)}.exe",
             lambda: f"{vendor().replace(' ', '')}Setup.exe",
             lambda: f"invoice_{R.randint(2016, 2024)}-{R.randint(1, 12):02d}.pdf",
             lambda: doc_name(), lambda: f"IMG_{R.randint(1, 9999):04d} (1).jpg",
             lambda: f"{pick(W.CODE_STEM)}-main.zip", lambda: f"{title()}.{pick(['zip', '7z', 'pdf', 'epub'])}",
             lambda: f"ubuntu-{R.randint(16, 24)}.04.{R.randint(1, 6)}-desktop-amd64.iso",
             lambda: f"Unconfirmed {R.randint(100000, 999999)}.crdownload"]
    return pick(forms, [6, 3, 3, 6, 3, 3, 4, 0.1, 1])()


def downloads(d, count):
    """Mostly loose files; some extracted archives, whose files keep the archive's (older) times."""
    def extracted(f, n):
        era = recent(700)
        dos = R.random() < 0.2  # archives made without times: every file at 1980-01-01
        when = (lambda: DOS_EPOCH) if dos else (lambda: era - R.random() * YEAR)
        name = lambda: f"{pick(W.CODE_STEM)}.{pick(['txt', 'dll', 'exe', 'md', 'png', 'html', 'dat'])}"
        grow(lambda _: pick(W.CODE_DIR), files(name, when), leaf=20)(f, n)

    while count > 0:
        n = min(count, 3 + int(R.paretovariate(1.2) * 6), 400) if R.random() < 0.08 else 1
        if n == 1:
            d.file(download_name(), recent(120))
        else:
            sub(d, f"{pick(W.CODE_STEM)}-{R.randint(1, 9)}.{R.randint(0, 20)}", n, extracted)
        count -= n


def hexfan(levels, name_len, when, ext="", per_bucket=8):
    """Content-addressed stores (.git\\objects, npm's and pip's caches): 2-hex buckets, hash names."""
    def fill(d, count):
        if levels == 0:
            for _ in range(count):
                d.file(hexs(name_len) + ext, when())
            return
        k = max(1, min(256, count // per_bucket))
        k = min(k, count)
        buckets = sorted(R.sample(range(256), k))
        inner = hexfan(levels - 1, name_len, when, ext, per_bucket)
        for b, share in zip(buckets, apportion_even(count - k, k)):
            sub(d, f"{b:02x}", share + 1, inner)
    return fill


def apportion_even(total, k):
    return [total // k + (1 if i < total % k else 0) for i in range(k)]


def node_modules(d, count, depth=0, scoped=False):
    if not scoped and count > 40 and R.random() < 0.6:
        share = count // 10
        sub(d, "@types", share, lambda f, m: node_modules(f, m, depth, scoped=True))
        count -= share
    for n in pieces(count, 14, cap=400):
        name = d.fresh(lambda: pick(W.NPM) if R.random() < 0.5 else f"{pick(W.NPM)}-{pick(W.CODE_STEM)}")
        when = recent(200)
        parts = [("package.json", 0, None), ("README.md", 0, None), ("LICENSE", 0, None),
                 (pick(["lib", "dist", "src"]), 6, grow(lambda _: pick(W.CODE_DIR), files(
                     lambda: f"{pick(W.CODE_STEM)}.{pick(['js', 'js', 'ts', 'map', 'json'])}", lambda: when)))]
        if n > 30 and depth < 3 and d.room() > 80:
            parts.append(("node_modules", 3, lambda f, m: node_modules(f, m, depth + 1)))
        sub(d, name, n, lambda f, m: layout(f, m, parts), when)


def vendor():
    return pick(W.VENDOR_PRODUCT).split("\\")[0]


def code_dirs(_depth):
    return pick(W.CODE_DIR)


def project(d, count):
    """A source repository: code, a .git folder, often node_modules and build output."""
    lang = pick(["cpp", "cs", "py", "ts"])
    exts = [lang, lang, "h" if lang == "cpp" else "json", "md"]
    code = files(lambda: f"{pick(W.CODE_STEM)}{pick(['', '_test', 's', '2'])}.{pick(exts)}", lambda: recent(300))
    built = files(lambda: f"{pick(W.CODE_STEM)}.{pick(['o', 'obj', 'pdb', 'dll'])}", lambda: recent(30))
    git_when = lambda: recent(300)
    parts = [
        ("README.md", 0, None), (".gitignore", 0, None),
        (".git\\HEAD", 0, None), (".git\\config", 0, None), (".git\\index", 0, None),
        (".git\\refs\\heads", 0.1, flat(files(lambda: pick(W.CODE_STEM), git_when))),
        (".git\\objects", 25, hexfan(1, 38, git_when)),
        ("src", 20, grow(code_dirs, code)),
        ("tests", 4, grow(code_dirs, code)),
        ("build" if lang == "cpp" else "bin", 8, grow(named(W.CODE_DIR + ["Debug", "Release", "obj"]), built)),
    ]
    if lang == "ts":
        parts.append(("node_modules", 35, node_modules))
    layout(d, count, parts)


def named(choices):
    return lambda _depth: pick(choices)


def source(d, count):
    forms = [lambda: f"{pick(W.CODE_STEM)}-{pick(W.CODE_STEM)}", lambda: pick(W.CODE_STEM).title(),
             lambda: f"AdventOfCode{R.randint(2015, 2023)}", lambda: f"{pick(W.NOUN)}Game"]
    projects = max(1, count // 3000) + 4
    layout(d, count, [(f"repos\\{pick(forms)()}", R.paretovariate(1.0), project) for _ in range(projects)])


def app_data(d, count):
    cache = flat(files(lambda: f"f_{hexs(6)}", lambda: recent(20)))
    lnk = files(lambda: f"{title()}.lnk", lambda: recent(60))
    temp_dir = lambda _: pick([f"{{{hexs(8).upper()}}}", f"_MEI{R.randint(1000, 99999)}", f"chrome_{alnum(6)}", "Low"])
    temp = grow(temp_dir, files(lambda: f"{pick(['~DF', 'tmp', 'wct', ''])}{hexs(4).upper()}.tmp", lambda: recent(10)))
    package_dir = lambda depth: (f"Microsoft.{pick(W.APPX)}_8wekyb3d8bbwe" if depth == 0
                                 else pick(["LocalState", "LocalCache", "Settings", "TempState", "AC", "INetCache"]))
    package_file = lambda: f"{pick(W.CODE_STEM)}.{pick(['dat', 'db', 'json', 'log', 'png'])}"
    web_file = lambda: f"{title()}[1].{pick(['htm', 'js', 'png', 'gif'])}"
    sizes = ["16", "32", "48", "96", "256", "768", "1280", "1920", "2560", "idx", "sr", "wide"]
    thumbs = lambda: f"{pick(['thumbcache', 'iconcache'])}_{pick(sizes)}{pick(['', '', '_' + hexs(16)])}.db"
    dump = lambda: f"{pick(W.CODE_STEM)}.exe.{R.randint(1000, 30000)}.dmp"
    profile_dir = alnum(8, "abcdefghijklmnopqrstuvwxyz0123456789") + ".default-release"

    def generic(exts):
        name = lambda: f"{pick(W.CODE_STEM)}.{pick(exts)}"
        return grow(named(W.CODE_DIR + W.CODE_STEM), files(name, lambda: recent(150)))

    chrome = "Local\\Google\\Chrome\\User Data\\Default\\"
    layout(d, count, [
        (chrome + "Cache\\Cache_Data", 8, cache),
        (chrome + "Code Cache\\js", 4, cache),
        (chrome + "Extensions", 3, generic(["js", "json", "png", "html", "css"])),
        ("Local\\Microsoft\\Edge\\User Data\\Default\\Cache\\Cache_Data", 5, cache),
        ("Local\\Microsoft\\Windows\\INetCache\\IE", 2, grow(lambda _: alnum(8), files(web_file, lambda: recent(30)))),
        ("Local\\Microsoft\\Windows\\Explorer", 0.2, flat(files(thumbs, lambda: recent(3)))),
        ("Local\\Temp", 8, temp),
        ("Local\\Packages", 10, grow(package_dir, files(package_file, lambda: recent(40)))),
        ("Local\\npm-cache\\_cacache\\content-v2\\sha512", 10, hexfan(2, 124, lambda: recent(300))),
        ("Local\\pip\\cache\\http", 3, hexfan(2, 56, lambda: recent(300))),
        ("Local\\Programs\\Python\\Python311\\Lib", 8, generic(["py", "pyc", "pyd", "txt"])),
        ("Local\\JetBrains", 2, generic(["xml", "log", "jar", "dat"])),
        ("Local\\CrashDumps", 0.05, flat(files(dump, lambda: recent(90)))),
        ("LocalLow\\Microsoft\\CryptnetUrlCache\\Content", 1, flat(files(lambda: hexs(32).upper(),
                                                                          lambda: recent(60)))),
        ("Roaming\\Microsoft\\Windows\\Recent", 3, flat(lnk)),
        ("Roaming\\Microsoft\\Windows\\Start Menu\\Programs", 1, grow(lambda _: vendor(), lnk)),
        (f"Roaming\\Mozilla\\Firefox\\Profiles\\{profile_dir}\\cache2\\entries", 8,
         flat(files(lambda: hexs(40).upper(), lambda: recent(20)))),
        ("Roaming\\Code\\User\\workspaceStorage", 3, sets(lambda: hexs(32), ["state.vscdb", "workspace.json",
                                                                           "state.vscdb.backup"], lambda: recent(60))),
        ("Roaming\\Spotify\\Storage", 4, hexfan(1, 40, lambda: recent(60), ".file")),
        ("Roaming\\Thunderbird\\Profiles", 3, generic(["msf", "sqlite", "json", "eml"])),
    ])


def profile(d, count):
    """One user's folder; the weights differ per user (one codes, one keeps photos, ...)."""
    w = lambda base: base * R.lognormvariate(0, 0.7)
    desk = files(lambda: pick([doc_name, lambda: f"{title()}.lnk", download_name], [3, 3, 1])(), user_time)
    layout(d, count, [
        ("NTUSER.DAT", 0, None), ("ntuser.dat.LOG1", 0, None), ("ntuser.ini", 0, None),
        ("Desktop", w(0.5), flat(desk)),
        ("Documents", w(12), documents),
        ("Downloads", w(5), downloads),
        ("Music", w(6), music),
        ("Pictures", w(8), pictures),
        ("Videos", w(0.8), videos),
        ("AppData", w(42), app_data),
        ("source", w(14), source),
        ("OneDrive\\Documents", w(2), documents),
        ("OneDrive\\Pictures", w(1), pictures),
        ("Favorites", w(0.1), flat(files(lambda: f"{title()}.url", user_time))),
        ("Saved Games", w(0.2), grow(named_game, files(lambda: f"save{R.randint(1, 99)}.sav", lambda: recent(200)))),
        ("3D Objects", 0, empty), ("Contacts", 0, empty), ("Links", 0, empty), ("Searches", 0, empty),
    ])


def users(d, count):
    people = R.sample(W.USERS, 4)
    parts = [(p, w, profile) for p, w in zip(people, [45, 25, 15, 8])]
    parts += [("Public\\Documents", 1, documents), ("Public\\Music", 1, music), ("Public\\Pictures", 1, pictures),
              ("Default\\AppData", 2, app_data), ("desktop.ini", 0, None)]
    layout(d, count, parts)
