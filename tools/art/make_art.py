#!/usr/bin/env python3
"""Paint the Duskwarden splash picture and the SrdwLaunch icon.

    tools/art/make_art.py                 write res/splash.bmp and res/SrdwLaunch.ico
    tools/art/make_art.py --check         exit 1 if the files in res/ are stale
    tools/art/make_art.py [--check] DIR   the same with the files in DIR

Only the standard library is used, and the output is byte-for-byte
reproducible.  Randomness comes from a fixed-seed LCG and an integer hash,
and the painting uses nothing but + - * / and sqrt on floats: IEEE 754
rounds those exactly, so every machine computes the same pixels (library
functions such as sin, exp or pow may differ in the last bit between
platforms, which could flip a palette choice, so they are avoided).
"""

import math
import os
import struct
import sys

# The pictures live with the other resources the build compiles in.
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res")
SPLASH_NAME = "splash.bmp"
ICON_NAME = "SrdwLaunch.ico"

SPLASH_W, SPLASH_H = 375, 450
ICON_SIZE = 32


# --------------------------------------------------------------------------
# Small numeric helpers
# --------------------------------------------------------------------------

def clamp01(t):
    return 0.0 if t < 0.0 else 1.0 if t > 1.0 else t


def smoothstep(edge0, edge1, x):
    t = clamp01((x - edge0) / (edge1 - edge0))
    return t * t * (3.0 - 2.0 * t)


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t,
            a[1] + (b[1] - a[1]) * t,
            a[2] + (b[2] - a[2]) * t)


def ramp(stops, t):
    """Colour at position t along a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def screen(base, light, amount):
    """Screen blend: brightens like light does, never overshoots white."""
    return tuple(b + (255.0 - b) * (l / 255.0) * amount
                 for b, l in zip(base, light))


class Lcg:
    """The classic 32-bit LCG: tiny, and identical on every platform."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next_u32(self):
        self.state = (1664525 * self.state + 1013904223) & 0xFFFFFFFF
        return self.state

    def uniform(self, lo=0.0, hi=1.0):
        # The top 24 bits are the well-mixed ones in an LCG.
        return lo + (hi - lo) * (self.next_u32() >> 8) / 16777216.0


def lattice(ix, iy, seed):
    """Pseudo-random value in [0, 1] for an integer grid point."""
    h = (ix * 374761393 + iy * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return (h & 0xFFFF) / 65535.0


def value_noise(x, y, seed):
    ix, iy = math.floor(x), math.floor(y)
    fx, fy = x - ix, y - iy
    sx = fx * fx * (3.0 - 2.0 * fx)
    sy = fy * fy * (3.0 - 2.0 * fy)
    top = lattice(ix, iy, seed) + (lattice(ix + 1, iy, seed) - lattice(ix, iy, seed)) * sx
    bot = lattice(ix, iy + 1, seed) + (lattice(ix + 1, iy + 1, seed) - lattice(ix, iy + 1, seed)) * sx
    return top + (bot - top) * sy


def fbm(x, y, seed, octaves=4):
    """Fractal noise in [0, 1]: a few octaves of value noise."""
    total, amp, norm = 0.0, 0.5, 0.0
    for octave in range(octaves):
        total += value_noise(x, y, seed + octave * 101) * amp
        norm += amp
        amp *= 0.5
        x *= 2.0
        y *= 2.0
    return total / norm


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0.0 else clamp01(((px - ax) * dx + (py - ay) * dy) / length2)
    ex, ey = px - (ax + dx * t), py - (ay + dy * t)
    return math.sqrt(ex * ex + ey * ey)


def point_in_polygon(x, y, poly):
    inside = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


# --------------------------------------------------------------------------
# Canvas: floating point RGB, painted back to front
# --------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [(0.0, 0.0, 0.0)] * (width * height)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def set(self, x, y, colour):
        self.px[y * self.w + x] = colour

    def blend(self, x, y, colour, alpha):
        if alpha <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        i = y * self.w + x
        self.px[i] = mix(self.px[i], colour, alpha if alpha < 1.0 else 1.0)

    def lighten(self, x, y, colour, amount):
        if amount <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        i = y * self.w + x
        self.px[i] = screen(self.px[i], colour, amount if amount < 1.0 else 1.0)

    def fill_shape(self, x0, y0, x1, y1, inside, colour_at, samples=4):
        """Anti-aliased fill of the region where inside(x, y) is true.

        Coverage comes from a samples x samples grid inside each pixel of
        the box [x0, x1) x [y0, y1); colour_at(x, y) picks the paint at the
        pixel centre.
        """
        step = 1.0 / samples
        offsets = [(i + 0.5) * step for i in range(samples)]
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    self.blend(x, y, colour_at(x + 0.5, y + 0.5), hits / (samples * samples))


# --------------------------------------------------------------------------
# A small stroke font: each glyph is a skeleton of lines and cubic curves on
# a grid 10 units tall (y grows downwards, baseline at 10).  Thick strokes
# are then drawn along the skeleton, so one definition serves every size.
# --------------------------------------------------------------------------

GLYPHS = {
    "A": (7.0, "M0 10 L3.5 0 L7 10 M1.4 6.6 L5.6 6.6"),
    "D": (6.4, "M0 0 L0 10 L3 10 C7.5 10 7.5 0 3 0 L0 0"),
    "E": (5.4, "M5.4 0 L0 0 L0 10 L5.4 10 M0 5 L4.4 5"),
    "K": (6.2, "M0 0 L0 10 M6 0 L0.4 6.2 M2.4 4.1 L6.2 10"),
    "N": (6.2, "M0 10 L0 0 L6.2 10 L6.2 0"),
    "R": (6.2, "M0 10 L0 0 L3.4 0 C6.4 0 6.4 5.2 3.4 5.2 L0 5.2 M3 5.2 L6.2 10"),
    "S": (6.0, "M5.8 1.5 C5.2 0.4 4.2 0 3 0 C1.2 0 0.2 1.1 0.2 2.5 "
               "C0.2 4 1.5 4.6 3 5 C4.5 5.4 5.8 6 5.8 7.5 "
               "C5.8 9 4.6 10 3 10 C1.6 10 0.6 9.5 0.2 8.5"),
    "U": (6.2, "M0 0 L0 6.6 C0 11.2 6.2 11.2 6.2 6.6 L6.2 0"),
    "W": (8.4, "M0 0 L2 10 L4.2 2.6 L6.4 10 L8.4 0"),
    "Y": (6.4, "M0 0 L3.2 5.2 L6.4 0 M3.2 5.2 L3.2 10"),
    "0": (6.0, "M3 0 C-1 0 -1 10 3 10 C7 10 7 0 3 0"),
    "1": (4.0, "M0.6 2.2 L3 0 L3 10"),
    "2": (6.0, "M0.3 2.5 C0.3 0.9 1.5 0 3 0 C4.6 0 5.8 1 5.8 2.6 "
               "C5.8 4.6 4 5.8 0 10 L6 10"),
    "3": (6.0, "M0.3 1.5 C1 0.4 2 0 3 0 C4.6 0 5.6 1 5.6 2.5 "
               "C5.6 4 4.5 4.8 2.6 4.8 C4.8 4.8 6 5.8 6 7.4 "
               "C6 9 4.6 10 3 10 C1.8 10 0.8 9.6 0.2 8.6"),
    "4": (6.2, "M4.6 10 L4.6 0 L0 7 L6.2 7"),
    "5": (6.0, "M5.6 0 L1 0 L0.5 4.4 C1.2 4 2 3.8 3 3.8 "
               "C4.8 3.8 6 5 6 6.9 C6 8.8 4.6 10 3 10 C1.7 10 0.7 9.5 0.1 8.6"),
    "6": (6.0, "M5.2 0.6 C4.6 0.2 3.9 0 3.2 0 C1 0 0 2.5 0 6 "
               "C0 8.6 1.2 10 3 10 C4.8 10 6 8.7 6 7 C6 5.2 4.8 4 3 4 "
               "C1.6 4 0.5 4.8 0 6"),
    "7": (6.0, "M0 0 L6 0 L2.4 10"),
    "8": (6.0, "M3 4.8 C1.2 4.8 0.4 3.8 0.4 2.4 C0.4 1 1.5 0 3 0 "
               "C4.5 0 5.6 1 5.6 2.4 C5.6 3.8 4.8 4.8 3 4.8 "
               "C1.1 4.8 0 5.9 0 7.4 C0 9 1.3 10 3 10 "
               "C4.7 10 6 9 6 7.4 C6 5.9 4.9 4.8 3 4.8"),
    "9": (6.0, "M0.8 9.4 C1.4 9.8 2.1 10 2.8 10 C5 10 6 7.5 6 4 "
               "C6 1.4 4.8 0 3 0 C1.2 0 0 1.3 0 3 C0 4.8 1.2 6 3 6 "
               "C4.4 6 5.5 5.2 6 4"),
    " ": (3.0, ""),
}


def glyph_segments(path, curve_steps=12):
    """Flatten a tiny SVG-like path ("M x y", "L x y", "C ...") to segments."""
    tokens = path.replace("M", " M ").replace("L", " L ").replace("C", " C ").split()
    segments = []
    pen = (0.0, 0.0)
    i = 0
    while i < len(tokens):
        op = tokens[i]
        if op == "M":
            pen = (float(tokens[i + 1]), float(tokens[i + 2]))
            i += 3
        elif op == "L":
            end = (float(tokens[i + 1]), float(tokens[i + 2]))
            segments.append((pen, end))
            pen = end
            i += 3
        elif op == "C":
            c1 = (float(tokens[i + 1]), float(tokens[i + 2]))
            c2 = (float(tokens[i + 3]), float(tokens[i + 4]))
            end = (float(tokens[i + 5]), float(tokens[i + 6]))
            prev = pen
            for step in range(1, curve_steps + 1):
                t = step / curve_steps
                u = 1.0 - t
                a, b, c, d = u * u * u, 3.0 * u * u * t, 3.0 * u * t * t, t * t * t
                point = (a * pen[0] + b * c1[0] + c * c2[0] + d * end[0],
                         a * pen[1] + b * c1[1] + c * c2[1] + d * end[1])
                segments.append((prev, point))
                prev = point
            pen = end
            i += 7
        else:
            raise ValueError("bad glyph path token %r" % op)
    return segments


def layout_text(text, left, top, cap_height, tracking):
    """Return one list of pixel-space segments per glyph, plus the width."""
    scale = cap_height / 10.0
    pen = 0.0
    glyphs = []
    for ch in text:
        advance, path = GLYPHS[ch]
        segs = [((left + (pen + a[0]) * scale, top + a[1] * scale),
                 (left + (pen + b[0]) * scale, top + b[1] * scale))
                for a, b in glyph_segments(path)]
        if segs:
            glyphs.append(segs)
        pen += advance + tracking
    return glyphs, (pen - tracking) * scale


def text_width(text, cap_height, tracking):
    return layout_text(text, 0.0, 0.0, cap_height, tracking)[1]


def draw_title_text(canvas, text, centre_x, top, cap_height, stroke, tracking,
                    fill_stops, outline, outline_colour, shadow_offset,
                    shadow_alpha, shadow_colour):
    """Stroke text with an outline and a soft drop shadow behind it."""
    left = centre_x - text_width(text, cap_height, tracking) / 2.0
    glyphs, _ = layout_text(text, left, top, cap_height, tracking)
    half = stroke / 2.0
    reach = half + outline
    sx, sy = shadow_offset
    soft = 1.6
    pad = reach + soft + max(abs(sx), abs(sy)) + 2.0

    # Per-glyph bounding boxes let each pixel test only its neighbours.
    boxes = []
    for segs in glyphs:
        xs = [p[0] for seg in segs for p in seg]
        ys = [p[1] for seg in segs for p in seg]
        boxes.append((min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad, segs))

    def distance(px, py):
        best = 1e9
        for bx0, by0, bx1, by1, segs in boxes:
            if bx0 <= px <= bx1 and by0 <= py <= by1:
                for (ax, ay), (bx, by) in segs:
                    d = segment_distance(px, py, ax, ay, bx, by)
                    if d < best:
                        best = d
        return best

    x0 = int(min(b[0] for b in boxes))
    x1 = int(max(b[2] for b in boxes)) + 1
    y0 = int(min(b[1] for b in boxes))
    y1 = int(max(b[3] for b in boxes)) + 1
    for y in range(max(0, y0), min(canvas.h, y1)):
        for x in range(max(0, x0), min(canvas.w, x1)):
            px, py = x + 0.5, y + 0.5
            d_shadow = distance(px - sx, py - sy)
            if d_shadow < reach + soft:
                a = shadow_alpha * clamp01((reach + soft - d_shadow) / (2.0 * soft))
                canvas.blend(x, y, shadow_colour, a)
            d = distance(px, py)
            if d < reach + 0.5:
                canvas.blend(x, y, outline_colour, clamp01(reach - d + 0.5))
                if d < half + 0.5:
                    fill = ramp(fill_stops, (py - top) / cap_height)
                    canvas.blend(x, y, fill, clamp01(half - d + 0.5))


# --------------------------------------------------------------------------
# The splash picture
# --------------------------------------------------------------------------

HORIZON_Y = 300.0
SUN = (118.0, 289.0, 25.0)          # centre x, centre y, radius
MOON = (62.0, 168.0, 12.0)
WINDOW = (291.0, 201.0)             # the lit tower window, for its glow

SKY_STOPS = [
    (0.00, (14.0, 10.0, 34.0)),
    (0.30, (38.0, 22.0, 72.0)),
    (0.55, (84.0, 36.0, 104.0)),
    (0.72, (150.0, 58.0, 112.0)),
    (0.84, (214.0, 96.0, 96.0)),
    (0.93, (246.0, 150.0, 78.0)),
    (1.00, (255.0, 204.0, 120.0)),
]
SUN_GLOW = (255.0, 178.0, 96.0)
RIM_LIGHT = (255.0, 170.0, 110.0)


def sky_colour(x, y):
    base = ramp(SKY_STOPS, y / HORIZON_Y)
    # Elliptical glow around the low sun: wide along the horizon, as light
    # scattered through a long path of air would be.
    dx = (x - SUN[0]) / 150.0
    dy = (y - SUN[1]) / 70.0
    wide = 1.0 / (1.0 + 3.0 * (dx * dx + dy * dy))
    dx = (x - SUN[0]) / 45.0
    dy = (y - SUN[1]) / 38.0
    near = 1.0 / (1.0 + 4.0 * (dx * dx + dy * dy))
    return screen(base, SUN_GLOW, 0.55 * wide * wide + 0.6 * near * near)


def paint_sky(canvas):
    for y in range(canvas.h):
        for x in range(canvas.w):
            canvas.set(x, y, sky_colour(x + 0.5, y + 0.5))


def paint_sun(canvas):
    cx, cy, r = SUN
    x0, x1 = int(cx - r - 2), int(cx + r + 3)
    y0, y1 = int(cy - r - 2), int(cy + r + 3)

    def inside(x, y):
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r

    def colour(x, y):
        return ramp([(0.0, (255.0, 246.0, 200.0)), (1.0, (255.0, 188.0, 96.0))],
                    (y - (cy - r)) / (2.0 * r))

    canvas.fill_shape(x0, y0, x1, y1, inside, colour)


def paint_stars(canvas):
    rng = Lcg(20251207)
    mx, my, mr = MOON
    placed = 0
    while placed < 170:
        x = int(rng.uniform(8.0, canvas.w - 8.0))
        u = rng.uniform()
        y = int(10.0 + 250.0 * u * u)     # denser high up where the sky is dark
        brightness = rng.uniform(0.3, 1.0)
        tint = rng.uniform()
        sparkle = rng.uniform() < 0.07
        if (x - mx) * (x - mx) + (y - my) * (y - my) < (mr + 8.0) * (mr + 8.0):
            continue
        placed += 1
        fade = 1.0 - smoothstep(110.0, 255.0, y)
        a = brightness * fade
        colour = mix((200.0, 214.0, 255.0), (255.0, 236.0, 210.0), tint)
        canvas.lighten(x, y, colour, a)
        if sparkle and a > 0.4:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                canvas.lighten(x + dx, y + dy, colour, a * 0.45)
            for dx, dy in ((2, 0), (-2, 0), (0, 2), (0, -2)):
                canvas.lighten(x + dx, y + dy, colour, a * 0.15)


def paint_moon(canvas):
    cx, cy, r = MOON
    # The lit limb faces the sun, down and to the right, so the shadow disc
    # is pushed up and to the left.
    sx, sy = cx - 0.42 * r, cy - 0.30 * r
    for y in range(int(cy - 4 * r), int(cy + 4 * r)):
        for x in range(int(cx - 4 * r), int(cx + 4 * r)):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d2 = (dx * dx + dy * dy) / (r * r)
            if d2 > 1.0:
                canvas.lighten(x, y, (235.0, 215.0, 255.0), 0.22 / (1.0 + 6.0 * (d2 - 1.0)))

    def in_disc(x, y):
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r

    def in_crescent(x, y):
        return in_disc(x, y) and (x - sx) * (x - sx) + (y - sy) * (y - sy) >= r * r * 0.92

    box = (int(cx - r - 1), int(cy - r - 1), int(cx + r + 2), int(cy + r + 2))
    # Faint earthshine on the dark part, then the bright crescent.
    canvas.fill_shape(*box, in_disc, lambda x, y: (70.0, 52.0, 110.0))
    canvas.fill_shape(*box, in_crescent, lambda x, y: (255.0, 242.0, 214.0))


def paint_clouds(canvas):
    """Thin streaks of cloud, lit from below by the sun."""
    for y in range(180, 292):
        band = smoothstep(180.0, 215.0, y) * (1.0 - smoothstep(262.0, 292.0, y))
        for x in range(canvas.w):
            n = fbm(x / 90.0, y / 7.0, 77, 4)
            density = clamp01((n - 0.52) * 4.0) * band
            if density <= 0.0:
                continue
            # Nearer the horizon and the sun the undersides glow warmer.
            dx = (x - SUN[0]) / 160.0
            warm = clamp01(smoothstep(200.0, 285.0, y) + 0.6 / (1.0 + 8.0 * dx * dx))
            below = fbm(x / 90.0, (y + 2.0) / 7.0, 77, 4)
            underside = clamp01((n - below) * 8.0 + 0.5)
            colour = mix((104.0, 50.0, 104.0), (255.0, 160.0, 110.0), clamp01(warm * 0.8 + underside * 0.3))
            canvas.blend(x, y, colour, density * 0.8)


def paint_birds(canvas):
    birds = [(172.0, 232.0, 3.0), (184.0, 238.0, 2.4), (163.0, 243.0, 2.0)]
    for bx, by, span in birds:
        wings = [((bx - span, by - span * 0.5), (bx, by + span * 0.2)),
                 ((bx, by + span * 0.2), (bx + span, by - span * 0.5))]
        for y in range(int(by - span - 2), int(by + span + 2)):
            for x in range(int(bx - span - 2), int(bx + span + 2)):
                d = min(segment_distance(x + 0.5, y + 0.5, a[0], a[1], b[0], b[1])
                        for a, b in wings)
                canvas.blend(x, y, (40.0, 20.0, 50.0), clamp01(0.6 - d + 0.5) * 0.9)


def ridge_profile(width, points, seed, roughness, persistence=0.6, subsamples=4, levels=9):
    """Heights (y) of a mountain ridge sampled subsamples times per pixel.

    The broad shape comes from piecewise-linear control points; midpoint
    displacement adds the craggy detail, smaller at every level.
    """
    n = 1 << levels
    detail = [0.0] * (n + 1)
    rng = Lcg(seed)
    step, amp = n, roughness
    while step > 1:
        half = step // 2
        for i in range(half, n, step):
            detail[i] = (detail[i - half] + detail[i + half]) * 0.5 + rng.uniform(-amp, amp)
        step, amp = half, amp * persistence

    heights = []
    for i in range(width * subsamples):
        x = (i + 0.5) / subsamples
        base = ramp([(px, (py, 0.0, 0.0)) for px, py in points], x)[0]
        f = x / width * n
        k = min(int(f), n - 1)
        heights.append(base + detail[k] + (detail[k + 1] - detail[k]) * (f - k))
    return heights


def paint_ridge(canvas, heights, shade, subsamples=4):
    """Fill everything below a ridge; shade(x, y, depth) gives the paint."""
    for x in range(canvas.w):
        hs = heights[x * subsamples:(x + 1) * subsamples]
        top = int(min(hs))
        for y in range(max(0, top), canvas.h):
            cover = sum(clamp01(y + 1.0 - h) for h in hs) / subsamples
            depth = y + 0.5 - sum(hs) / subsamples
            canvas.blend(x, y, shade(x + 0.5, y + 0.5, depth), cover)


def paint_mist(canvas, y_top, y_bottom, colour, strength, seed):
    """Haze pooling in the valleys, thickening down to y_bottom.

    It carries on at full strength a little further, so the deepest dips
    of the next ridge never reveal where the haze stops.
    """
    for y in range(int(y_top), min(canvas.h, int(y_bottom) + 40)):
        rise = smoothstep(y_top, y_bottom, y + 0.5)
        for x in range(canvas.w):
            n = fbm(x / 70.0, y / 9.0, seed, 3)
            canvas.blend(x, y, colour, strength * rise * (0.55 + 0.9 * n))


def rim_amount(x, depth, strength):
    """How much sunset light catches a ridge: only its very top edge."""
    if depth > 2.5:
        return 0.0
    dx = (x - SUN[0]) / 140.0
    near_sun = 0.35 + 0.65 / (1.0 + 3.0 * dx * dx)
    return strength * near_sun * (1.0 - clamp01(depth / 2.5))


def paint_mountains(canvas):
    w = canvas.w
    layers = [
        # control points, seed, roughness, body colour, haze colour, rim, mist
        ([(0, 262), (45, 248), (95, 286), (150, 296), (205, 258), (262, 242),
          (330, 272), (375, 258)], 11, 16.0,
         (150.0, 84.0, 124.0), (214.0, 128.0, 138.0), 0.7,
         (292.0, 328.0, (236.0, 150.0, 132.0), 0.5)),
        ([(0, 296), (60, 282), (125, 318), (185, 298), (240, 320), (300, 304),
          (375, 318)], 23, 13.0,
         (96.0, 50.0, 100.0), (150.0, 80.0, 118.0), 0.55,
         (318.0, 356.0, (176.0, 98.0, 124.0), 0.45)),
        ([(0, 334), (50, 344), (110, 326), (170, 352), (230, 340), (300, 356),
          (375, 350)], 37, 10.0,
         (56.0, 30.0, 70.0), (84.0, 46.0, 92.0), 0.45,
         (348.0, 400.0, (104.0, 58.0, 100.0), 0.4)),
    ]
    for points, seed, rough, body, haze, rim, mist in layers:
        heights = ridge_profile(w, points, seed, rough)

        def shade(x, y, depth, body=body, haze=haze, rim=rim):
            colour = mix(body, haze, 1.0 / (1.0 + depth / 5.0) * 0.5)
            return screen(colour, RIM_LIGHT, rim_amount(x, depth, rim))

        paint_ridge(canvas, heights, shade)
        mist_top, mist_bottom, mist_colour, mist_strength = mist
        paint_mist(canvas, mist_top, mist_bottom, mist_colour, mist_strength, seed + 500)


# The fortress, as polygons in pixel space.  Left edges catch the sun.
TOWER_PARTS = [
    # tapering shaft
    [(281.0, 270.0), (283.0, 187.0), (299.0, 187.0), (301.0, 270.0)],
    # corbelled parapet, flaring out above the shaft
    [(282.0, 189.0), (278.0, 183.0), (278.0, 177.0), (304.0, 177.0), (304.0, 183.0), (300.0, 189.0)],
    # merlons
    [(278.0, 177.0), (278.0, 170.0), (283.0, 170.0), (283.0, 177.0)],
    [(285.0, 177.0), (285.0, 170.0), (290.0, 170.0), (290.0, 177.0)],
    [(292.0, 177.0), (292.0, 170.0), (297.0, 170.0), (297.0, 177.0)],
    [(299.0, 177.0), (299.0, 170.0), (304.0, 170.0), (304.0, 177.0)],
    # flag pole and pennant streaming in the evening wind
    [(290.6, 171.0), (290.6, 148.0), (291.8, 148.0), (291.8, 171.0)],
    [(291.0, 148.5), (276.0, 151.5), (270.0, 150.0), (276.0, 154.0), (291.0, 156.0)],
    # lower hall on the left with its own battlements
    [(256.0, 270.0), (256.0, 238.0), (282.0, 238.0), (282.0, 270.0)],
    [(256.0, 238.0), (256.0, 233.0), (260.0, 233.0), (260.0, 238.0)],
    [(263.0, 238.0), (263.0, 233.0), (267.0, 233.0), (267.0, 238.0)],
    [(270.0, 238.0), (270.0, 233.0), (274.0, 233.0), (274.0, 238.0)],
    [(277.0, 238.0), (277.0, 233.0), (281.0, 233.0), (281.0, 238.0)],
]
LIT_WINDOWS = [
    # arched window high in the tower
    ([(288.5, 207.0), (288.5, 199.0), (289.5, 196.8), (291.0, 196.0), (292.5, 196.8),
      (293.5, 199.0), (293.5, 207.0)], 1.0),
    # narrow slit lower down, and one in the hall
    ([(290.0, 233.0), (290.0, 226.0), (292.0, 226.0), (292.0, 233.0)], 0.7),
    ([(267.0, 253.0), (267.0, 247.0), (269.0, 247.0), (269.0, 253.0)], 0.6),
]
FORTRESS_DARK = (22.0, 12.0, 32.0)


def in_fortress(x, y):
    return any(point_in_polygon(x, y, part) for part in TOWER_PARTS)


def paint_crag_and_fortress(canvas):
    w = canvas.w
    # Foreground ground on the left rising into the crag the tower stands on.
    heights = ridge_profile(w, [(0, 404), (60, 394), (120, 410), (180, 400), (206, 396),
                                (214, 378), (224, 372), (230, 350), (238, 342),
                                (242, 318), (248, 308), (251, 288), (255, 268),
                                (318, 268), (326, 284), (334, 290), (342, 306),
                                (356, 300), (375, 312)],
                            53, 8.0)
    # The crag top must stay level where the buildings stand.
    for i in range(len(heights)):
        x = (i + 0.5) / 4.0
        level = smoothstep(246.0, 258.0, x) * (1.0 - smoothstep(312.0, 324.0, x))
        heights[i] += (266.0 + (heights[i] - 266.0) * 0.15 - heights[i]) * level

    def shade(x, y, depth):
        # Faint strata in the rock so the crag is not a flat cut-out.
        n = fbm(x / 18.0, y / 5.0, 91, 3)
        colour = mix(FORTRESS_DARK, (44.0, 24.0, 56.0), n * 0.8)
        return screen(colour, RIM_LIGHT, rim_amount(x, depth, 0.5))

    paint_ridge(canvas, heights, shade)
    paint_pines(canvas, heights)

    def fortress_colour(x, y):
        # Sunset rim on the sun-facing (left) edges and the tops.
        lit = 0.0
        if not in_fortress(x - 1.3, y):
            lit += 0.45
        if not in_fortress(x, y - 1.3):
            lit += 0.25
        return screen(FORTRESS_DARK, RIM_LIGHT, lit)

    canvas.fill_shape(250, 144, 310, 272, in_fortress, fortress_colour)


def paint_pines(canvas, heights):
    """A scattering of dark firs along the foreground ridge, for scale."""
    rng = Lcg(4242)
    spots = [rng.uniform(12.0, 205.0) for _ in range(11)] + [rng.uniform(338.0, 366.0) for _ in range(2)]
    for tx in spots:
        tall = rng.uniform(9.0, 21.0)
        base = heights[int(tx * 4.0)] + 3.0
        tiers = [(base - tall + k * tall * 0.27, tall * (0.42 + 0.06 * k), tall * (0.2 + 0.07 * k))
                 for k in range(3)]

        def inside(x, y, tx=tx, base=base, tiers=tiers):
            if abs(x - tx) < 0.8 and y < base:
                return True                         # trunk
            for top, height, half in tiers:
                t = (y - top) / height
                if 0.0 <= t <= 1.0 and abs(x - tx) < half * t:
                    return True
            return False

        def colour(x, y, tx=tx):
            lit = 0.0 if inside(x - 1.2, y) else 0.3  # sunward edge
            return screen(FORTRESS_DARK, RIM_LIGHT, lit)

        top = int(base - tall) - 1
        canvas.fill_shape(int(tx - tall * 0.4) - 1, top, int(tx + tall * 0.4) + 2, int(base) + 1,
                          inside, colour)


def paint_window_light(canvas):
    # A warm halo first, so the window itself sits on top of it.
    wx, wy = WINDOW
    for y in range(int(wy - 34), int(wy + 34)):
        for x in range(int(wx - 34), int(wx + 34)):
            dx, dy = x + 0.5 - wx, y + 0.5 - wy
            g = 1.0 / (1.0 + (dx * dx + dy * dy) / 60.0)
            canvas.lighten(x, y, (255.0, 170.0, 80.0), 0.5 * g * g)
    for poly, brightness in LIT_WINDOWS:
        xs = [p[0] for p in poly]
        ys = [p[1] for p in poly]
        box = (int(min(xs)) - 1, int(min(ys)) - 1, int(max(xs)) + 2, int(max(ys)) + 2)
        glow = mix((200.0, 100.0, 40.0), (255.0, 230.0, 150.0), brightness)
        canvas.fill_shape(*box, lambda x, y, poly=poly: point_in_polygon(x, y, poly),
                          lambda x, y, glow=glow: glow)


def paint_vignette(canvas):
    """Darken the corners a little so the eye settles on the middle."""
    cx, cy = canvas.w / 2.0, canvas.h * 0.45
    for y in range(canvas.h):
        for x in range(canvas.w):
            dx = (x + 0.5 - cx) / (canvas.w * 0.75)
            dy = (y + 0.5 - cy) / (canvas.h * 0.75)
            d2 = dx * dx + dy * dy
            k = 1.0 - 0.55 * d2 * d2
            r, g, b = canvas.get(x, y)
            canvas.set(x, y, (r * k, g * k, b * k))


def paint_title(canvas):
    cx = canvas.w / 2.0
    draw_title_text(canvas, "SKYREND 2", cx, 30.0, 12.0, 2.2, 3.2,
                    [(0.0, (236.0, 226.0, 250.0)), (1.0, (176.0, 156.0, 214.0))],
                    1.3, (16.0, 8.0, 26.0), (1.0, 1.5), 0.7, (6.0, 2.0, 12.0))
    draw_title_text(canvas, "DUSKWARDEN", cx, 56.0, 36.0, 6.4, 2.2,
                    [(0.00, (255.0, 248.0, 218.0)),
                     (0.46, (255.0, 206.0, 112.0)),
                     (0.54, (238.0, 158.0, 64.0)),
                     (1.00, (176.0, 84.0, 40.0))],
                    2.2, (20.0, 8.0, 24.0), (2.5, 3.0), 0.75, (4.0, 2.0, 10.0))
    paint_title_rule(canvas, cx, 108.0)


def paint_title_rule(canvas, cx, y_line):
    """A fine gold rule under the title with a small diamond at its centre."""
    gold = (236.0, 178.0, 92.0)
    half = 92.0
    y = int(y_line)
    for x in range(int(cx - half), int(cx + half) + 1):
        t = abs(x + 0.5 - cx) / half
        canvas.blend(x, y, gold, 0.85 * (1.0 - t * t))
        canvas.blend(x, y + 1, (10.0, 4.0, 16.0), 0.5 * (1.0 - t * t))
    cy = y_line + 0.5
    box = (int(cx) - 8, int(cy) - 8, int(cx) + 9, int(cy) + 9)
    # A dark outline first, so the diamond stays crisp over the stars.
    for size, colour in ((6.0, (16.0, 6.0, 22.0)), (4.5, gold)):
        canvas.fill_shape(*box,
                          lambda px, py, size=size: abs(px - cx) + abs(py - cy) < size,
                          lambda px, py, colour=colour: colour)


def paint_frame(canvas):
    """A dark edge with a thin inset gold line, like a framed print."""
    w, h = canvas.w, canvas.h
    for y in range(h):
        for x in range(w):
            edge = min(x, y, w - 1 - x, h - 1 - y)
            if edge < 4:
                canvas.blend(x, y, (8.0, 4.0, 14.0), 0.9 - 0.15 * edge)
            elif edge == 5:
                canvas.blend(x, y, (200.0, 146.0, 76.0), 0.75)
            elif edge == 6:
                canvas.blend(x, y, (8.0, 4.0, 14.0), 0.35)


def paint_splash():
    canvas = Canvas(SPLASH_W, SPLASH_H)
    paint_sky(canvas)
    paint_stars(canvas)
    paint_moon(canvas)
    paint_sun(canvas)
    paint_clouds(canvas)
    paint_birds(canvas)
    paint_mountains(canvas)
    paint_crag_and_fortress(canvas)
    paint_window_light(canvas)
    paint_vignette(canvas)
    paint_title(canvas)
    paint_frame(canvas)
    return canvas


# --------------------------------------------------------------------------
# Palette and dithering
# --------------------------------------------------------------------------

def to_rgb8(colour):
    return tuple(int(clamp01(c / 255.0) * 255.0 + 0.5) for c in colour)


def median_cut(colours, count):
    """Pick `count` representative colours from {rgb: weight}.

    Boxes are split where they hold the most squared error, so smooth
    gradients (most of this picture) get many close entries while small
    bright details still get their own.
    """
    def box_stats(box):
        total = sum(wt for _, wt in box)
        mean = [sum(c[k] * wt for c, wt in box) / total for k in range(3)]
        spread = [sum(wt * (c[k] - mean[k]) * (c[k] - mean[k]) for c, wt in box) for k in range(3)]
        return total, mean, spread

    boxes = [sorted(colours.items())]
    while len(boxes) < count:
        best, best_err, best_axis = None, 0.0, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            _, _, spread = box_stats(box)
            err = spread[0] + spread[1] + spread[2]
            if err > best_err:
                best, best_err = i, err
                best_axis = spread.index(max(spread))
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda item: (item[0][best_axis], item[0]))
        half = sum(wt for _, wt in box) / 2.0
        run, cut = 0, 1
        for j, (_, wt) in enumerate(box):
            run += wt
            if run >= half:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes[best:best] = [box[:cut], box[cut:]]
    return [tuple(box_stats(box)[1]) for box in boxes]


def refine_palette(colours, palette, rounds=3):
    """A few k-means passes pull each entry to the middle of its colours."""
    for _ in range(rounds):
        sums = [[0.0, 0.0, 0.0, 0.0] for _ in palette]
        for c, wt in sorted(colours.items()):
            i = nearest_index(palette, c)
            s = sums[i]
            s[0] += c[0] * wt
            s[1] += c[1] * wt
            s[2] += c[2] * wt
            s[3] += wt
        palette = [(s[0] / s[3], s[1] / s[3], s[2] / s[3]) if s[3] else p
                   for s, p in zip(sums, palette)]
    return palette


def nearest_index(palette, c):
    # Weighted RGB distance: the eye is most sensitive to green, least to blue.
    r, g, b = c
    best, best_d = 0, 1e30
    for i, (pr, pg, pb) in enumerate(palette):
        dr, dg, db = r - pr, g - pg, b - pb
        d = 3.0 * dr * dr + 4.0 * dg * dg + 2.0 * db * db
        if d < best_d:
            best, best_d = i, d
    return best


def bayer_matrix(order):
    """Bayer threshold matrix of size 2**order, values 0 .. 4**order - 1."""
    m = [[0]]
    for _ in range(order):
        n = len(m)
        m = [[4 * m[y % n][x % n] + (0, 2, 3, 1)[(y // n) * 2 + (x // n)]
              for x in range(2 * n)] for y in range(2 * n)]
    return m


def quantise(canvas, count, spread):
    """Reduce the canvas to `count` colours with 8x8 ordered dithering.

    Ordered dithering keeps gradients smooth without the crawling noise of
    error diffusion, and a pixel's result depends only on its own colour
    and position, which keeps the output stable.
    """
    pixels = [to_rgb8(c) for c in canvas.px]
    histogram = {}
    for c in pixels:
        # 6 bits per channel is plenty to find where the colours cluster.
        key = (c[0] >> 2 << 2, c[1] >> 2 << 2, c[2] >> 2 << 2)
        histogram[key] = histogram.get(key, 0) + 1
    palette = refine_palette(histogram, median_cut(histogram, count))
    palette = sorted(to_rgb8(p) for p in palette)
    while len(palette) < count:
        palette.append((0, 0, 0))

    matrix = bayer_matrix(3)
    thresholds = [[(v + 0.5) / 64.0 - 0.5 for v in row] for row in matrix]
    cache = {}
    indices = []
    w = canvas.w
    for i, (r, g, b) in enumerate(pixels):
        t = thresholds[(i // w) & 7][(i % w) & 7] * spread
        key = (min(255, max(0, int(r + t))), min(255, max(0, int(g + t))), min(255, max(0, int(b + t))))
        index = cache.get(key)
        if index is None:
            index = cache[key] = nearest_index(palette, key)
        indices.append(index)
    return palette, indices


# --------------------------------------------------------------------------
# File writers
# --------------------------------------------------------------------------

def bmp_bytes(width, height, palette, indices):
    """8-bit BMP: BITMAPFILEHEADER, BITMAPINFOHEADER, 256 RGBQUADs, rows."""
    row_size = (width + 3) & ~3
    image_size = row_size * height
    offset = 14 + 40 + 256 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, image_size,
                       2835, 2835, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    rows = []
    padding = bytes(row_size - width)
    for y in range(height - 1, -1, -1):        # bottom-up, as BMP stores it
        rows.append(bytes(indices[y * width:(y + 1) * width]) + padding)
    return header + info + table + b"".join(rows)


def ico_bytes(size, palette, indices, transparent):
    """Single-image 4-bit ICO: colour bitmap plus 1-bit AND mask."""
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor_rows, and_rows = [], []
    for y in range(size - 1, -1, -1):          # bottom-up like any DIB
        row = bytearray(xor_row)
        mask = bytearray(and_row)
        for x in range(size):
            i = y * size + x
            if transparent[i]:
                mask[x >> 3] |= 0x80 >> (x & 7)
            else:
                row[x >> 1] |= indices[i] << (0 if x & 1 else 4)
        xor_rows.append(bytes(row))
        and_rows.append(bytes(mask))
    bitmap_size = (xor_row + and_row) * size
    # Icons store the XOR and AND bitmaps stacked, hence double the height.
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, bitmap_size,
                       0, 0, 0, 0)
    image = info + table + b"".join(xor_rows) + b"".join(and_rows)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


# --------------------------------------------------------------------------
# The icon: the watchtower against a dusk disc
# --------------------------------------------------------------------------

ICON_PALETTE = [
    (0, 0, 0),          # transparent area (hidden by the AND mask)
    (16, 8, 26),        # outline and tower
    (30, 16, 44),       # crag
    (52, 26, 76),       # spare deep violet
    (84, 36, 108),      # sky, from the top down ...
    (128, 50, 122),
    (180, 70, 114),
    (226, 106, 90),
    (248, 156, 72),     # ... to amber at the horizon
    (255, 206, 112),    # sun, window arch
    (255, 244, 206),    # window, stars
    (118, 62, 108),     # far hills
    (72, 38, 82),       # near hills
    (150, 96, 48),      # gold rim in shadow
    (226, 172, 86),     # gold rim in light
    (96, 58, 120),      # upper sky
]


def icon_colour(x, y):
    """Colour at a point of the 32x32 icon, or None outside the disc."""
    c = ICON_SIZE / 2.0
    dx, dy = x - c, y - c
    r = math.sqrt(dx * dx + dy * dy)
    if r > 15.6:
        return None
    if r > 14.6:
        return (16.0, 8.0, 26.0)
    if r > 13.2:
        # Gold rim, lit from the upper left.
        return (226.0, 172.0, 86.0) if dx + dy < 4.0 else (150.0, 96.0, 48.0)

    # The tower stands in front of the setting sun, so its outline stays
    # readable even when the icon is shown small.
    if 11.0 <= y < 15.0 and 15.0 <= x < 17.0:
        return (255.0, 244.0, 206.0) if y >= 12.0 else (255.0, 206.0, 112.0)
    in_tower = ((4.0 <= y < 6.0 and (12.0 <= x < 14.0 or 15.0 <= x < 17.0 or 18.0 <= x < 20.0))
                or (6.0 <= y < 9.0 and 12.0 <= x < 20.0)
                or (9.0 <= y < 32.0 and 13.0 <= x < 19.0))
    if in_tower:
        return (16.0, 8.0, 26.0)

    # Crag under the tower, then the hills.
    if y >= 24.0 + abs(x - 16.0) * 0.7:
        return (30.0, 16.0, 44.0)
    if y >= 24.5 + 2.5 * clamp01(abs(x - 16.0) / 12.0) - 2.0 * clamp01(1.0 - abs(x - 4.0) / 6.0):
        return (72.0, 38.0, 82.0)
    if y >= 20.5 + 2.0 * clamp01(1.0 - abs(x - 16.0) / 9.0) - 1.5 * clamp01(1.0 - abs(x - 26.0) / 5.0) \
            - 1.0 * clamp01(1.0 - abs(x - 6.0) / 4.0):
        return (118.0, 62.0, 108.0)

    # Low sun sitting on the far hills, behind the tower.
    sx, sy = x - 16.0, y - 21.0
    if sx * sx + sy * sy < 52.0:
        return (255.0, 206.0, 112.0) if sy < -3.0 else (248.0, 156.0, 72.0) if sy > 0.5 else (255.0, 190.0, 96.0)
    return ramp([(3.0, (84.0, 36.0, 108.0)), (8.0, (96.0, 58.0, 120.0)),
                 (12.0, (128.0, 50.0, 122.0)), (16.0, (180.0, 70.0, 114.0)),
                 (19.0, (226.0, 106.0, 90.0)), (22.0, (248.0, 156.0, 72.0))], y)


def paint_icon():
    size = ICON_SIZE
    indices, transparent = [], []
    for y in range(size):
        for x in range(size):
            # Take the colour covering most of the pixel rather than an
            # average: with 16 colours, crisp edges read better than blends.
            votes = {}
            for j in range(4):
                for i in range(4):
                    colour = icon_colour(x + (i + 0.5) / 4.0, y + (j + 0.5) / 4.0)
                    votes[colour] = votes.get(colour, 0) + 1
            winner = max(votes, key=lambda colour: (votes[colour], colour is None))
            if winner is None:
                indices.append(0)
                transparent.append(True)
            else:
                indices.append(nearest_index(ICON_PALETTE, winner))
                transparent.append(False)
    # A few stars, placed by hand: too few for any generator to pay off.
    for x, y in ((7, 9), (10, 5), (24, 8), (26, 14)):
        indices[y * size + x] = 10
    return ico_bytes(size, ICON_PALETTE, indices, transparent)


# --------------------------------------------------------------------------

def build_all():
    canvas = paint_splash()
    palette, indices = quantise(canvas, 256, spread=14.0)
    return {
        SPLASH_NAME: bmp_bytes(SPLASH_W, SPLASH_H, palette, indices),
        ICON_NAME: paint_icon(),
    }


def main(argv):
    check = "--check" in argv[1:]
    folders = [a for a in argv[1:] if a != "--check"]
    if len(folders) > 1 or any(f.startswith("-") for f in folders):
        print("usage: make_art.py [--check] [FOLDER]", file=sys.stderr)
        return 2
    folder = folders[0] if folders else os.path.normpath(RESOURCES)
    outputs = build_all()
    if check:
        stale = []
        for name, data in outputs.items():
            path = os.path.join(folder, name)
            try:
                with open(path, "rb") as f:
                    problem = None if f.read() == data else "differs from what make_art.py draws"
            except OSError:
                problem = "is missing"
            if problem:
                stale.append(name)
                print("%s %s" % (path, problem))
        return 1 if stale else 0
    for name, data in outputs.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (path, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
