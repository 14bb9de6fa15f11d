#!/bin/sh
# Rebuilds the JPEG test pictures in this directory. Needs ImageMagick, libjpeg-turbo-progs, python3.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 16x16: red, green / blue, white quadrants of 8x8.
convert -size 8x8 xc:'#ff0000' -size 8x8 xc:'#00ff00' +append \
  \( -size 8x8 xc:'#0000ff' -size 8x8 xc:'#ffffff' +append \) -append "$tmp/quad.ppm"

cjpeg -quality 95 -sample 1x1 -optimize "$tmp/quad.ppm" > colour.jpg
cjpeg -quality 95 -grayscale "$tmp/quad.ppm" > grey.jpg
cjpeg -quality 95 -progressive "$tmp/quad.ppm" > progressive.jpg
cjpeg -quality 95 -sample 1x1 -arithmetic "$tmp/quad.ppm" > arithmetic.jpg
cjpeg -quality 95 -sample 1x1 -restart 1B "$tmp/quad.ppm" > restart.jpg
convert "$tmp/quad.ppm" -quality 90 -colorspace CMYK -strip cmyk.jpg
printf 'not a picture\n' > not_jpeg.jpg
: > empty.jpg

python3 - "$tmp" <<'PY'
import subprocess, sys
tmp = sys.argv[1]
colour = open("colour.jpg", "rb").read()
entropy = colour.index(b"\xff\xda") + 14  # one-component-per-table SOS header of 3 components

open("truncated.jpg", "wb").write(colour[:entropy + 8])
corrupt = bytearray(colour)
corrupt[entropy + 4] ^= 0xFF  # libjpeg answers "bad Huffman code"
open("corrupt.jpg", "wb").write(corrupt)
# Junk after the last scan: only reading on to the end marker notices it.
open("trailing_bytes.jpg", "wb").write(colour[:-2] + bytes(16) + colour[-2:])

# Same data, a frame header claiming a larger picture.
sof = colour.index(b"\xff\xc0")
for name, width, height in (("side_65000.jpg", 65000, 65000), ("side_40000x16.jpg", 40000, 16),
                            ("pixels_9000x9000.jpg", 9000, 9000)):
  big = bytearray(colour)
  big[sof + 5:sof + 7] = height.to_bytes(2, "big")
  big[sof + 7:sof + 9] = width.to_bytes(2, "big")
  open(name, "wb").write(big)

# jpegtran writes at most 100 scans. Two lossless re-encodings of grey.jpg share their first 65
# scans (DC and every AC coefficient at Al=1); A refines coefficients 1..35, B refines 36..63.
# A plus B's first refinement is a valid 101-scan progression.
def transcode(refine, path):
  lines = ["0: 0 0 0 1;", "0: 0 0 1 0;"] + [f"0: {k} {k} 0 1;" for k in range(1, 64)]
  lines += [f"0: {k} {k} 1 0;" for k in refine]
  open(f"{tmp}/script.txt", "w").write("\n".join(lines) + "\n")
  subprocess.run(["jpegtran", "-scans", f"{tmp}/script.txt", "-outfile", path, "grey.jpg"],
                 check=True)
  return open(path, "rb").read()

def segments(data):
  # (marker, bytes) in file order; an SOS segment carries its entropy-coded data.
  out, i = [(0xD8, data[:2])], 2
  while i < len(data):
    marker = data[i + 1]
    if marker == 0xD9:
      out.append((marker, data[i:i + 2]))
      break
    end = i + 2 + (data[i + 2] << 8 | data[i + 3])
    if marker == 0xDA:
      while not (data[end] == 0xFF and data[end + 1] not in (0x00, *range(0xD0, 0xD8))):
        end += 1
    out.append((marker, data[i:end]))
    i = end
  return out

a = transcode(range(1, 36), "scans100.jpg")
b = segments(transcode(range(36, 64), f"{tmp}/b.jpg"))
sos = [n for n, (marker, _) in enumerate(b) if marker == 0xDA]
extra = b"".join(seg for _, seg in b[sos[64] + 1:sos[65] + 1])  # its tables and first refinement
open("scans101.jpg", "wb").write(a[:-2] + extra + a[-2:])
PY
