#!/usr/bin/env python3
"""Paints the VELUpdater window skin and the application icon.

Writes, from nothing but this script:
  src/window/assets/skin.bmp     604 x 229, 16-bit 5-5-5 BI_RGB bitmap
  src/window/assets/velmora.ico  one 48 x 48 image, 8 bits per pixel, 256 colours

The output is deterministic: every run writes the same bytes, so the files can
be regenerated and diffed. Only the Python standard library is used.

The window code places its controls over fixed regions of the skin, so those
regions are constants below and the painting keeps them where they are:
  - the status panel (dark, quiet inside; status text and progress bar go on it)
  - the Cancel button face (its hit rectangle).

Usage: python3 tools/make_assets.py [output_directory]
"""

import math
import os
import struct
import sys

SKIN_W, SKIN_H = 604, 229
ICON_SIZE = 48

# Regions the window code relies on (inclusive pixel coordinates).
TITLE_BAND_BOTTOM = 44                 # last row of the title band
PANEL = (90, 58, 495, 120)             # outer edge of the status panel frame
PANEL_FRAME = 2                        # frame width; inside starts at PANEL + 2
CANCEL_FACE = (232, 176, 368, 208)     # dark face of the painted Cancel button
CANCEL_FRAME = 3                       # light frame just outside the face


# ---------------------------------------------------------------------------
# Small numeric helpers and a deterministic random source
# ---------------------------------------------------------------------------

def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    return (lerp(c0[0], c1[0], t), lerp(c0[1], c1[1], t), lerp(c0[2], c1[2], t))


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


def ramp(stops, t):
    """Colour at t along a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


class Rng:
    """32-bit xorshift; used instead of `random` so the sequence is fixed here."""

    def __init__(self, seed):
        self.s = seed & 0xFFFFFFFF or 1

    def next(self):
        s = self.s
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.s = s
        return s

    def uniform(self, lo=0.0, hi=1.0):
        return lo + (hi - lo) * (self.next() / 4294967296.0)


def hash2(ix, iy, seed):
    h = (ix * 374761393 + iy * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return (h ^ (h >> 16)) / 4294967295.0


def value_noise(x, y, seed):
    ix, iy = math.floor(x), math.floor(y)
    fx, fy = x - ix, y - iy
    fx = fx * fx * (3 - 2 * fx)
    fy = fy * fy * (3 - 2 * fy)
    a = hash2(ix, iy, seed)
    b = hash2(ix + 1, iy, seed)
    c = hash2(ix, iy + 1, seed)
    d = hash2(ix + 1, iy + 1, seed)
    return lerp(lerp(a, b, fx), lerp(c, d, fx), fy)


def fbm(x, y, seed, octaves=4):
    total, amp, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        total += amp * value_noise(x, y, seed + o * 101)
        norm += amp
        amp *= 0.5
        x *= 2.03
        y *= 2.03
    return total / norm


def noise1(x, seed):
    ix = math.floor(x)
    f = x - ix
    f = f * f * (3 - 2 * f)
    return lerp(hash2(ix, 0, seed), hash2(ix + 1, 0, seed), f)


# ---------------------------------------------------------------------------
# Canvas and anti-aliased coverage
# ---------------------------------------------------------------------------

class Canvas:
    """Floating point RGB image (0..255 per channel), origin top-left."""

    def __init__(self, w, h, color=(0.0, 0.0, 0.0)):
        self.w, self.h = w, h
        self.px = [list(color) for _ in range(w * h)]

    def blend(self, x, y, color, a):
        if a <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        if a >= 1.0:
            p[0], p[1], p[2] = color[0], color[1], color[2]
        else:
            p[0] += (color[0] - p[0]) * a
            p[1] += (color[1] - p[1]) * a
            p[2] += (color[2] - p[2]) * a

    def add(self, x, y, color, a):
        if a <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        p[0] += color[0] * a
        p[1] += color[1] * a
        p[2] += color[2] * a

    def get(self, x, y):
        return self.px[y * self.w + x]

    def fill_rect(self, x0, y0, x1, y1, color):
        """Opaque fill of the inclusive rectangle; color may be f(x, y)."""
        for y in range(max(0, y0), min(self.h, y1 + 1)):
            for x in range(max(0, x0), min(self.w, x1 + 1)):
                c = color(x, y) if callable(color) else color
                self.blend(x, y, c, 1.0)

    def paint(self, cov, color, alpha=1.0):
        """Blends color (a tuple or f(x, y)) through a Coverage."""
        fn = color if callable(color) else None
        for j in range(cov.h):
            y = cov.y0 + j
            row = j * cov.w
            for i in range(cov.w):
                c = cov.data[row + i]
                if c > 0.0:
                    x = cov.x0 + i
                    self.blend(x, y, fn(x, y) if fn else color, c * alpha)


class Coverage:
    """Per-pixel coverage (0..1) over a bounding box of a canvas."""

    def __init__(self, x0, y0, w, h):
        self.x0, self.y0, self.w, self.h = x0, y0, max(0, w), max(0, h)
        self.data = [0.0] * (self.w * self.h)

    def at(self, x, y):
        i, j = x - self.x0, y - self.y0
        if 0 <= i < self.w and 0 <= j < self.h:
            return self.data[j * self.w + i]
        return 0.0

    def clipped(self):
        for k, v in enumerate(self.data):
            if v > 1.0:
                self.data[k] = 1.0
        return self


def polygon(pts, cw, ch, sub=5):
    """Even-odd polygon coverage: `sub` scanlines per pixel row, exact in x.

    Pixel (x, y) is the unit square [x, x+1) x [y, y+1)."""
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    x0 = max(0, int(math.floor(min(xs))))
    x1 = min(cw, int(math.ceil(max(xs))) + 1)
    y0 = max(0, int(math.floor(min(ys))))
    y1 = min(ch, int(math.ceil(max(ys))) + 1)
    cov = Coverage(x0, y0, x1 - x0, y1 - y0)
    if cov.w == 0 or cov.h == 0:
        return cov
    n = len(pts)
    edges = []
    for k in range(n):
        (ax, ay), (bx, by) = pts[k], pts[(k + 1) % n]
        if ay != by:
            edges.append((ax, ay, bx, by))
    wgt = 1.0 / sub
    data, w = cov.data, cov.w
    for py in range(y0, y1):
        base = (py - y0) * w
        for s in range(sub):
            sy = py + (s + 0.5) / sub
            cross = []
            for ax, ay, bx, by in edges:
                if (ay <= sy < by) or (by <= sy < ay):
                    cross.append(ax + (sy - ay) * (bx - ax) / (by - ay))
            cross.sort()
            for k in range(0, len(cross) - 1, 2):
                xa = max(float(x0), cross[k])
                xb = min(float(x1), cross[k + 1])
                if xb <= xa:
                    continue
                ia, ib = int(xa), int(xb)
                if ia == ib:
                    data[base + ia - x0] += (xb - xa) * wgt
                    continue
                data[base + ia - x0] += (ia + 1 - xa) * wgt
                for q in range(ia + 1, ib):
                    data[base + q - x0] += wgt
                if ib < x1:
                    data[base + ib - x0] += (xb - ib) * wgt
    return cov.clipped()


def ellipse_pts(cx, cy, rx, ry, n=48, rot=0.0):
    cr, sr = math.cos(rot), math.sin(rot)
    out = []
    for k in range(n):
        a = 2 * math.pi * k / n
        ex, ey = rx * math.cos(a), ry * math.sin(a)
        out.append((cx + ex * cr - ey * sr, cy + ex * sr + ey * cr))
    return out


def bezier(p0, p1, p2, n=16):
    out = []
    for k in range(n + 1):
        t = k / n
        u = 1 - t
        out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                    u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
    return out


def ribbon(path, w0, w1):
    """Polygon around a polyline whose width tapers from w0 to w1."""
    n = len(path)
    left, right = [], []
    for k in range(n):
        a = path[max(0, k - 1)]
        b = path[min(n - 1, k + 1)]
        dx, dy = b[0] - a[0], b[1] - a[1]
        ln = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / ln, dx / ln
        hw = lerp(w0, w1, k / (n - 1)) / 2
        left.append((path[k][0] + nx * hw, path[k][1] + ny * hw))
        right.append((path[k][0] - nx * hw, path[k][1] - ny * hw))
    return left + right[::-1]


def union(covs):
    x0 = min(c.x0 for c in covs)
    y0 = min(c.y0 for c in covs)
    x1 = max(c.x0 + c.w for c in covs)
    y1 = max(c.y0 + c.h for c in covs)
    out = Coverage(x0, y0, x1 - x0, y1 - y0)
    for c in covs:
        for j in range(c.h):
            src = j * c.w
            dst = (c.y0 + j - y0) * out.w + (c.x0 - x0)
            for i in range(c.w):
                v = c.data[src + i]
                if v > out.data[dst + i]:
                    out.data[dst + i] = v
    return out


def add_glow(canvas, cx, cy, radius, color, strength, y_squash=1.0):
    """Additive soft light falling off as a Gaussian-like curve."""
    r = int(radius * 2.2)
    for y in range(max(0, int(cy) - r), min(canvas.h, int(cy) + r + 1)):
        for x in range(max(0, int(cx) - r), min(canvas.w, int(cx) + r + 1)):
            dx = (x + 0.5 - cx) / radius
            dy = (y + 0.5 - cy) / (radius * y_squash)
            f = math.exp(-2.0 * (dx * dx + dy * dy))
            if f > 0.004:
                canvas.add(x, y, color, f * strength)


# ---------------------------------------------------------------------------
# Stroke font
#
# Glyphs are centre-line polylines in font units: baseline y = 0, x-height 7,
# capitals 10, y pointing up. Rendered through a distance field, so the same
# outlines serve the big bevelled logo and the small interface captions.
# ---------------------------------------------------------------------------

def arc(cx, cy, rx, ry, a0, a1):
    steps = max(6, int(abs(a1 - a0) / 9))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * k / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * k / steps)))
            for k in range(steps + 1)]


GLYPHS = {
    'V': (7.4, [[(0, 10), (3.7, 0), (7.4, 10)]]),
    'A': (7.4, [[(0, 0), (3.7, 10), (7.4, 0)], [(1.5, 3.4), (5.9, 3.4)]]),
    'C': (7.6, [arc(4.3, 5, 4.3, 5, 48, 312)]),
    'a': (6.0, [arc(3, 3.5, 3, 3.5, 0, 360), [(6, 7), (6, 0)]]),
    'c': (5.6, [arc(3.3, 3.5, 3.3, 3.5, 52, 308)]),
    'd': (6.0, [arc(3, 3.5, 3, 3.5, 0, 360), [(6, 10.5), (6, 0)]]),
    'e': (6.4, [[(0, 3.5), (6.4, 3.5)] + arc(3.2, 3.5, 3.2, 3.5, 0, 318)]),
    'f': (4.4, [[(1.5, 0), (1.5, 8.2)] + arc(3.5, 8.2, 2, 2.2, 180, 40),
                [(0, 7), (4.2, 7)]]),
    'i': (1.0, [[(0.5, 0), (0.5, 7)], [(0.5, 9.5), (0.5, 9.5)]]),
    'l': (1.0, [[(0.5, 0), (0.5, 10.5)]]),
    'm': (8.4, [[(0, 0), (0, 7)],
                arc(2.1, 4.9, 2.1, 2.1, 180, 0) + [(4.2, 0)],
                arc(6.3, 4.9, 2.1, 2.1, 180, 0) + [(8.4, 0)]]),
    'n': (5.6, [[(0, 0), (0, 7)], arc(2.8, 4.2, 2.8, 2.8, 180, 0) + [(5.6, 0)]]),
    'o': (6.4, [arc(3.2, 3.5, 3.2, 3.5, 0, 360)]),
    'r': (4.4, [[(0, 0), (0, 7)], arc(3.2, 4.0, 3.2, 3.0, 180, 72)]),
    't': (4.2, [[(1.5, 9.5), (1.5, 1.7)] + arc(3.2, 1.7, 1.7, 1.7, 180, 285),
                [(0, 7), (4.2, 7)]]),
    'u': (5.6, [[(0, 7), (0, 2.8)] + arc(2.8, 2.8, 2.8, 2.8, 180, 360),
                [(5.6, 7), (5.6, 0)]]),
    'z': (5.6, [[(0, 7), (5.6, 7), (0, 0), (5.6, 0)]]),
    ' ': (3.2, []),
}


class TextStyle:
    def __init__(self, scale, half_width, gap=2.3, slant=0.0, contrast=1.0,
                 outline=0.0, outline_color=(0, 0, 0), shadow=(0.0, 0.0, 0.0),
                 glow=None):
        self.scale = scale              # pixels per font unit
        self.half_width = half_width    # stroke half width in pixels
        self.gap = gap                  # extra spacing between glyphs, font units
        self.slant = slant              # italic shear
        self.contrast = contrast        # >1 makes horizontal strokes thinner
        self.outline = outline          # outline width in pixels
        self.outline_color = outline_color
        self.shadow = shadow            # (dx, dy, opacity)
        self.glow = glow                # (radius, color, strength) or None


def text_width(text, style):
    units = sum(GLYPHS[ch][0] for ch in text) + style.gap * (len(text) - 1)
    return units * style.scale


def draw_text(canvas, text, cx, baseline, style, fill):
    """Draws text centred on cx. fill(x, y, depth, shade, t) gives the colour
    where depth is 0 at the stroke centre and 1 at its edge, shade is the
    bevel lighting (-1..1) and t runs 0..1 from cap height to baseline."""
    s = style.scale
    k = style.contrast
    x = cx - text_width(text, style) / 2
    segs_by_glyph = []
    for ch in text:
        adv, strokes = GLYPHS[ch]
        segs = []
        for line in strokes:
            pts = [(x + (u + style.slant * v) * s, baseline - v * s) for u, v in line]
            if len(pts) == 1:
                pts = pts * 2
            for a, b in zip(pts, pts[1:]):
                segs.append((a[0], a[1] * k, b[0], b[1] * k))
        if segs:
            segs_by_glyph.append(segs)
        x += (adv + style.gap) * s

    reach = style.half_width + style.outline + 3 + max(abs(style.shadow[0]), abs(style.shadow[1]))
    if style.glow:
        reach += style.glow[0]
    allx = [v for segs in segs_by_glyph for sg in segs for v in (sg[0], sg[2])]
    ally = [v / k for segs in segs_by_glyph for sg in segs for v in (sg[1], sg[3])]
    bx0 = max(0, int(min(allx) - reach))
    bx1 = min(canvas.w, int(max(allx) + reach) + 2)
    by0 = max(0, int(min(ally) - reach))
    by1 = min(canvas.h, int(max(ally) + reach) + 2)
    bw, bh = bx1 - bx0, by1 - by0
    big = 1e9
    dist = [big] * (bw * bh)

    for segs in segs_by_glyph:
        gx0 = max(bx0, int(min(min(sg[0], sg[2]) for sg in segs) - reach))
        gx1 = min(bx1, int(max(max(sg[0], sg[2]) for sg in segs) + reach) + 2)
        gy0 = max(by0, int(min(min(sg[1], sg[3]) for sg in segs) / k - reach))
        gy1 = min(by1, int(max(max(sg[1], sg[3]) for sg in segs) / k + reach) + 2)
        prepared = []
        for ax, ay, ex, ey in segs:
            dx, dy = ex - ax, ey - ay
            prepared.append((ax, ay, dx, dy, dx * dx + dy * dy))
        for py in range(gy0, gy1):
            qy = (py + 0.5) * k
            row = (py - by0) * bw
            for px in range(gx0, gx1):
                qx = px + 0.5
                best = dist[row + px - bx0]
                for ax, ay, dx, dy, ll in prepared:
                    if ll > 0:
                        t = ((qx - ax) * dx + (qy - ay) * dy) / ll
                        t = 0.0 if t < 0 else 1.0 if t > 1 else t
                        ox, oy = qx - ax - t * dx, qy - ay - t * dy
                    else:
                        ox, oy = qx - ax, qy - ay
                    d2 = ox * ox + oy * oy
                    if d2 < best:
                        best = d2
                dist[row + px - bx0] = best
    dist = [math.sqrt(v) if v < big else 1e4 for v in dist]

    def d_at(px, py):
        if bx0 <= px < bx1 and by0 <= py < by1:
            return dist[(py - by0) * bw + px - bx0]
        return 1e4

    hw, ow = style.half_width, style.outline
    cap_top = baseline - 10 * s
    sdx, sdy, sop = style.shadow
    lx, ly = -0.55, -0.83                      # light from the upper left
    for py in range(by0, by1):
        for px in range(bx0, bx1):
            d = dist[(py - by0) * bw + px - bx0]
            if style.glow:
                gr, gc, gs = style.glow
                g = clamp(1.0 - (d - hw) / gr)
                if g > 0:
                    canvas.add(px, py, gc, g * g * gs)
            if sop > 0:
                ds = d_at(px - int(sdx), py - int(sdy))
                a = clamp((hw + ow + 1.0 - ds) / 2.0) * sop
                canvas.blend(px, py, (0, 0, 0), a)
            if ow > 0:
                a = clamp(hw + ow - d + 0.5)
                canvas.blend(px, py, style.outline_color, a)
            a = clamp(hw - d + 0.5)
            if a <= 0:
                continue
            gx = d_at(px + 1, py) - d_at(px - 1, py)
            gy = d_at(px, py + 1) - d_at(px, py - 1)
            gl = math.hypot(gx, gy)
            shade = 0.0
            if 0 < gl < 10:
                shade = (gx * lx + gy * ly) / gl
            depth = clamp(d / hw) if hw > 0 else 1.0
            t = clamp((py + 0.5 - cap_top) / (baseline - cap_top))
            canvas.blend(px, py, fill(px, py, depth, shade, t), a)


GOLD_STOPS = [
    (0.00, (255, 250, 214)),
    (0.40, (246, 206, 104)),
    (0.52, (176, 112, 36)),
    (0.70, (214, 150, 58)),
    (1.00, (255, 218, 130)),
]


def gold_fill(x, y, depth, shade, t):
    base = ramp(GOLD_STOPS, t)
    bevel = shade * depth ** 1.4
    if bevel > 0:
        return mix(base, (255, 255, 240), bevel * 0.75)
    return mix(base, (70, 36, 10), -bevel * 0.65)


# ---------------------------------------------------------------------------
# Skin
# ---------------------------------------------------------------------------

def paint_sky(c):
    """Night sky: navy at the top, violet in the middle, a warm glow low on
    the horizon, with faint nebula clouds and stars."""
    stops = [
        (0.00, (7, 9, 28)),
        (0.35, (18, 16, 52)),
        (0.65, (44, 26, 78)),
        (0.85, (92, 44, 92)),
        (1.00, (128, 62, 84)),
    ]
    for y in range(c.h):
        for x in range(c.w):
            t = (y + 0.5) / 205.0
            col = ramp(stops, t)
            n = fbm(x / 70.0, y / 34.0, 11, 4)
            wisp = smoothstep(0.52, 0.8, n) * (1 - smoothstep(0.55, 1.0, t))
            col = mix(col, (74, 52, 128), wisp * 0.35)
            # darken towards the corners so the centre draws the eye
            vx = (x + 0.5 - c.w / 2) / (c.w / 2)
            vy = (y + 0.5 - c.h * 0.45) / c.h
            v = 1.0 - 0.35 * clamp(vx * vx * 0.8 + vy * vy)
            c.blend(x, y, (col[0] * v, col[1] * v, col[2] * v), 1.0)

    add_glow(c, 302, 118, 150, (40, 36, 96), 0.55, y_squash=0.55)
    add_glow(c, 302, 205, 190, (120, 54, 40), 0.35, y_squash=0.22)

    rng = Rng(0x5EED5)
    for _ in range(260):
        sx = rng.uniform(2, c.w - 2)
        sy = rng.uniform(2, 170)
        if rng.uniform() > 1.0 - sy / 200.0:        # thinner towards horizon
            continue
        b = rng.uniform() ** 3
        tint = mix((255, 236, 214), (196, 214, 255), rng.uniform())
        size = 0.45 + 0.5 * b
        for y in range(int(sy) - 2, int(sy) + 3):
            for x in range(int(sx) - 2, int(sx) + 3):
                dx, dy = x + 0.5 - sx, y + 0.5 - sy
                f = math.exp(-(dx * dx + dy * dy) / (2 * size * size))
                c.add(x, y, tint, f * (0.25 + 0.75 * b))
        if b > 0.55:                                  # a few bright ones glint
            for k in range(-5, 6):
                f = (1 - abs(k) / 6.0) ** 2 * 0.35 * b
                c.add(int(sx) + k, int(sy), tint, f)
                c.add(int(sx), int(sy) + k, tint, f)


def ridge(x, base, amp, seed, scale):
    n = 0.0
    a = 1.0
    f = 1.0 / scale
    for o in range(4):
        n += a * (noise1(x * f, seed + o) - 0.5)
        a *= 0.5
        f *= 2.1
    return base - amp * n


def paint_landscape(c):
    """Two mountain ranges, a far castle and horizon mist."""
    far = (40, 24, 62)
    near = (18, 12, 34)
    for x in range(c.w):
        top = ridge(x + 0.5, 180, 48, 71, 70)
        for y in range(int(top) - 1, c.h):
            a = clamp(y + 1 - top)
            haze = clamp((y - top) / 60.0)
            c.blend(x, y, mix(far, (30, 18, 44), haze), a)

    # castle on the far ridge, right of centre
    base_y = ridge(438.5, 180, 48, 71, 70) + 6
    parts = [
        [(418, base_y), (418, base_y - 26), (458, base_y - 26), (458, base_y)],
        [(412, base_y - 20), (412, base_y - 40), (422, base_y - 40), (422, base_y - 20)],
        [(410, base_y - 40), (417, base_y - 52), (424, base_y - 40)],
        [(432, base_y - 24), (432, base_y - 48), (442, base_y - 48), (442, base_y - 24)],
        [(430, base_y - 48), (437, base_y - 64), (444, base_y - 48)],
        [(452, base_y - 22), (452, base_y - 36), (460, base_y - 36), (460, base_y - 22)],
        [(450, base_y - 36), (456, base_y - 46), (462, base_y - 36)],
    ]
    for p in parts:
        c.paint(polygon(p, c.w, c.h), (34, 20, 54))
    for wx, wy in ((437, base_y - 40), (417, base_y - 31), (446, base_y - 14),
                   (426, base_y - 12), (456, base_y - 28)):
        c.fill_rect(int(wx), int(wy), int(wx), int(wy) + 1, (255, 196, 110))
        add_glow(c, wx + 0.5, wy + 1, 3.0, (255, 150, 60), 0.25)

    for x in range(c.w):
        top = ridge(x + 0.5, 206, 34, 93, 55)
        for y in range(int(top) - 1, c.h):
            a = clamp(y + 1 - top)
            c.blend(x, y, near, a)

    for y in range(150, c.h):
        for x in range(c.w):
            n = fbm(x / 45.0, y / 12.0, 211, 3)
            m = smoothstep(150, 200, y) * (1 - smoothstep(214, 229, y)) * 0.18
            m *= 0.5 + n
            c.blend(x, y, (116, 84, 140), m)


def shade_figure(c, mask, key_dir, key_color, top_color):
    """Adds rim light along the silhouette edges facing the light."""
    dx, dy = key_dir
    for j in range(mask.h):
        y = mask.y0 + j
        for i in range(mask.w):
            m = mask.data[j * mask.w + i]
            if m <= 0.0:
                continue
            x = mask.x0 + i
            rim = 0.0
            for step, weight in ((1, 0.6), (2, 0.3), (3, 0.15)):
                rim += weight * (1.0 - mask.at(x + dx * step, y + dy * step))
            top = 0.0
            for step, weight in ((1, 0.5), (2, 0.25)):
                top += weight * (1.0 - mask.at(x, y - step))
            c.add(x, y, key_color, m * clamp(rim) * 0.9)
            c.add(x, y, top_color, m * clamp(top) * 0.45)


def vertical(col_top, col_bottom, y0, y1):
    return lambda x, y: mix(col_top, col_bottom, clamp((y - y0) / float(y1 - y0)))


def side_lit(fn, x_dark, x_lit, lo=0.7, hi=1.25):
    """Scales a colour function brighter towards x_lit, the side the light is on."""
    def shaded(x, y):
        col = fn(x, y)
        f = lerp(lo, hi, clamp((x - x_dark) / float(x_lit - x_dark)))
        return (col[0] * f, col[1] * f, col[2] * f)
    return shaded


def paint_knight(c):
    """Armoured knight on the left, hands resting on a sword planted before him."""
    W, H = c.w, c.h
    P = lambda pts: polygon(pts, W, H)
    steel = side_lit(vertical((64, 68, 92), (22, 22, 36), 60, 229), 22, 62)
    dark_steel = side_lit(vertical((44, 46, 66), (14, 14, 24), 60, 229), 22, 62)
    crimson = side_lit(vertical((96, 22, 36), (34, 8, 18), 80, 229), 0, 60)

    cape = P([(22, 86), (54, 86), (56, 140), (52, 229), (0, 229), (0, 200),
              (8, 150), (14, 110)])
    plume = P(ribbon(bezier((46, 52), (22, 46), (12, 84), 20), 9, 1.5))
    helm = union([P(ellipse_pts(42, 66, 11.5, 13.5)),
                  P([(30.5, 66), (53.5, 66), (52, 83), (33, 84)])])
    gorget = P([(32, 80), (52, 80), (55, 92), (29, 92)])
    torso = P([(25, 90), (60, 90), (58, 118), (53, 146), (31, 146), (27, 118)])
    pauld_l = P(ellipse_pts(26, 97, 14, 10.5, rot=-0.25))
    pauld_r = P(ellipse_pts(58, 97, 12.5, 10, rot=0.25))
    arm_r = P(ribbon([(60, 100), (68, 112), (66, 121)], 10, 8))
    arm_l = P(ribbon([(24, 102), (34, 120), (58, 124)], 11, 8))
    belt = P([(30, 142), (54, 142), (54, 149), (30, 149)])
    faulds = P([(30, 148), (54, 148), (61, 182), (23, 182)])
    tabard = P([(36, 148), (48, 148), (50, 196), (34, 196)])
    leg_l = P([(27, 176), (40, 176), (38, 229), (24, 229)])
    leg_r = P([(45, 176), (57, 176), (60, 229), (47, 229)])
    knee_l = P(ellipse_pts(32, 202, 7.5, 6))
    knee_r = P(ellipse_pts(52, 202, 7.5, 6))
    blade = P([(60, 131), (68, 131), (67.5, 222), (64, 229), (60.5, 222)])
    guard = P([(49, 127), (79, 127), (77, 132), (51, 132)])
    grip = P([(62, 118), (66, 118), (66, 128), (62, 128)])
    hands = P(ellipse_pts(64, 118, 7, 6))

    pieces = [
        (cape, crimson), (plume, crimson), (leg_l, dark_steel), (leg_r, dark_steel),
        (knee_l, steel), (knee_r, steel), (faulds, dark_steel),
        (tabard, crimson), (torso, steel), (belt, (58, 36, 22)),
        (pauld_l, steel), (pauld_r, steel), (gorget, dark_steel), (helm, steel),
        (arm_l, dark_steel), (arm_r, steel),
        (blade, vertical((224, 230, 246), (92, 98, 124), 131, 229)),
        (guard, vertical((236, 196, 110), (150, 104, 40), 127, 132)),
        (grip, (70, 40, 24)), (hands, steel),
    ]
    for cov, col in pieces:
        c.paint(cov, col)

    # armour detail: breastplate ridge, pauldron plates, visor slit, fuller
    c.paint(P([(44, 92), (46, 92), (45, 144), (43, 144)]), (104, 110, 140), 0.7)
    for k in range(3):
        c.paint(P(ribbon(arc(26, 100 + k * 4.5, 13, 5, 200, 340), 1.2, 1.2)),
                (14, 14, 24), 0.8)
        c.paint(P(ribbon(arc(58, 100 + k * 4.5, 11.5, 5, 200, 340), 1.2, 1.2)),
                (14, 14, 24), 0.8)
    c.paint(P([(43, 66), (54, 65), (54, 68.5), (43, 69)]), (6, 6, 12))
    c.paint(P([(48, 67), (53, 66.5), (53, 67.6), (48, 68)]), (255, 170, 90), 0.55)
    c.paint(P([(63.4, 134), (64.6, 134), (64.4, 214), (63.6, 214)]), (130, 136, 168), 0.9)
    c.paint(P([(65.5, 133), (67.2, 133), (66.8, 220), (65.3, 220)]), (255, 255, 255), 0.35)

    sil = union([cape, plume, helm, gorget, torso, pauld_l, pauld_r, arm_r, arm_l,
                 faulds, leg_l, leg_r, knee_l, knee_r, blade, guard, hands])
    shade_figure(c, sil, (1, 0), (255, 176, 110), (150, 160, 255))


def paint_mage(c):
    """Robed mage on the right with a pointed hat, long beard and a staff
    whose crystal lights his side of the window."""
    W, H = c.w, c.h
    P = lambda pts: polygon(pts, W, H)
    robe_col = side_lit(vertical((70, 48, 130), (20, 12, 44), 70, 229), 600, 525)
    cloak_col = side_lit(vertical((40, 24, 80), (12, 6, 26), 70, 229), 600, 540)
    hat_col = side_lit(vertical((84, 56, 150), (36, 22, 78), 20, 70), 595, 545)

    cloak = P([(548, 76), (592, 80), (603, 130), (603, 229), (540, 229)])
    robe = P([(546, 80), (578, 80), (587, 112), (593, 160), (601, 229), (520, 229),
              (530, 172), (539, 120)])
    shoulders = P(ellipse_pts(562, 86, 20, 9))
    sleeve_far = P([(574, 86), (590, 118), (594, 152), (580, 152), (573, 116)])
    staff = P(ribbon([(523, 52), (521, 140), (517, 229)], 4.2, 3.2))
    claw = P(ribbon(arc(523, 48, 7, 9, 200, 340), 2.2, 2.2))
    sleeve = P([(549, 84), (558, 98), (540, 124), (530, 137), (514, 133), (528, 110)])
    hand = P(ellipse_pts(521, 120, 5.2, 5.6))
    face = P(ellipse_pts(560, 72, 9, 8))
    beard = P([(550, 70), (571, 70), (573, 86), (567, 106), (560, 126), (554, 104),
               (548, 86)])
    brim = P(ellipse_pts(562, 66, 27, 5.5, rot=-0.04))
    cone = P([(546, 65), (553, 48), (566, 35), (584, 26), (600, 21), (591, 31),
              (583, 44), (579, 65)])
    belt = P([(538, 140), (584, 138), (585, 145), (537, 147)])

    for cov, col in [
        (cloak, cloak_col), (robe, robe_col), (sleeve_far, cloak_col),
        (shoulders, robe_col), (belt, (150, 112, 52)),
        (staff, vertical((108, 72, 44), (40, 24, 16), 50, 229)),
        (claw, (150, 120, 70)), (sleeve, robe_col), (hand, (156, 112, 92)),
        (face, (96, 66, 62)), (beard, vertical((210, 210, 222), (118, 116, 134), 70, 126)),
        (cone, hat_col), (brim, (48, 32, 96)),
    ]:
        c.paint(cov, col)

    # gold trim down the robe front and along the hat band
    c.paint(P(ribbon([(560, 148), (556, 190), (552, 229)], 2.0, 2.4)), (196, 150, 66), 0.9)
    c.paint(P(ribbon(bezier((547, 61.5), (563, 63), (578, 60.5), 10), 2.4, 2.4)),
            (200, 156, 70), 0.9)
    for k in range(3):                               # robe folds
        fx = 536 + k * 18
        c.paint(P(ribbon([(fx + 8, 160), (fx + 4, 229)], 1.4, 2.6)), (10, 6, 22), 0.6)
    for ex in (553.5, 559.5):                        # eyes glinting under the brim
        c.paint(P(ellipse_pts(ex, 73, 1.3, 0.9)), (170, 240, 255))

    sil = union([cloak, robe, shoulders, sleeve_far, staff, claw, sleeve, hand,
                 face, beard, brim, cone])
    shade_figure(c, sil, (-1, 0), (120, 190, 255), (190, 150, 255))

    orb = P(ellipse_pts(523, 46, 5.5, 5.5))
    c.paint(orb, lambda x, y: mix((240, 255, 255), (60, 150, 230),
                                  clamp(math.hypot(x + 0.5 - 521.5, y + 0.5 - 44.5) / 6.5)))
    add_glow(c, 523, 46, 18, (90, 170, 255), 0.55)
    add_glow(c, 523, 46, 6, (210, 240, 255), 0.5)


def paint_title_band(c):
    band_bottom = TITLE_BAND_BOTTOM
    for y in range(0, band_bottom + 1):
        for x in range(c.w):
            t = y / float(band_bottom)
            c.blend(x, y, mix((4, 4, 14), (16, 12, 36), t), 0.78)
    # gold rule under the band, fading towards the ends
    for x in range(c.w):
        f = 1 - smoothstep(150, 302, abs(x + 0.5 - 302)) * 0.75
        c.blend(x, band_bottom, (212, 164, 74), 0.9 * f)
        c.blend(x, band_bottom - 1, (110, 80, 36), 0.5 * f)
        c.blend(x, band_bottom + 1, (0, 0, 0), 0.6)
    diamond = [(302, band_bottom - 5), (308, band_bottom), (302, band_bottom + 5),
               (296, band_bottom)]
    c.paint(polygon(diamond, c.w, c.h), (236, 190, 92))
    c.paint(polygon([(302, band_bottom - 2.5), (304.5, band_bottom), (302, band_bottom + 2.5),
                     (299.5, band_bottom)], c.w, c.h), (120, 70, 20))
    # thin ornamental lines either side of the title
    for side in (-1, 1):
        x_in, x_out = 302 + side * 108, 302 + side * 196
        lo, hi = min(x_in, x_out), max(x_in, x_out)
        for x in range(lo, hi):
            f = 1 - abs(x + 0.5 - x_in) / abs(x_out - x_in)
            c.blend(x, 23, (200, 156, 72), 0.8 * f)
            c.blend(x, 24, (60, 40, 16), 0.5 * f)
        dx = x_in + side * 6
        c.paint(polygon([(dx, 19.5), (dx + 4, 23.5), (dx, 27.5), (dx - 4, 23.5)], c.w, c.h),
                (236, 190, 92))

    title = TextStyle(scale=2.55, half_width=2.9, gap=2.6, slant=0.12, contrast=1.55,
                      outline=1.6, outline_color=(40, 18, 4), shadow=(2, 2, 0.7),
                      glow=(10, (120, 70, 20), 0.35))
    draw_text(c, 'Velmora', 302, 35, title, gold_fill)


def paint_panel(c):
    x0, y0, x1, y1 = PANEL
    # dark drop shadow and outer line
    for y in range(y0 + 2, y1 + 4):
        for x in range(x0 + 2, x1 + 4):
            c.blend(x, y, (0, 0, 0), 0.35)
    c.fill_rect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, (6, 4, 12))
    # two-pixel light frame, brighter on top and left for a slight bevel
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            ring = min(x - x0, y - y0, x1 - x, y1 - y)
            if ring >= PANEL_FRAME:
                continue
            lit = (x - x0 < PANEL_FRAME) or (y - y0 < PANEL_FRAME)
            col = (214, 190, 140) if ring == 0 else (150, 124, 80)
            if not lit:
                col = mix(col, (90, 70, 44), 0.35)
            c.blend(x, y, col, 1.0)
    # quiet, flat inside (exact 5-bit colour so dithering leaves it plain)
    c.fill_rect(x0 + PANEL_FRAME, y0 + PANEL_FRAME, x1 - PANEL_FRAME, y1 - PANEL_FRAME,
                exact555(2, 2, 5))
    # small gold studs on the corners, on the frame only
    for cx, cy in ((x0, y0), (x1 + 1, y0), (x0, y1 + 1), (x1 + 1, y1 + 1)):
        c.paint(polygon([(cx, cy - 4), (cx + 4, cy), (cx, cy + 4), (cx - 4, cy)], c.w, c.h),
                (236, 192, 96))


def paint_subtitle(c):
    style = TextStyle(scale=1.25, half_width=0.95, gap=2.2, outline=1.2,
                      outline_color=(10, 6, 20), shadow=(1, 1, 0.5))
    text = 'Actualizador oficial'
    draw_text(c, text, 302, 153, style,
              lambda x, y, d, s, t: mix((238, 232, 250), (178, 168, 206), t))
    half = text_width(text, style) / 2
    for side in (-1, 1):
        x_in = 302 + side * (half + 10)
        x_out = x_in + side * 60
        lo, hi = int(min(x_in, x_out)), int(max(x_in, x_out))
        for x in range(lo, hi):
            f = 1 - abs(x + 0.5 - x_in) / 60.0
            c.blend(x, 147, (200, 156, 72), 0.75 * f)
        c.paint(polygon([(x_in, 144.5), (x_in + 3, 147.5), (x_in, 150.5), (x_in - 3, 147.5)],
                        c.w, c.h), (236, 190, 92))


def paint_cancel_button(c):
    fx0, fy0, fx1, fy1 = CANCEL_FACE
    f = CANCEL_FRAME
    for y in range(fy0 - f - 1, fy1 + f + 4):        # soft shadow below
        for x in range(fx0 - f - 1, fx1 + f + 4):
            c.blend(x, y, (0, 0, 0), 0.4)
    c.fill_rect(fx0 - f - 1, fy0 - f - 1, fx1 + f + 1, fy1 + f + 1, (8, 4, 10))
    # bevelled gold frame, three pixels wide, around the face
    for y in range(fy0 - f, fy1 + f + 1):
        for x in range(fx0 - f, fx1 + f + 1):
            if fx0 <= x <= fx1 and fy0 <= y <= fy1:
                continue
            ring = min(x - (fx0 - f), y - (fy0 - f), (fx1 + f) - x, (fy1 + f) - y)
            upper_left = (x < fx0 and y <= fy1 + (fx0 - x)) or (y < fy0 and x <= fx1 + (fy0 - y))
            col = [(246, 222, 160), (214, 172, 92), (168, 124, 56)][min(ring, 2)]
            if not upper_left:
                col = mix(col, (120, 84, 36), 0.35)
            c.blend(x, y, col, 1.0)
    # dark face, gently lit from the top
    c.fill_rect(fx0, fy0, fx1, fy1,
                lambda x, y: mix((58, 30, 44), (24, 10, 22), (y - fy0) / float(fy1 - fy0)))
    for x in range(fx0 + 1, fx1):                    # inner highlight line
        c.blend(x, fy0 + 1, (110, 70, 80), 0.45)

    style = TextStyle(scale=1.45, half_width=1.05, gap=2.3, outline=1.1,
                      outline_color=(14, 4, 10), shadow=(1, 1, 0.4))
    draw_text(c, 'Cancelar', (fx0 + fx1 + 1) / 2.0, (fy0 + fy1 + 1) / 2.0 + 7.3, style,
              lambda x, y, d, s, t: mix((255, 236, 180), (226, 176, 90), t))


def paint_window_border(c):
    for x in range(c.w):
        for y in (0, c.h - 1):
            c.blend(x, y, (4, 2, 8), 1.0)
        for y in (1, c.h - 2):
            c.blend(x, y, (150, 116, 60), 0.85)
    for y in range(c.h):
        for x in (0, c.w - 1):
            c.blend(x, y, (4, 2, 8), 1.0)
        for x in (1, c.w - 2):
            if 0 < y < c.h - 1:
                c.blend(x, y, (150, 116, 60), 0.85)


def exact555(r5, g5, b5):
    """An 8-bit colour that quantises to exactly these 5-bit values."""
    return (r5 * 255 / 31.0, g5 * 255 / 31.0, b5 * 255 / 31.0)


def paint_skin():
    c = Canvas(SKIN_W, SKIN_H)
    paint_sky(c)
    paint_landscape(c)
    paint_title_band(c)
    paint_knight(c)
    paint_mage(c)
    paint_panel(c)
    paint_subtitle(c)
    paint_cancel_button(c)
    paint_window_border(c)
    return c


# 4x4 ordered dither thresholds; hides banding when going down to 5 bits.
BAYER4 = [0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5]


def to_555(canvas):
    """Bottom-up rows of little-endian X1R5G5B5 pixels."""
    rows = []
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.w):
            p = canvas.get(x, y)
            t = (BAYER4[(y & 3) * 4 + (x & 3)] + 0.5) / 16.0
            q = []
            for v in p:
                lvl = clamp(v, 0.0, 255.0) * 31.0 / 255.0
                # values already on a 5-bit level stay exact
                if abs(lvl - round(lvl)) < 1e-6:
                    q.append(int(round(lvl)))
                else:
                    q.append(min(31, int(lvl + t)))
            row += struct.pack('<H', (q[0] << 10) | (q[1] << 5) | q[2])
        while len(row) % 4:
            row += b'\0'
        rows.append(bytes(row))
    return b''.join(rows)


def bmp_bytes(canvas):
    pixels = to_555(canvas)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 16, 0,
                       len(pixels), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


# ---------------------------------------------------------------------------
# Icon
# ---------------------------------------------------------------------------

def shield_pts(m):
    """Heater shield outline inset by m pixels, on the 48 x 48 icon: a gently
    arched top edge and two curved sides meeting in a point at the bottom."""
    top, left, right = 4 + m, 5 + m, 43 - m
    tip = (24, 45 - m * 1.3)
    pts = bezier((left, top + 3), (24, top - 0.5), (right, top + 3), 12)
    pts += bezier((right, top + 3), (right, 30), tip, 14)[1:]
    pts += bezier(tip, (left, 30), (left, top + 3), 14)[1:-1]
    return pts


def icon_image():
    """Returns (rgb rows, alpha rows) of the 48 x 48 icon."""
    n = ICON_SIZE
    c = Canvas(n, n, (0, 0, 0))
    outer = polygon(shield_pts(0), n, n, sub=8)
    c.paint(outer, vertical((255, 226, 140), (150, 96, 30), 4, 45))
    c.paint(polygon(shield_pts(2.2), n, n, sub=8), (70, 40, 12))
    c.paint(polygon(shield_pts(3.2), n, n, sub=8),
            lambda x, y: mix((58, 52, 132), (14, 10, 42), clamp((y - 6) / 36.0)))
    add_glow(c, 20, 14, 9, (70, 80, 170), 0.35)
    style = TextStyle(scale=2.45, half_width=2.9, gap=0, contrast=1.0, outline=1.3,
                      outline_color=(30, 12, 2), shadow=(1, 1, 0.6))
    draw_text(c, 'V', 24, 35, style, gold_fill)
    alpha = [[outer.at(x, y) for x in range(n)] for y in range(n)]
    return c, alpha


def median_cut(colors, limit):
    """Deterministic median-cut palette from a list of (r, g, b) tuples."""
    boxes = [sorted(colors)]
    while len(boxes) < limit:
        best, best_range, best_ch = None, -1, 0
        for k, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            for ch in range(3):
                vals = [p[ch] for p in box]
                r = max(vals) - min(vals)
                if r > best_range:
                    best, best_range, best_ch = k, r, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda p: (p[best_ch], p))
        mid = len(box) // 2
        boxes[best:best] = [box[:mid], box[mid:]]
    pal = []
    for box in boxes:
        pal.append(tuple(int(round(sum(p[ch] for p in box) / len(box))) for ch in range(3)))
    return pal


def ico_bytes():
    n = ICON_SIZE
    c, alpha = icon_image()
    # Pixels that stay visible are composited over a dark backdrop so the
    # 1-bit mask edge does not show a light fringe.
    rgb = {}
    for y in range(n):
        for x in range(n):
            a = alpha[y][x]
            if a >= 0.5:
                p = c.get(x, y)
                rgb[(x, y)] = tuple(int(round(clamp(v * min(1.0, a * 1.4), 0, 255)))
                                    for v in p)
    palette = median_cut(list(rgb.values()), 255)
    palette = [(0, 0, 0)] + palette                   # index 0: transparent area
    palette += [(0, 0, 0)] * (256 - len(palette))

    def nearest(col):
        best, bi = None, 0
        for i, p in enumerate(palette):
            if i == 0:
                continue
            d = (p[0] - col[0]) ** 2 + (p[1] - col[1]) ** 2 + (p[2] - col[2]) ** 2
            if best is None or d < best:
                best, bi = d, i
        return bi

    cache = {}
    xor_rows, and_rows = [], []
    for y in range(n - 1, -1, -1):
        xr = bytearray()
        bits = 0
        mask_row = bytearray()
        for x in range(n):
            col = rgb.get((x, y))
            if col is None:
                xr.append(0)
                bit = 1
            else:
                if col not in cache:
                    cache[col] = nearest(col)
                xr.append(cache[col])
                bit = 0
            bits = (bits << 1) | bit
            if x % 8 == 7:
                mask_row.append(bits)
                bits = 0
        while len(xr) % 4:
            xr.append(0)
        while len(mask_row) % 4:
            mask_row.append(0)
        xor_rows.append(bytes(xr))
        and_rows.append(bytes(mask_row))
    xor_data = b''.join(xor_rows)
    and_data = b''.join(and_rows)
    pal_data = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    info = struct.pack('<IiiHHIIiiII', 40, n, n * 2, 1, 8, 0,
                       len(xor_data) + len(and_data), 0, 0, 0, 0)
    image = info + pal_data + xor_data + and_data
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', n, n, 0, 0, 1, 8, len(image), 6 + 16)
    return icondir + entry + image


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'src', 'window', 'assets')
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, 'skin.bmp'), 'wb') as f:
        f.write(bmp_bytes(paint_skin()))
    with open(os.path.join(out_dir, 'velmora.ico'), 'wb') as f:
        f.write(ico_bytes())


if __name__ == '__main__':
    main()
