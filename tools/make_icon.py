#!/usr/bin/env python3
"""Turns the icon's pixel map in resources/ProgramIcon.cpp into a PNG.

Usage: python3 tools/make_icon.py resources/ProgramIcon.cpp resources/porumina.png [SCALE]

The C++ source is the only copy of the picture, so the desktop entry's PNG can
never drift from the icon the program shows. SCALE (default 1) enlarges each
pixel into a SCALE x SCALE block; transparent pixels stay transparent.
"""

import re
import struct
import sys
import zlib

SIZE = 32


def parse_icon(text):
    """Returns (rows, palette, transparent key) read from the C++ initialiser."""
    rows_block = re.search(r"\.Rows\s*=\s*\{(.*?)\}\s*,", text, re.S)
    palette_block = re.search(r"\.Palette\s*=\s*\{(.*)\}\s*,\s*\.TransparentKey", text, re.S)
    key = re.search(r"\.TransparentKey\s*=\s*'(.)'", text)
    if not (rows_block and palette_block and key):
        raise ValueError("cannot find .Rows, .Palette and .TransparentKey")
    rows = re.findall(r'"([^"]*)"', rows_block.group(1))
    palette = {
        c: (int(r), int(g), int(b))
        for c, r, g, b in re.findall(
            r"\{'(.)',\s*RGBColor\((\d+),\s*(\d+),\s*(\d+)\)\}", palette_block.group(1))
    }
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        raise ValueError(f"the icon must be {SIZE} rows of {SIZE} characters")
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c != key.group(1) and c not in palette:
                raise ValueError(f"pixel ({x}, {y}) uses '{c}', which is not in the palette")
    return rows, palette, key.group(1)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, rows, palette, key, scale):
    width = height = SIZE * scale
    raw = bytearray()
    for row in rows:
        line = bytearray([0])  # filter type: none
        for c in row:
            rgba = (0, 0, 0, 0) if c == key else palette[c] + (255,)
            line += bytes(rgba) * scale
        raw += bytes(line) * scale
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", ihdr))
        f.write(png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(png_chunk(b"IEND", b""))


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: make_icon.py ProgramIcon.cpp OUTPUT.png [SCALE]")
    scale = int(sys.argv[3]) if len(sys.argv) == 4 else 1
    if scale < 1:
        sys.exit("SCALE must be at least 1")
    with open(sys.argv[1], encoding="utf-8") as f:
        try:
            rows, palette, key = parse_icon(f.read())
        except ValueError as error:
            sys.exit(f"{sys.argv[1]}: {error}")
    write_png(sys.argv[2], rows, palette, key, scale)
    print(f"{sys.argv[2]}: {SIZE * scale}x{SIZE * scale}, {len(palette)} colours")


if __name__ == "__main__":
    main()
