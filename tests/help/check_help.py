#!/usr/bin/env python3
"""Checks the help: the project, contents and index name only pages that exist, every page is
listed, titled and in the contents, every link and anchor inside the pages resolves, and the
compiled help.chm is a CHM file that holds every file of the project.

usage: check_help.py HELP_SOURCE_DIR HELP_CHM
"""
import html.parser
import os
import re
import sys

EXTERNAL = re.compile(r"^(https?|mailto|ftp):", re.I)


class Page(html.parser.HTMLParser):
    """The links (href, src, and the Local values of a contents or index file) and anchors of a file."""

    def __init__(self, path):
        super().__init__(convert_charrefs=True)
        self.links, self.anchors, self.title = [], set(), False
        with open(path, encoding="iso-8859-1") as f:
            self.feed(f.read())

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.links += [a[key] for key in ("href", "src") if a.get(key)]
        if tag == "param" and (a.get("name") or "").lower() == "local":
            self.links.append(a.get("value") or "")
        if tag in ("a", "h1", "h2", "p", "div", "table"):
            self.anchors |= {a[key] for key in ("name", "id") if a.get(key)}
        self.title |= tag == "title"


def main(src, chm):
    options, files, section = {}, [], None  # [OPTIONS] and [FILES] of the project
    with open(os.path.join(src, "lumivex.hhp"), encoding="iso-8859-1") as f:
        for line in (l.strip() for l in f):
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].upper()
            elif line and section == "OPTIONS" and "=" in line:
                key, value = line.split("=", 1)
                options[key.strip().lower()] = value.strip()
            elif line and section == "FILES":
                files.append(line)
    on_disk = {f for f in os.listdir(src) if f.endswith(".html")}
    listed = {f for f in files if f.endswith(".html")}
    errors = ["%s is not listed in [FILES] of lumivex.hhp" % f for f in sorted(on_disk - listed)]
    errors += ["[FILES] names %s, which does not exist" % f for f in files if not os.path.isfile(os.path.join(src, f))]
    pages = {f: Page(os.path.join(src, f)) for f in sorted(on_disk & listed)}
    errors += ["%s has no title" % f for f, p in pages.items() if not p.title]
    sitemaps = {}
    for key in ("contents file", "index file"):
        name = options.get(key)
        if not name or not os.path.isfile(os.path.join(src, name)):
            errors.append("the %s of lumivex.hhp is missing: %s" % (key, name))
            continue
        sitemaps[key] = (name, Page(os.path.join(src, name)))
        if not sitemaps[key][1].links:
            errors.append("%s names no page" % name)

    for origin, page in list(pages.items()) + list(sitemaps.values()):
        for link in page.links:
            target, _, anchor = link.partition("#")
            target = target or origin
            if EXTERNAL.match(link):
                continue
            if target not in files:
                errors.append("%s links to %s, which is not a file of the help" % (origin, link))
            elif anchor and target in pages and anchor not in pages[target].anchors:
                errors.append("%s links to %s, which has no anchor %s" % (origin, target, anchor))
    if "contents file" in sitemaps:
        toc = {l.partition("#")[0] for l in sitemaps["contents file"][1].links}
        errors += ["%s is not in the table of contents" % f for f in sorted(listed - toc)]
    if options.get("default topic") not in files:
        errors.append("the default topic %s is not a file of the help" % options.get("default topic"))

    # The CHM: the "ITSF" signature, and a directory entry for every file of the project (a
    # directory entry is the name's length as one byte, then the name with a leading "/").
    try:
        with open(chm, "rb") as f:
            data = f.read()
        if not data.startswith(b"ITSF"):
            errors.append("%s does not start with the CHM signature ITSF" % chm)
        for name in files + [name for name, _ in sitemaps.values()]:
            entry = ("/" + name).encode("utf-8")
            if data.startswith(b"ITSF") and bytes([len(entry)]) + entry not in data:
                errors.append("%s does not hold %s" % (chm, name))
    except OSError as e:
        errors.append("cannot read %s: %s" % (chm, e))

    for e in errors:
        print("help: " + e)
    print("help: %d pages, %d problems" % (len(pages), len(errors)))
    return 1 if errors else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
