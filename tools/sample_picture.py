#!/usr/bin/env python3
"""Draws a picture to try `kelvo-gen-assets --texture` with: a sunset over
hills, 400x300 (wider than high, so the face shows its centred square).

usage: tools/sample_picture.py OUT.png
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 400, 300


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def colour(x, y):
    # Sky: deep blue at the top to orange at the horizon.
    horizon = 190
    t = min(1.0, y / horizon)
    c = mix((30, 40, 120), (250, 150, 60), t * t)
    # Sun with a soft rim.
    d = math.hypot(x - 200, y - 150)
    if d < 56:
        c = mix((255, 235, 120), c, max(0.0, (d - 48) / 8))
    # Sun rays: stripes in the sky.
    if d >= 56 and y < horizon:
        angle = math.atan2(y - 150, x - 200)
        if math.sin(angle * 12) > 0.6:
            c = mix(c, (255, 210, 120), 0.35)
    # Two rows of hills.
    far = 180 + 14 * math.sin(x / 37.0) + 8 * math.sin(x / 13.0 + 1)
    near = 225 + 20 * math.sin(x / 55.0 + 2) + 6 * math.sin(x / 9.0)
    if y > far:
        c = (60, 120, 70)
    if y > near:
        stripe = int((x + 2 * y) / 18) % 2
        c = (40, 150, 50) if stripe else (30, 110, 40)
    return tuple(max(0, min(255, int(round(v)))) for v in c)


def write_png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    rows = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            row.extend(colour(x, y))
        rows.append(row)
    write_png(sys.argv[1], WIDTH, HEIGHT, rows)


if __name__ == "__main__":
    main()
