#!/usr/bin/env python3
"""Draws the language picker's flags as 24-bit uncompressed BMP files.

The picker pairs the k-th language file with the k-th flag in file-name order, so every
flag is named after its language file ("German.ini" -> "German.bmp").

Usage: tools/make-flags.py [output folder]   (default: data/Lang beside this script)
"""

import math
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 24, 16
SAMPLES = 4  # per axis; edges of diagonals and bands are averaged over SAMPLES^2 points

WHITE = (255, 255, 255)


def horizontal_bands(*bands):
    """Bands from top to bottom, each (colour, share of the height)."""
    total = sum(share for _, share in bands)

    def colour(x, y):
        edge = 0.0
        for c, share in bands:
            edge += share / total * HEIGHT
            if y < edge:
                return c
        return bands[-1][0]

    return colour


def vertical_bands(*colours):
    def colour(x, y):
        return colours[min(int(x * len(colours) / WIDTH), len(colours) - 1)]

    return colour


def union_cross(x, y):
    # A blue field with a white-edged red cross over a white-edged red saltire.
    blue, red = (1, 33, 105), (200, 16, 46)
    cx, cy = WIDTH / 2, HEIGHT / 2
    diag = math.hypot(WIDTH, HEIGHT)
    # Distances to the two diagonals of the field.
    d1 = abs(HEIGHT * x - WIDTH * y) / diag
    d2 = abs(HEIGHT * x + WIDTH * y - WIDTH * HEIGHT) / diag
    # Whole pixels for the upright cross so it stays sharp: red 4 px, white edges 1 px.
    if abs(x - cx) < 2 or abs(y - cy) < 2:
        return red
    if abs(x - cx) < 3 or abs(y - cy) < 3:
        return WHITE
    if min(d1, d2) < HEIGHT / 30:
        return red
    if min(d1, d2) < HEIGHT / 10:
        return WHITE
    return blue


# Language file base name -> colour of a point (x, y) in pixels, origin top left.
FLAGS = {
    # The Arabic language rather than one country: green with a white band.
    "Arabic": horizontal_bands(((0, 122, 61), 3), (WHITE, 2), ((0, 122, 61), 3)),
    "English": union_cross,
    "French": vertical_bands((0, 35, 149), WHITE, (237, 41, 57)),
    # 16 rows do not split in three: 5, 6 and 5 rows keep the edges sharp.
    "German": horizontal_bands(((0, 0, 0), 5), ((221, 0, 0), 6), ((255, 206, 0), 5)),
    "Italian": vertical_bands((0, 146, 70), WHITE, (206, 43, 55)),
    "Spanish": horizontal_bands(((170, 21, 27), 1), ((241, 191, 0), 2), ((170, 21, 27), 1)),
}


def render(colour):
    """Rows of (r, g, b), top row first, each pixel the mean of SAMPLES^2 points."""
    rows = []
    for py in range(HEIGHT):
        row = []
        for px in range(WIDTH):
            acc = [0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for i in range(3):
                        acc[i] += c[i]
            row.append(tuple(round(a / SAMPLES**2) for a in acc))
        rows.append(row)
    return rows


def bmp_bytes(rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # BMP stores the bottom row first
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        pixels += line
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    # BITMAPINFOHEADER: 24 bits per pixel, no compression, 2835 px/m (72 dpi).
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                              2835, 2835, 0, 0)
    return file_header + info_header + bytes(pixels)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "data" / "Lang"
    out.mkdir(parents=True, exist_ok=True)
    for name, colour in FLAGS.items():
        (out / f"{name}.bmp").write_bytes(bmp_bytes(render(colour)))
    missing = sorted(p.stem for p in out.glob("*.ini") if p.stem not in FLAGS)
    if missing:
        print("no flag drawn for: " + ", ".join(missing), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
