#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files, with PNG previews to look at.

    draw_icons.py OUTDIR [PREVIEWDIR [NAME.ico ...]]

Writes every icon (or the named ones) into OUTDIR, and a PNG preview of each into PREVIEWDIR.

How it works: every icon is a short list of shapes on a 48-unit design grid. A shape is a signed
distance function (negative inside) with a bounding box; combining shapes is min/max of distances.
A pixel's coverage comes from 2 x 2 sub-samples, each taking the distance at its centre as a linear
ramp one sub-sample wide, so edges are anti-aliased without a rasteriser. Colours are painted with
linear or radial gradients and composited (premultiplied, source over) into an RGBA canvas per size.
The small sizes get widths of at least a whole pixel and coordinates snapped to the pixel grid where
a crisp edge matters, so the 16-pixel images stay readable.

Images below 256 pixels are stored as 32-bit DIBs with alpha and an AND mask (every Windows version
reads them); the 256-pixel image of the program icon is stored as PNG. Only the standard library is
used: zlib for PNG, struct for the file headers.
"""
import math
import os
import struct
import sys
import zlib

TOOLBAR_SIZES = (16, 32, 37, 40, 48)
PROGRAM_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SMALL_SIZES = (16, 20, 24, 32)


# ----------------------------------------------------------------------------------------------------
# File formats

def png_bytes(size_w, size_h, rgba):
    """rgba: bytes of straight (not premultiplied) RGBA rows, top row first."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    stride = size_w * 4
    raw = b"".join(b"\0" + rgba[y * stride:(y + 1) * stride] for y in range(size_h))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size_w, size_h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def dib_bytes(size, rgba):
    """An icon image as a DIB: header, BGRA rows bottom-up, then the 1-bit AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        rows.append(bytes(b for i in range(0, len(row), 4)
                          for b in (row[i + 2], row[i + 1], row[i], row[i + 3])))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        line = bytearray(mask_stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                line[x >> 3] |= 0x80 >> (x & 7)
        mask += line
    return header + b"".join(rows) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, rgba). 256 goes in as PNG, the rest as DIBs."""
    blobs = [png_bytes(s, s, px) if s >= 256 else dib_bytes(s, px) for s, px in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (s, _), blob in zip(images, blobs):
        dim = 0 if s >= 256 else s
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


# ----------------------------------------------------------------------------------------------------
# Shapes: signed distance in design units, negative inside.

class Shape:
    def __init__(self, dist, box):
        self.dist = dist
        self.box = box  # x0, y0, x1, y1 in design units

    def __or__(self, other):
        a, b = self.dist, other.dist
        return Shape(lambda x, y: min(a(x, y), b(x, y)), _box_union(self.box, other.box))

    def __and__(self, other):
        a, b = self.dist, other.dist
        return Shape(lambda x, y: max(a(x, y), b(x, y)), _box_inter(self.box, other.box))

    def __sub__(self, other):
        a, b = self.dist, other.dist
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)

    def grow(self, w):
        d = self.dist
        x0, y0, x1, y1 = self.box
        return Shape(lambda x, y: d(x, y) - w, (x0 - w, y0 - w, x1 + w, y1 + w))

    def ring(self, w):
        """The band of width w just inside the outline."""
        d = self.dist
        return Shape(lambda x, y: abs(d(x, y) + w / 2) - w / 2, self.box)


def _box_union(a, b):
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def _box_inter(a, b):
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def rect(x0, y0, x1, y1, r=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2
    r = min(r, hx, hy)

    def d(x, y):
        qx, qy = abs(x - cx) - hx + r, abs(y - cy) - hy + r
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return Shape(d, (x0, y0, x1, y1))


def segment(ax, ay, bx, by, w):
    """A stroke of width w from a to b with round caps."""
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9
    h = w / 2

    def d(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - h
    return Shape(d, (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h))


def polygon(points):
    n = len(points)

    def d(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            ll = ex * ex + ey * ey or 1e-9
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / ll))
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return -best if inside else best
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(d, (min(xs), min(ys), max(xs), max(ys)))


def ellipse(cx, cy, rx, ry, angle=0.0):
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    m = min(rx, ry)

    def d(x, y):
        px, py = x - cx, y - cy
        u, v = (px * c + py * s) / rx, (-px * s + py * c) / ry
        return (math.hypot(u, v) - 1) * m
    r = max(rx, ry)
    return Shape(d, (cx - r, cy - r, cx + r, cy + r))


# ----------------------------------------------------------------------------------------------------
# Paints: colour (r, g, b, a) in 0..1 at a design point.

def hexc(text, a=1.0):
    text = text.lstrip("#")
    return (int(text[0:2], 16) / 255, int(text[2:4], 16) / 255, int(text[4:6], 16) / 255, a)


def _mix(stops, t):
    t = max(0.0, min(1.0, t))
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            f = 0.0 if t1 == t0 else (t - t0) / (t1 - t0)
            return tuple(a + (b - a) * f for a, b in zip(c0, c1))
    return stops[-1][1]


def solid(color):
    return lambda x, y: color


def linear(x0, y0, x1, y1, *colors):
    stops = _stops(colors)
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy
    return lambda x, y: _mix(stops, ((x - x0) * dx + (y - y0) * dy) / ll)


def radial(cx, cy, r, *colors):
    stops = _stops(colors)
    return lambda x, y: _mix(stops, math.hypot(x - cx, y - cy) / r)


def _stops(colors):
    if isinstance(colors[0], tuple) and len(colors[0]) == 2:
        return list(colors)
    n = len(colors) - 1
    return [(i / n, c) for i, c in enumerate(colors)]


# ----------------------------------------------------------------------------------------------------
# Canvas

class Canvas:
    GRID = 48.0

    def __init__(self, size):
        self.size = size
        self.k = size / self.GRID          # pixels per design unit
        self.px = [0.0] * (size * size * 4)  # premultiplied RGBA

    # Helpers for the designs: a width of at least n pixels, and a coordinate on a pixel edge.
    def atleast(self, w, pixels=1.0):
        return max(w, pixels / self.k)

    def snap(self, v):
        return round(v * self.k) / self.k

    @property
    def small(self):
        return self.size <= 24

    def draw(self, shape, paint, opacity=1.0, soft=0.0):
        """Fills shape; soft > 0 widens the edge ramp to that many design units (for shadows)."""
        n, k = self.size, self.k
        x0, y0, x1, y1 = shape.box
        pad = soft + 2 / k
        i0, i1 = max(0, int((x0 - pad) * k)), min(n, int(math.ceil((x1 + pad) * k)))
        j0, j1 = max(0, int((y0 - pad) * k)), min(n, int(math.ceil((y1 + pad) * k)))
        dist = shape.dist
        sub = 2 if n <= 64 and soft == 0 else 1
        offs = [(a + 0.5) / sub for a in range(sub)]
        ramp = soft if soft > 0 else 1 / (k * sub)
        weight = 1.0 / (sub * sub)
        px = self.px
        for j in range(j0, j1):
            for i in range(i0, i1):
                cov = 0.0
                for oy in offs:
                    y = (j + oy) / k
                    for ox in offs:
                        d = dist((i + ox) / k, y)
                        c = 0.5 - d / ramp
                        cov += 1.0 if c >= 1 else (c if c > 0 else 0.0)
                cov *= weight * opacity
                if cov <= 0:
                    continue
                r, g, b, a = paint((i + 0.5) / k, (j + 0.5) / k)
                a *= cov
                p = (j * n + i) * 4
                keep = 1 - a
                px[p] = r * a + px[p] * keep
                px[p + 1] = g * a + px[p + 1] * keep
                px[p + 2] = b * a + px[p + 2] * keep
                px[p + 3] = a + px[p + 3] * keep

    def outlined(self, shape, fill, edge, width=1.0):
        """The shape in its edge colour, then its inside (one edge width in) in the fill."""
        w = self.atleast(width, 1.0)
        self.draw(shape, edge)
        self.draw(shape.grow(-w), fill)

    def shadow(self, shape, dx=0.8, dy=1.2, opacity=0.28):
        s = shape.grow(0)
        d = s.dist
        x0, y0, x1, y1 = s.box
        moved = Shape(lambda x, y: d(x - dx, y - dy), (x0 + dx, y0 + dy, x1 + dx, y1 + dy))
        self.draw(moved, solid((0, 0, 0, 1)), opacity, soft=max(1.2, 1.2 / self.k))

    def rgba(self):
        out = bytearray(self.size * self.size * 4)
        px = self.px
        for p in range(0, len(px), 4):
            a = px[p + 3]
            if a <= 0.0:
                continue
            a8 = min(255, int(a * 255 + 0.5))
            if a8 == 0:
                continue
            for c in range(3):
                out[p + c] = min(255, int(px[p + c] / a * 255 + 0.5))
            out[p + 3] = a8
        return bytes(out)


# ----------------------------------------------------------------------------------------------------
# The designs (48-unit grid).

EDGE_DARK = hexc("#2b2f36")


def draw_program(c):
    """A hard drive with a magnifying glass over it."""
    s = c.snap
    body = rect(s(2), s(24), s(46), s(44), 4 if not c.small else 3)
    c.shadow(body)
    c.outlined(body, linear(0, 24, 0, 44, hexc("#f4f6f9"), hexc("#c9d0d8"), hexc("#9aa4b0")),
               solid(hexc("#46505c")), 1.2)
    panel = rect(s(6), s(34), s(42), s(40), 1.5)
    c.draw(panel, linear(0, 34, 0, 40, hexc("#59636f"), hexc("#7d8895")))
    led = circle(9.5, 37, c.atleast(2.0, 1.6))
    c.draw(led.grow(c.atleast(1.2, 0.6)), solid(hexc("#6dff7a", 0.35)))
    c.draw(led, radial(9, 36.3, 2.5, hexc("#d9ffdc"), hexc("#26c23a")))
    if not c.small:
        for x in (15, 18, 21):
            c.draw(rect(x, 35.5, x + 1.2, 38.5, 0.4), solid(hexc("#3d4651")))
    # magnifying glass
    cx, cy, r = 19.0, 17.0, 13.5
    rim_w = c.atleast(4.2, 1.6)
    handle = segment(29.5, 27.5, 43.0, 41.0, c.atleast(7.5, 3.0))
    c.shadow(handle | circle(cx, cy, r), 1.0, 1.5, 0.3)
    c.outlined(handle, linear(30, 40, 42, 28, hexc("#1e2227"), hexc("#4d5661"), hexc("#2a2f36")),
               solid(hexc("#14171b")), 1.0)
    if not c.small:
        c.draw(segment(32, 28.8, 41.2, 38, 1.3), solid((1, 1, 1, 0.22)))
    lens = circle(cx, cy, r - rim_w + 0.2)
    c.draw(lens, radial(cx - 4, cy - 5, r * 1.5, hexc("#ffffff", 0.95), hexc("#c4e6ff", 0.88),
                        hexc("#6fb4ea", 0.88)))
    rim = circle(cx, cy, r).ring(rim_w)
    c.draw(rim, linear(cx - r, cy - r, cx + r, cy + r, hexc("#7fa7d4"), hexc("#2f5f96"),
                       hexc("#1d3f69")))
    c.draw(circle(cx, cy, r).ring(c.atleast(0.8, 0.7)), solid(hexc("#123056")))
    c.draw(circle(cx, cy, r - rim_w).ring(c.atleast(0.6, 0.5)), solid(hexc("#123056", 0.6)))
    if c.size >= 20:
        inner = r - rim_w - 1.6
        glint = circle(cx, cy, inner) - circle(cx + 2.2, cy + 2.2, inner)
        c.draw(glint, solid((1, 1, 1, 0.85)))


def draw_music(c):
    s = c.snap
    fill = linear(8, 6, 40, 44, hexc("#7b8cff"), hexc("#5a48e6"), hexc("#3b1fa8"))
    edge = solid(hexc("#24116b"))
    stem_w = c.atleast(3.4, 1.6)
    head1 = ellipse(13.5, 37.5, 7.6, 5.4, -22)
    head2 = ellipse(35.5, 33.5, 7.6, 5.4, -22)
    x1, x2 = s(19.8), s(41.8)
    stem1 = rect(x1 - stem_w, 11, x1, 37)
    stem2 = rect(x2 - stem_w, 7, x2, 33)
    beam = polygon([(x1 - stem_w, 10.5), (x2, 4.5), (x2, 4.5 + c.atleast(7.5, 3.2)),
                    (x1 - stem_w, 10.5 + c.atleast(7.5, 3.2))])
    note = head1 | head2 | stem1 | stem2 | beam
    c.shadow(note)
    c.outlined(note, fill, edge, 1.1)
    if not c.small:
        c.draw(ellipse(11.5, 35.5, 3.0, 1.6, -22), solid((1, 1, 1, 0.45)))
        c.draw(ellipse(33.5, 31.5, 3.0, 1.6, -22), solid((1, 1, 1, 0.45)))


def draw_movie(c):
    s = c.snap
    body = rect(s(4), s(20), s(44), s(44), 3)
    c.shadow(body)
    c.outlined(body, linear(0, 20, 0, 44, hexc("#4a515b"), hexc("#23272d")), solid(hexc("#101215")), 1.1)
    # stripes on the body's top band and on the open clapper
    band = rect(s(5.2), s(21.2), s(42.8), s(27.5))
    _stripes(c, band, 7.5 if not c.small else 10.0, 0.0)
    if not c.small:
        c.draw(rect(10, 31, 38, 32.5, 0.7), solid((1, 1, 1, 0.35)))
        c.draw(rect(10, 35.5, 30, 37, 0.7), solid((1, 1, 1, 0.25)))
    hinge_x, hinge_y = 4.5, 19.5
    ang = math.radians(-13)
    cs, sn = math.cos(ang), math.sin(ang)

    def rot(px, py):
        return (hinge_x + px * cs - py * sn, hinge_y + px * sn + py * cs)
    h = 7.5 if not c.small else 8.5
    clapper = polygon([rot(0, -h), rot(39, -h), rot(39, 0), rot(0, 0)])
    c.shadow(clapper, 0.5, 0.8, 0.25)
    c.draw(clapper, solid(hexc("#101215")))
    inner = polygon([rot(1.1, -h + 1.1), rot(37.9, -h + 1.1), rot(37.9, -1.1), rot(1.1, -1.1)])
    _stripes(c, inner, 7.5 if not c.small else 10.0, -70.0)
    c.draw(circle(hinge_x + 1.5, hinge_y - 1.0, c.atleast(1.4, 1.0)), solid(hexc("#c8ced6")))


def _stripes(c, area, period, tilt):
    c.draw(area, solid(hexc("#f5f5f5")))
    t = math.tan(math.radians(35 + tilt))
    y0 = area.box[1]

    def d(x, y):
        u = (x + (y - y0) * t) % period
        return abs(u - period * 0.25) - period * 0.25
    dark = Shape(d, area.box) & area
    c.draw(dark, solid(hexc("#1b1d21")))


def draw_doc(c):
    s = c.snap
    fold = 11.0
    x0, y0, x1, y1 = s(8), s(3), s(40), s(45)
    page = polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)])
    c.shadow(page)
    c.outlined(page, linear(x0, y0, x1, y1, hexc("#ffffff"), hexc("#e8edf3")), solid(hexc("#6b7786")), 1.1)
    corner = polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)])
    c.outlined(corner, linear(x1 - fold, y0 + fold, x1 - fold / 2, y0 + fold / 2,
                              hexc("#c9d3df"), hexc("#f2f5f9")), solid(hexc("#6b7786")), 0.9)
    c.draw(rect(s(12), s(9), s(27), s(15), 1), linear(0, 9, 0, 15, hexc("#4f8fe8"), hexc("#2760b8")))
    step = 6.0
    lw = c.atleast(2.2, 1.0)
    y = 21.0
    widths = (24, 21, 24, 16, 22)
    for w in widths:
        yy = s(y)
        c.draw(rect(s(12), yy, s(12) + w, yy + lw, 0.6), solid(hexc("#8593a6")))
        y += step
        if y > 42:
            break


def draw_pic(c):
    s = c.snap
    frame = rect(s(3), s(8), s(45), s(41), 2.5)
    c.shadow(frame)
    c.outlined(frame, linear(0, 8, 0, 41, hexc("#ffffff"), hexc("#e4e7eb")), solid(hexc("#5d6672")), 1.1)
    b = c.atleast(3.2, 2.0)
    inner = rect(s(3) + b, s(8) + b, s(45) - b, s(41) - b)
    c.draw(inner, linear(0, 11, 0, 38, hexc("#3b8fe8"), hexc("#9fd3ff"), hexc("#e3f4ff")))
    sun = circle(32.5, 19, c.atleast(4.2, 1.8))
    c.draw(sun.grow(c.atleast(1.2, 0.5)), solid(hexc("#fff3a0", 0.5)))
    c.draw(sun, radial(31.5, 18, 5, hexc("#fff9c4"), hexc("#ffc21a")))
    back = polygon([(5, 38), (26, 20), (43, 38)]) & inner
    c.draw(back, linear(0, 20, 0, 38, hexc("#7cc46a"), hexc("#3f8f38")))
    front = polygon([(4, 38), (15, 24), (30, 38)]) & inner
    c.draw(front, linear(0, 24, 0, 38, hexc("#5cae4c"), hexc("#2a6e26")))
    if not c.small:
        c.draw(polygon([(15, 24), (18.2, 28), (15.5, 27), (12.5, 28.6)]) & inner, solid((1, 1, 1, 0.85)))
    c.draw(inner.ring(c.atleast(0.7, 0.6)), solid(hexc("#5d6672", 0.7)))


def draw_home(c):
    s = c.snap
    walls = rect(s(10), s(22), s(38), s(44), 1)
    roof_fill = polygon([(24, 5), (45.5, 25), (2.5, 25)])
    chimney = rect(s(32), s(8), s(37), s(18), 0.6)
    c.shadow(walls | roof_fill)
    c.outlined(chimney, linear(0, 8, 0, 18, hexc("#b06a4e"), hexc("#7a4230")), solid(hexc("#4a2519")), 1.0)
    c.outlined(walls, linear(0, 22, 0, 44, hexc("#fff7e6"), hexc("#ecd3a4")), solid(hexc("#7a5a2a")), 1.1)
    c.outlined(roof_fill, linear(0, 5, 0, 25, hexc("#f26b4f"), hexc("#b72e1d")), solid(hexc("#6e1409")), 1.1)
    if not c.small:
        c.draw(segment(9, 21.2, 24, 8.2, 1.1), solid((1, 1, 1, 0.35)))
    door = rect(s(14), s(30), s(22), s(44), 1)
    c.outlined(door, linear(0, 30, 0, 44, hexc("#a3653a"), hexc("#6b3b1c")), solid(hexc("#4a2710")), 1.0)
    win = rect(s(26), s(29), s(34), s(37), 0.8)
    c.outlined(win, linear(26, 29, 34, 37, hexc("#d8f0ff"), hexc("#5aa8e8")), solid(hexc("#3a5f82")), 1.0)
    if c.size >= 32:
        c.draw(rect(29.6, 29, 30.4, 37), solid(hexc("#3a5f82")))
        c.draw(rect(26, 32.6, 34, 33.4), solid(hexc("#3a5f82")))
        c.draw(circle(20, 37.5, 0.9), solid(hexc("#f0c64a")))


def draw_default(c):
    """A folder with a small magnifying glass: a saved search without an icon of its own."""
    s = c.snap
    back = polygon([(3, 12), (4.5, 9), (17, 9), (20, 13), (45, 13), (45, 41), (3, 41)])
    c.shadow(back)
    c.outlined(back, linear(0, 9, 0, 41, hexc("#f7c94a"), hexc("#d99a1e")), solid(hexc("#8a5d0c")), 1.1)
    c.draw(rect(s(6), s(15), s(42), s(24), 1), solid(hexc("#ffffff")))
    c.outlined(rect(s(3), s(19), s(45), s(41), 1.2),
               linear(0, 19, 0, 41, hexc("#ffe08a"), hexc("#f5b83a")), solid(hexc("#8a5d0c")), 1.1)
    cx, cy, r = 29.0, 29.5, 7.5
    rim = c.atleast(2.6, 1.2)
    handle = segment(34.5, 35.0, 42.0, 42.5, c.atleast(4.5, 2.0))
    c.draw(handle, solid(hexc("#23272d")))
    c.draw(circle(cx, cy, r - rim), solid(hexc("#dff1ff", 0.85)))
    c.draw(circle(cx, cy, r).ring(rim), linear(cx - r, cy - r, cx + r, cy + r, hexc("#6f95c2"),
                                               hexc("#1f4675")))


def draw_more(c):
    """Two chevrons pointing down: there are more buttons."""
    w = c.atleast(3.6, 1.6)
    col = solid(hexc("#3a3f47"))
    for y in (13.0, 27.0):
        c.draw(segment(13, y, 24, y + 10, w) | segment(24, y + 10, 35, y, w), col)


ICONS = {
    # file name: (drawing, sizes)
    "lumivex.ico": (draw_program, PROGRAM_SIZES),
    "more.ico": (draw_more, SMALL_SIZES),
    "music01.ico": (draw_music, TOOLBAR_SIZES),
    "movie01.ico": (draw_movie, TOOLBAR_SIZES),
    "doc01.ico": (draw_doc, TOOLBAR_SIZES),
    "pic01.ico": (draw_pic, TOOLBAR_SIZES),
    "home01.ico": (draw_home, TOOLBAR_SIZES),
    "default.ico": (draw_default, TOOLBAR_SIZES),
}


# ----------------------------------------------------------------------------------------------------
# Previews: every size at 1x and enlarged, over the dialogs' light gradient and over a dark ground.

def preview(images):
    zoom = 4
    shown = [(s, px) for s, px in images if s <= 64]
    big = [(s, px) for s, px in images if s > 64]
    pad = 8
    width = pad + sum(s * zoom + pad for s, _ in shown) + sum(s + pad for s, _ in big)
    width = max(width, pad + sum(s + pad for s, _ in images))
    tallest = max([s * zoom for s, _ in shown] + [s for s, _ in big])
    height = 2 * (tallest + pad) + (max(s for s, _ in images) + pad) + pad
    out = [0] * (width * height * 3)
    for y in range(height):
        f = y / max(1, height - 1)
        light = (255 + (226 - 255) * f, 255 + (224 - 255) * f, 255 + (220 - 255) * f)
        for x in range(width):
            p = (y * width + x) * 3
            out[p:p + 3] = light
    dark_top = tallest + pad
    for y in range(dark_top + pad // 2, dark_top + tallest + pad + pad // 2):
        for x in range(width):
            p = (y * width + x) * 3
            out[p:p + 3] = (45, 48, 54)

    def blit(px, size, x0, y0, scale):
        for y in range(size * scale):
            for x in range(size * scale):
                q = ((y // scale) * size + (x // scale)) * 4
                a = px[q + 3] / 255
                if a == 0:
                    continue
                p = ((y0 + y) * width + x0 + x) * 3
                for ch in range(3):
                    out[p + ch] = out[p + ch] * (1 - a) + px[q + ch] * a

    for y0 in (pad, dark_top + pad):
        x = pad
        for s, px in shown:
            blit(px, s, x, y0, zoom)
            x += s * zoom + pad
        for s, px in big:
            blit(px, s, x, y0, 1)
            x += s + pad
    x = pad
    y0 = 2 * (tallest + pad) + pad
    for s, px in images:
        blit(px, s, x, y0, 1)
        x += s + pad
    rgba = bytes(int(min(255, max(0, v))) if i % 4 != 3 else 255
                 for i, v in enumerate(_with_alpha(out)))
    return png_bytes(width, height, rgba)


def _with_alpha(rgb):
    for i in range(0, len(rgb), 3):
        yield rgb[i]
        yield rgb[i + 1]
        yield rgb[i + 2]
        yield 255


def render(draw, sizes):
    images = []
    for size in sizes:
        canvas = Canvas(size)
        draw(canvas)
        images.append((size, canvas.rgba()))
    return images


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    outdir = argv[1]
    previewdir = argv[2] if len(argv) > 2 else None
    only = set(argv[3:])
    os.makedirs(outdir, exist_ok=True)
    if previewdir:
        os.makedirs(previewdir, exist_ok=True)
    for name, (draw, sizes) in ICONS.items():
        if only and name not in only:
            continue
        images = render(draw, sizes)
        write_if_changed(os.path.join(outdir, name), ico_bytes(images))
        if previewdir:
            write_if_changed(os.path.join(previewdir, name[:-4] + ".png"), preview(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
