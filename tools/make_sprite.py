#!/usr/bin/env python3
"""Draws the character sprite and writes it as a 24-bit bottom-up BMP.

Usage: python3 tools/make_sprite.py dat/fiwa.bmp

Only the hair is pure red (255, 0, 0): the program grows its tendrils from
exactly those pixels, so every other red in the picture is kept off that value.
The top-left pixel carries the key colour, which the program treats as
see-through.

The figure is painted back to front as layered "stickers": each part is first
stamped one pixel larger in the outline colour, then filled, so parts laid on
top of others get a dark edge for free. Small details (eyes, mouth, buttons)
are drawn from little character maps so they stay easy to edit by hand.
"""

import math
import struct
import sys

WIDTH, HEIGHT = 100, 200

# Palette: one character per colour. '.' is the key colour (see-through).
PALETTE = {
    ".": (255, 0, 255),  # key colour, used nowhere in the figure
    "k": (0, 0, 0),  # eyes, darkest lines
    "o": (40, 22, 34),  # outline
    "R": (255, 0, 0),  # hair: the only pure red
    "r": (150, 10, 30),  # hair shade between strands
    "h": (255, 150, 140),  # hair shine
    "s": (252, 222, 200),  # skin
    "S": (232, 182, 160),  # skin shadow
    "p": (240, 150, 150),  # cheek blush
    "w": (255, 255, 255),  # white: collar, apron, sock, eye shine
    "W": (214, 214, 228),  # white in shadow
    "d": (58, 72, 150),  # dress
    "D": (38, 46, 104),  # dress shadow
    "l": (96, 118, 200),  # dress light
    "b": (200, 30, 40),  # ribbon red (not pure red)
    "B": (140, 20, 34),  # ribbon shadow
    "e": (70, 130, 200),  # iris
    "E": (36, 70, 130),  # iris dark
    "m": (170, 70, 80),  # mouth
    "n": (110, 62, 48),  # shoes
    "N": (70, 38, 30),  # shoe shadow
}

KEY = "."
HAIR = "R"
OUTLINE = "o"

grid = [[KEY] * WIDTH for _ in range(HEIGHT)]


def inside(x, y):
    return 0 <= x < WIDTH and 0 <= y < HEIGHT


def put(x, y, c):
    if inside(x, y):
        grid[y][x] = c


def paint(mask, fill, outline=OUTLINE):
    """Stamps a set of pixels as a sticker: dark rim one pixel out, then fill."""
    if outline:
        for x, y in mask:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if (x + dx, y + dy) not in mask:
                    put(x + dx, y + dy, outline)
    for x, y in mask:
        put(x, y, fill(x, y) if callable(fill) else fill)


def ellipse(cx, cy, rx, ry):
    return {
        (x, y)
        for y in range(HEIGHT)
        for x in range(WIDTH)
        if ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2 <= 1.0
    }


def polygon(points):
    """Even-odd fill of a polygon, sampled at pixel centres."""
    mask = set()
    n = len(points)
    for y in range(HEIGHT):
        py = y + 0.5
        xs = []
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 <= py < y1) or (y1 <= py < y0):
                xs.append(x0 + (py - y0) * (x1 - x0) / (y1 - y0))
        xs.sort()
        for a, b in zip(xs[0::2], xs[1::2]):
            for x in range(WIDTH):
                if a <= x + 0.5 < b:
                    mask.add((x, y))
    return mask


def bezier(p0, p1, p2, p3, t):
    u = 1 - t
    return (
        u**3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t**3 * p3[0],
        u**3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t**3 * p3[1],
    )


def stroke(p0, p1, p2, p3, r0, r1):
    """A tapering brush stroke along a cubic curve, radius r0 at the start, r1 at the end."""
    mask = set()
    steps = 200
    for i in range(steps + 1):
        t = i / steps
        cx, cy = bezier(p0, p1, p2, p3, t)
        r = r0 + (r1 - r0) * t
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    mask.add((x, y))
    return mask


def stamp(x0, y0, rows):
    """Copies a small character map onto the picture; spaces leave pixels alone."""
    for dy, row in enumerate(rows):
        for dx, c in enumerate(row):
            if c != " ":
                put(x0 + dx, y0 + dy, c)


# --- the figure -------------------------------------------------------------
# She stands a little turned to the left: face and eyes sit left of centre,
# and the long hair falls down her back on the right.

HEAD_CX, HEAD_CY = 48.0, 38.0

# Long hair behind the body: a dark mass down past the waist with bright
# strands running through it, ending in loose tips.
back_mass = polygon([
    (56, 24), (70, 30), (76, 48), (76, 70), (80, 96), (84, 116), (86, 128),
    (82, 122), (80, 132), (76, 124), (72, 134), (70, 122), (64, 110), (62, 60),
])
back_mass |= polygon([(36, 30), (30, 50), (27, 76), (22, 104), (26, 98), (28, 106),
                      (32, 90), (34, 60), (40, 40)])
paint(back_mass, "r")
BACK_STRANDS = [
    ((62, 30), (74, 56), (66, 96), (79, 130), 1.4, 0.7),
    ((60, 30), (70, 60), (64, 96), (72, 130), 1.3, 0.6),
    ((66, 32), (80, 60), (74, 100), (84, 124), 1.3, 0.6),
    ((64, 40), (74, 70), (72, 96), (77, 120), 1.1, 0.6),
    ((68, 44), (78, 76), (80, 100), (86, 122), 1.0, 0.6),
    ((34, 34), (28, 60), (30, 86), (24, 102), 1.2, 0.6),
]
for s in BACK_STRANDS:
    paint(stroke(*s), HAIR, outline=None)

# Legs and shoes.
for lx in (41, 52):
    paint(polygon([(lx, 150), (lx + 7, 150), (lx + 6.5, 186), (lx + 0.5, 186)]),
          lambda x, y: "w" if y >= 174 else ("S" if x == lx + 5 else "s"))
for lx in (39, 51):
    paint(ellipse(lx + 5, 189, 6.5, 4), lambda x, y: "N" if y >= 190 else "n")

# Arms behind the dress edge (the far arm, on her left, is mostly hidden).
paint(stroke((64, 68), (70, 84), (71, 96), (70, 108), 3.5, 3.0),
      lambda x, y: "D" if y < 88 else "S")
paint(ellipse(70, 110, 3.8, 4.2), "S")

# Skirt and bodice.
skirt = polygon([(36, 96), (62, 96), (74, 156), (66, 160), (50, 162), (34, 160), (24, 156)])


def skirt_colour(x, y):
    # Pleats: a darker fold every nine pixels, fanning out with the skirt.
    fan = (x - 49) * 60.0 / (y - 40)
    if y >= 152:
        return "W"
    if y >= 148:
        return "w"
    if abs((fan + 200) % 9 - 4.5) < 0.9:
        return "D"
    if x < 40 - (y - 96) * 0.35 + 4:
        return "l"
    return "d"


paint(skirt, skirt_colour)
bodice = polygon([(38, 62), (60, 62), (62, 70), (60, 98), (38, 98), (36, 70)])
paint(bodice, lambda x, y: "l" if x < 41 else ("D" if x > 57 else "d"))
# Waist ribbon.
paint(polygon([(37, 94), (61, 94), (61, 99), (37, 99)]), lambda x, y: "B" if y == 98 else "b")

# The near arm in front, hand resting at her side.
paint(stroke((36, 68), (30, 84), (29, 96), (30, 108), 3.6, 3.0),
      lambda x, y: "l" if y < 80 else ("d" if y < 88 else "s"))
paint(ellipse(30, 110, 3.8, 4.2), lambda x, y: "S" if x >= 31 else "s")
paint(polygon([(26, 84), (34, 84), (34, 88), (26, 88)]), "w")  # sleeve cuff

# Neck and collar.
paint(polygon([(44, 52), (54, 52), (54, 64), (44, 64)]), lambda x, y: "S" if y < 57 else "s")
paint(polygon([(38, 61), (49, 61), (49, 67), (44, 70), (38, 66)]), "w")
paint(polygon([(49, 61), (60, 61), (60, 66), (54, 70), (49, 67)]), "W")
stamp(46, 64, [
    " oo oo ",
    "obbobbo",
    "obBBBbo",
    " ooBoo ",
    "  obo  ",
    "  obo  ",
])

# Head.
face = ellipse(HEAD_CX, HEAD_CY, 17, 18)
paint(face, lambda x, y: "S" if x > 58 else "s")

# Hair over the head: a dark mass with bright strands combed over it.
# The window cut out of the hair for the face; its zigzag top is the fringe.
cap = ellipse(HEAD_CX + 3, HEAD_CY - 5, 20, 17) - polygon([
    (26, 60), (28, 40), (31, 31), (34, 36), (37, 30), (41, 36), (44, 29), (48, 36),
    (51, 30), (54, 37), (57, 32), (59, 42), (60, 60),
])
paint(cap, "r")
CAP_STRANDS = [
    ((55, 22), (44, 17), (33, 22), (30, 36), 1.6, 1.0),
    ((55, 22), (46, 22), (37, 28), (34, 37), 1.5, 0.8),
    ((55, 22), (50, 26), (43, 30), (41, 37), 1.5, 0.8),
    ((55, 22), (52, 28), (49, 32), (48, 37), 1.4, 0.8),
    ((55, 22), (57, 28), (55, 33), (54, 38), 1.4, 0.8),
    ((55, 22), (64, 22), (68, 30), (68, 44), 1.6, 1.0),
    ((55, 22), (62, 28), (62, 38), (61, 50), 1.4, 0.9),
    ((55, 22), (50, 19), (42, 19), (37, 25), 1.2, 0.9),
]
for s in CAP_STRANDS:
    paint(stroke(*s) & cap, HAIR, outline=None)
# Side lock framing the face, falling over the shoulder.
side = stroke((31, 34), (27, 46), (32, 54), (30, 66), 2.0, 1.0)
paint(side, "r")
paint(stroke((31, 34), (27, 46), (32, 54), (30, 66), 1.2, 0.6), HAIR, outline=None)
# Shine on the crown.
stamp(46, 19, ["hh", " hh"])

# Face: eyes look left, a small smile, blush.
stamp(34, 37, [
    " kkkk",
    "kEEEk",
    "kEwEk",
    "kEeek",
    "keeek",
    " kkk ",
])
stamp(45, 37, [
    " kkkk ",
    "kEEEEk",
    "kEwEEk",
    "kEeeEk",
    "keeeek",
    " kkkk ",
])
stamp(33, 44, ["pp"])
stamp(47, 44, ["ppp"])
stamp(39, 47, ["mm"])

# --- output -----------------------------------------------------------------


def write_bmp(path):
    row_size = (WIDTH * 3 + 3) // 4 * 4
    image_size = row_size * HEIGHT
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + image_size, 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):
        row = bytearray()
        for c in grid[y]:
            r, g, b = PALETTE[c]
            row += bytes((b, g, r))
        row += bytes(row_size - len(row))
        pixels += row
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_sprite.py OUTPUT.bmp")
    if grid[0][0] != KEY:
        sys.exit("the top-left pixel must hold the key colour")
    for c, rgb in PALETTE.items():
        if c not in (KEY, HAIR) and rgb in (PALETTE[KEY], PALETTE[HAIR]):
            sys.exit(f"palette entry '{c}' repeats the key or the hair colour")
    roots = sum(row.count(HAIR) for row in grid)
    write_bmp(sys.argv[1])
    print(f"{sys.argv[1]}: {WIDTH}x{HEIGHT}, key colour {PALETTE[KEY]}, "
          f"{roots} pure-red hair pixels")


if __name__ == "__main__":
    main()
