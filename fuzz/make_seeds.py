#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: small BMP files of every header generation and encoding the
reader accepts, and small JPEG files made with cjpeg. Deterministic; run from anywhere."""
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
BMP_DIR = os.path.join(HERE, "corpus", "bmp")
JPEG_DIR = os.path.join(HERE, "corpus", "jpeg")

GREEN, RED, WHITE, BLACK, SKIN = (0, 255, 0), (255, 0, 0), (255, 255, 255), (0, 0, 0), (240, 200, 170)


def sprite_pixel(x, y, width, height):
    """A green ground, a skin-coloured block and a few pure-red root pixels (RGB)."""
    if (x, y) in ((10, 20), (11, 20), (50, 100), (99, 199)) and x < width and y < height:
        return RED
    if width // 4 <= x < width // 2 and height // 4 <= y < height // 2:
        return SKIN
    return GREEN


def file_header(total, offset):
    return b"BM" + struct.pack("<IHHI", total, 0, 0, offset)


def info_header(size, width, height, bits, compression=0, image_size=0, colors=0, masks=None):
    head = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, image_size,
                       2835, 2835, colors, 0)
    extra = b""
    if size > 40:
        m = list(masks or (0, 0, 0, 0)) + [0] * 4
        extra = struct.pack("<IIII", *m[:4])
        extra += b"\0" * (size - 40 - len(extra))
    return (head + extra)[:size]


def palette_bytes(colours, entry=4):
    out = b""
    for r, g, b in colours:
        out += bytes((b, g, r)) + (b"\0" if entry == 4 else b"")
    return out


def rows_indexed(width, height, bits, index_of, top_down=False):
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(height):
        bitbuf = 0
        nbits = 0
        row = bytearray()
        for x in range(width):
            bitbuf = (bitbuf << bits) | index_of(x, y)
            nbits += bits
            while nbits >= 8:
                nbits -= 8
                row.append((bitbuf >> nbits) & 0xFF)
        if nbits:
            row.append((bitbuf << (8 - nbits)) & 0xFF)
        rows.append(bytes(row) + b"\0" * (stride - len(row)))
    if not top_down:
        rows.reverse()
    return b"".join(rows)


def rows_direct(width, height, bits, encode, top_down=False):
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(height):
        row = b"".join(encode(sprite_pixel(x, y, width, height)) for x in range(width))
        rows.append(row + b"\0" * (stride - len(row)))
    if not top_down:
        rows.reverse()
    return b"".join(rows)


def bmp(name, header, palette, pixels):
    offset = 14 + len(header) + len(palette)
    data = file_header(offset + len(pixels), offset) + header + palette + pixels
    with open(os.path.join(BMP_DIR, name), "wb") as f:
        f.write(data)


def bgr24(c):
    return bytes((c[2], c[1], c[0]))


def rle8_sprite(width, height):
    """Runs per row, a literal group, a delta and the end marks, bottom row first."""
    palette = [GREEN, RED, SKIN]
    index = {GREEN: 0, RED: 1, SKIN: 2}
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = [index[sprite_pixel(x, y, width, height)] for x in range(width)]
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 255 and row[x + run] == row[x]:
                run += 1
            out += bytes((run, row[x]))
            x += run
        out += b"\0\0"
    out[-2:] = b"\0\1"
    return palette, bytes(out)


def write_bmps():
    w, h = 100, 200
    # Uncompressed, every bit depth.
    bmp("info40-24bit-bottomup.bmp", info_header(40, 8, 4, 24), b"",
        rows_direct(8, 4, 24, bgr24))
    bmp("info40-24bit-topdown-oddwidth.bmp", info_header(40, 5, -3, 24), b"",
        rows_direct(5, 3, 24, bgr24, top_down=True))
    bmp("info40-32bit.bmp", info_header(40, 3, 3, 32), b"",
        rows_direct(3, 3, 32, lambda c: bgr24(c) + b"\0"))
    bmp("info40-16bit-555.bmp", info_header(40, 4, 4, 16), b"",
        rows_direct(4, 4, 16, lambda c: struct.pack("<H", (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3)))
    bmp("info40-16bit-bitfields-565.bmp", info_header(40, 4, 4, 16, compression=3),
        struct.pack("<III", 0xF800, 0x07E0, 0x001F),
        rows_direct(4, 4, 16, lambda c: struct.pack("<H", (c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3)))
    bmp("info40-32bit-alphabitfields.bmp", info_header(40, 3, 2, 32, compression=6),
        struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000),
        rows_direct(3, 2, 32, lambda c: bgr24(c) + b"\xff"))
    bmp("info40-1bit-sprite.bmp", info_header(40, w, h, 1), palette_bytes([GREEN, RED]),
        rows_indexed(w, h, 1, lambda x, y: 1 if sprite_pixel(x, y, w, h) == RED else 0))
    bmp("info40-2bit.bmp", info_header(40, 5, 3, 2), palette_bytes([GREEN, RED, SKIN, WHITE]),
        rows_indexed(5, 3, 2, lambda x, y: (x + y) % 4))
    bmp("info40-4bit-short-palette.bmp", info_header(40, 7, 3, 4, colors=3),
        palette_bytes([GREEN, RED, SKIN]), rows_indexed(7, 3, 4, lambda x, y: (x * y) % 5))
    bmp("info40-8bit.bmp", info_header(40, 6, 2, 8, colors=4),
        palette_bytes([GREEN, RED, SKIN, BLACK]), rows_indexed(6, 2, 8, lambda x, y: x % 4))
    # Other header generations.
    bmp("core12-8bit.bmp", struct.pack("<IHHHH", 12, 4, 4, 1, 8),
        palette_bytes([GREEN, RED, SKIN], entry=3), rows_indexed(4, 4, 8, lambda x, y: (x + y) % 3))
    bmp("core12-24bit.bmp", struct.pack("<IHHHH", 12, 3, 2, 1, 24), b"",
        rows_direct(3, 2, 24, bgr24))
    bmp("os2-16-24bit.bmp", struct.pack("<IIIHH", 16, 2, 2, 1, 24), b"",
        rows_direct(2, 2, 24, bgr24))
    bmp("os2-64-4bit.bmp", info_header(64, 3, 3, 4), palette_bytes([GREEN, RED]),
        rows_indexed(3, 3, 4, lambda x, y: (x + y) % 2))
    bmp("info52-16bit-bitfields.bmp", info_header(52, 3, 3, 16, compression=3, masks=(0x7C00, 0x03E0, 0x001F)),
        b"", rows_direct(3, 3, 16, lambda c: struct.pack("<H", (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3)))
    bmp("info56-32bit-alphabitfields.bmp",
        info_header(56, 2, 2, 32, compression=6, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)), b"",
        rows_direct(2, 2, 32, lambda c: bgr24(c) + b"\xff"))
    bmp("v4-108-32bit-bitfields.bmp",
        info_header(108, 2, -2, 32, compression=3, masks=(0xFF0000, 0xFF00, 0xFF, 0)), b"",
        rows_direct(2, 2, 32, lambda c: bgr24(c) + b"\0", top_down=True))
    bmp("v5-124-24bit.bmp", info_header(124, 3, 2, 24), b"", rows_direct(3, 2, 24, bgr24))
    # Run-length encodings.
    palette, stream = rle8_sprite(w, h)
    bmp("info40-rle8-sprite.bmp", info_header(40, w, h, 8, compression=1, image_size=len(stream),
                                               colors=len(palette)),
        palette_bytes(palette), stream)
    # RLE8 with a literal group of odd length (padded), a delta, end of line and end of bitmap.
    stream = bytes((3, 1, 0, 3, 2, 0, 1, 0, 0, 2, 1, 1, 2, 2, 0, 0, 0, 4, 1, 2, 1, 2, 0, 1))
    bmp("info40-rle8-literal-delta.bmp", info_header(40, 8, 4, 8, compression=1, colors=3),
        palette_bytes([GREEN, RED, SKIN]), stream)
    # RLE4: a run of alternating indices, an odd literal group, end of line, end of bitmap.
    stream = bytes((5, 0x12, 0, 3, 0x21, 0x20, 0, 0, 6, 0x01, 0, 1))
    bmp("info40-rle4.bmp", info_header(40, 6, 2, 4, compression=2, colors=3),
        palette_bytes([GREEN, RED, SKIN]), stream)


def write_jpegs():
    with tempfile.TemporaryDirectory() as tmp:
        def ppm(name, width, height, grey=False):
            path = os.path.join(tmp, name)
            with open(path, "wb") as f:
                f.write(b"%s\n%d %d\n255\n" % (b"P5" if grey else b"P6", width, height))
                for y in range(height):
                    for x in range(width):
                        c = sprite_pixel(x, y, width, height)
                        f.write(bytes((c[1],)) if grey else bytes(c))
            return path

        small = ppm("small.ppm", 16, 16)
        sprite = ppm("sprite.ppm", 100, 200)
        grey = ppm("grey.pgm", 8, 8, grey=True)

        def cjpeg(name, source, *options):
            subprocess.run(["cjpeg", *options, "-outfile", os.path.join(JPEG_DIR, name), source],
                           check=True)

        cjpeg("baseline-420-16x16.jpg", small, "-quality", "50")
        cjpeg("baseline-444-16x16.jpg", small, "-quality", "50", "-sample", "1x1")
        cjpeg("grey-8x8.jpg", grey, "-quality", "50")
        cjpeg("progressive-16x16.jpg", small, "-quality", "50", "-progressive")
        cjpeg("restart-16x16.jpg", small, "-quality", "50", "-restart", "1B")
        cjpeg("arithmetic-16x16.jpg", small, "-quality", "50", "-arithmetic")
        cjpeg("optimised-422-16x16.jpg", small, "-quality", "50", "-optimize", "-sample", "2x1")
        cjpeg("sprite-100x200.jpg", sprite, "-quality", "10")
        cjpeg("sprite-progressive-100x200.jpg", sprite, "-quality", "10", "-progressive")
        # CMYK is refused by our reader; keep one so that branch is reached.
        subprocess.run(["convert", small, "-colorspace", "CMYK", "-quality", "50",
                        os.path.join(JPEG_DIR, "cmyk-16x16.jpg")], check=True)


if __name__ == "__main__":
    os.makedirs(BMP_DIR, exist_ok=True)
    os.makedirs(JPEG_DIR, exist_ok=True)
    write_bmps()
    write_jpegs()
