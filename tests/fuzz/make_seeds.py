#!/usr/bin/env python3
"""Writes the fuzz targets' seeds into tests/fuzz/seeds/<target>/: small
inputs of every kind each reader takes, and a few it refuses, from which the
fuzzer starts. The data files' seeds come from the build's generated data.

Usage: make_seeds.py DATA_DIR   (e.g. build/ci/data)
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- Data files: a selector byte (the file, mod 9; 0x80 missing), then the
# file's content.
FILES = ["CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT"] + ["T%d.BMP" % n for n in range(1, 7)]


def data_files(data_dir):
    files = [open(os.path.join(data_dir, name), "rb").read() for name in FILES]
    texture = files[3]

    def header(width, height, bits, compression=0, info=40, offset=1078):
        return (b"BM" + struct.pack("<IHHI", len(texture), 0, 0, offset) +
                struct.pack("<IiiHHI", info, width, height, 1, bits, compression))

    write("data-files", "palette", bytes([0]) + files[0])
    write("data-files", "palette-short", bytes([0]) + files[0][:100])
    write("data-files", "shade-table-short", bytes([1]) + files[1][:4096])
    write("data-files", "blend-table-empty", bytes([2]))
    write("data-files", "texture", bytes([3]) + texture)
    write("data-files", "texture-cut-in-header", bytes([4]) + files[4][:500])
    write("data-files", "texture-cut-in-pixels", bytes([5]) + files[5][:3000])
    write("data-files", "texture-24-bit",
          bytes([6]) + header(256, 256, 24) + texture[30:])
    write("data-files", "texture-top-down", bytes([7]) + header(128, -128, 8) + texture[30:])
    write("data-files", "texture-rle8", bytes([8]) + header(128, 128, 8, 1) + texture[30:])
    write("data-files", "texture-os2",
          bytes([3]) + b"BM" + struct.pack("<IHHI", len(texture), 0, 0, 1078) +
          struct.pack("<IHHHH", 12, 128, 128, 1, 8) + texture[26:])
    write("data-files", "texture-png", bytes([4]) + b"\x89PNG\r\n\x1a\n" + bytes(100))
    write("data-files", "palette-missing", bytes([0x80]))
    write("data-files", "texture-missing", bytes([0x80 | 7]))


# ---- Pictures: PNG of every colour type and depth, BMP of every depth.
def chunk(kind, payload):
    return (struct.pack(">I", len(payload)) + kind + payload +
            struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))


def png(width, height, bits, colour, rows, extra=b"", interlace=0):
    ihdr = struct.pack(">IIBBBBB", width, height, bits, colour, 0, 0, interlace)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def packed_rows(width, height, bits, value):
    """Rows of `bits`-bit samples (one per pixel) from value(x, y)."""
    rows = []
    for y in range(height):
        acc, n, row = 0, 0, bytearray()
        for x in range(width):
            acc = (acc << bits) | value(x, y)
            n += bits
            while n >= 8:
                n -= 8
                row.append((acc >> n) & 0xFF)
        if n:
            row.append((acc << (8 - n)) & 0xFF)
        rows.append(bytes(row))
    return rows


def pictures():
    w, h = 5, 3
    for bits in (1, 2, 4, 8):
        rows = packed_rows(w, h, bits, lambda x, y: (x + y) % (1 << bits))
        write("picture", "png-grey-%d" % bits, png(w, h, bits, 0, rows))
        palette = chunk(b"PLTE", bytes(i * 7 % 256 for i in range(3 * (1 << bits))))
        trns = chunk(b"tRNS", bytes([0, 128]))
        write("picture", "png-palette-%d" % bits, png(w, h, bits, 3, rows, palette + trns))
    grey16 = [b"".join(struct.pack(">H", (x * 9000 + y) & 0xFFFF) for x in range(w))
              for y in range(h)]
    write("picture", "png-grey-16", png(w, h, 16, 0, grey16))
    rgb = [b"".join(bytes((x * 50, y * 80, 200)) for x in range(w)) for y in range(h)]
    write("picture", "png-rgb-8", png(w, h, 8, 2, rgb))
    write("picture", "png-rgb-8-interlaced", png(w, h, 8, 2,
                                                  adam7(w, h, 3, lambda x, y: bytes(
                                                      (x * 50, y * 80, 200))),
                                                  interlace=1))
    rgb16 = [b"".join(struct.pack(">HHH", x * 9000, y * 20000, 65535) for x in range(w))
             for y in range(h)]
    write("picture", "png-rgb-16", png(w, h, 16, 2, rgb16))
    ga = [b"".join(bytes((x * 60, y * 100)) for x in range(w)) for y in range(h)]
    write("picture", "png-grey-alpha-8", png(w, h, 8, 4, ga))
    rgba = [b"".join(bytes((x * 50, y * 80, 200, x * 60)) for x in range(w)) for y in range(h)]
    write("picture", "png-rgba-8", png(w, h, 8, 6, rgba))
    rgba16 = [b"".join(struct.pack(">HHHH", x * 9000, y * 20000, 4000, x * 16000)
                       for x in range(w)) for y in range(h)]
    write("picture", "png-rgba-16", png(w, h, 16, 6, rgba16))
    write("picture", "png-cut", png(w, h, 8, 2, rgb)[:40])

    for bits in (1, 4, 8):
        write("picture", "bmp-%d" % bits, bmp(w, h, bits, palette=1 << bits))
    write("picture", "bmp-16", bmp(w, h, 16))
    write("picture", "bmp-16-565", bmp(w, h, 16, masks=(0xF800, 0x07E0, 0x001F)))
    write("picture", "bmp-24", bmp(w, h, 24))
    write("picture", "bmp-24-top-down", bmp(w, -h, 24))
    write("picture", "bmp-32", bmp(w, h, 32))
    write("picture", "bmp-32-alpha-v5",
          bmp(w, h, 32, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000), info=124))
    write("picture", "bmp-os2-24", bmp(w, h, 24, info=12))
    write("picture", "bmp-8-few-colours", bmp(w, h, 8, palette=3))
    write("picture", "bmp-cut", bmp(w, h, 24)[:60])


def adam7(width, height, channels, pixel):
    """The rows of an interlaced 8-bit picture, pass after pass."""
    rows = []
    for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4),
                           (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)):
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            rows.append(b"".join(pixel(x, y) for x in xs))
    return rows


def bmp(width, height, bits, palette=0, masks=None, info=40):
    rows = abs(height)
    stride = (width * bits + 31) // 32 * 4
    pixels = bytearray()
    for y in range(rows):
        if bits <= 8:
            row = packed_rows(width, 1, bits, lambda x, _: (x + y) % max(palette, 1))[0]
        elif bits == 16:
            row = b"".join(struct.pack("<H", (x * 3000 + y * 77) & 0xFFFF) for x in range(width))
        else:
            row = b"".join(bytes((x * 40, y * 90, 120) + ((x * 50,) if bits == 32 else ()))
                           for x in range(width))
        pixels += row.ljust(stride, b"\0")
    if info == 12:
        head = struct.pack("<IHHHH", 12, width, rows, 1, bits)
        table = bytes(3 * palette)
    else:
        compression = 0 if masks is None else 3
        head = struct.pack("<IiiHHIIiiII", info, width, height, 1, bits, compression,
                           len(pixels), 2835, 2835, palette if bits <= 8 else 0, 0)
        if masks is not None and info > 40:
            head += struct.pack("<4I", *(list(masks) + [0] * (4 - len(masks))))
        head = head.ljust(info, b"\0")
        if masks is not None and info == 40:
            head += struct.pack("<%dI" % len(masks), *masks)
        table = b"".join(bytes((i * 40 % 256, i * 90 % 256, i * 7 % 256, 0))
                         for i in range(palette))
    offset = 14 + len(head) + len(table)
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + head + table +
            bytes(pixels))


# ---- Icons: .ico files of each depth the reader takes.
def ico(width, height, bits, colours=0):
    xor_stride = (width * bits + 31) // 32 * 4
    and_stride = (width + 31) // 32 * 4
    head = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0, 0, 0, 0, colours, 0)
    table = b"".join(bytes((i * 16 % 256, 255 - i, i * 3 % 256, 0))
                     for i in range(colours or ((1 << bits) if bits <= 8 else 0)))
    used = colours or (1 << bits)
    if bits <= 8:
        xor = b"".join(packed_rows(width, 1, bits, lambda x, _: (x + y) % used)[0].ljust(
            xor_stride, b"\0") for y in range(height))
    else:
        xor = b"".join(bytes((x * 8, y * 8, 100, 255 if x > 2 else 0))
                       for y in range(height) for x in range(width))
    mask = b"".join(bytes([0x0F]).ljust(and_stride, b"\0") for _ in range(height))
    image = head + table + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(image), 22)
    return directory + image


def icons(data_dir):
    write("icon", "app-icon", open(os.path.join(data_dir, "AppIcon.ico"), "rb").read())
    write("icon", "icon-1", ico(8, 8, 1))
    write("icon", "icon-8-few-colours", ico(6, 4, 8, colours=5))
    write("icon", "icon-32", ico(5, 3, 32))
    write("icon", "icon-cut", ico(16, 16, 4)[:100])


# ---- Command lines: arguments separated by NUL bytes.
def command_lines():
    lines = {
        "render-out-dir": ["--mode", "640x480x8,320x240x16", "--shading", "0,3", "--frame",
                           "0,40", "--frames", "2", "--out-dir", "out", "--format", "raw"],
        "render-png": ["--png", "a.png", "--no-text", "--threads", "2", "--assets", "data"],
        "render-sheet": ["--sheet", "s.png", "--mode", "320x240x32", "--frame", "20"],
        "render-bad": ["--frames", "3", "--raw", "x", "--mode", "0x0x7"],
        "bench": ["--sizes", "640x480,3840x2160", "--depths", "8,32", "--threads", "1,2",
                  "--csv", "--present", "--convert", "--frames", "10"],
        "bench-modes": ["--mode", "1024x768x16", "--shading", "5"],
        "gen-assets-texture": ["--texture", "1", "photo.png", "--out", "mydata", "--stretch"],
        "gen-assets": ["outdir", "--png", "previews"],
        "help": ["-", "--help"],
    }
    for name, words in lines.items():
        write("command-line", name, b"\0".join(w.encode() for w in words))


# ---- Users: a machine byte, then actions of four bytes each: (frames to
# wait << 6) | kind, then three argument bytes (user_fuzz.cpp).
KEY, RAW_KEY, MOVE, BUTTON, CLICK, WHEEL, OPEN_MENU, CHOOSE_ITEM, CHOOSE_MODE, \
    CLOSE_MENU, PRESS_BUTTON, FOREGROUND, LOSE_SURFACES = range(13)
# Positions in user_fuzz.cpp's key table.
KEY_1, KEY_PAD8, KEY_F1, KEY_F10, KEY_RETURN, KEY_RIGHT, KEY_DOWN = 0, 11, 19, 20, 22, 16, 14
# Items of "Modes": the classic list, 8 sizes at 8, 16, 24 and 32 bits.
MODE_X, LARGEST = 4, 31


def act(kind, a=0, b=0, c=0, wait=2):
    return bytes([(wait << 6) | kind, a, b, c])


def users():
    sessions = {
        "shading-keys": bytes([0]) + b"".join(act(KEY, KEY_1 + k, wait=3) for k in range(6)),
        "mode-x": bytes([0]) + act(CHOOSE_MODE, MODE_X, wait=2) + act(KEY, KEY_PAD8, wait=3) +
        act(CLICK, 100, 100) + act(CLICK, 100, 100, wait=2),
        "largest-mode": bytes([0]) + act(CHOOSE_MODE, LARGEST) + act(KEY, KEY_1 + 3, wait=2) +
        act(KEY, KEY_1 + 4, wait=2),
        "about": bytes([0]) + act(KEY, KEY_F1) + act(PRESS_BUTTON, 1, wait=0) +
        act(CHOOSE_ITEM, 0, 0) + act(PRESS_BUTTON, 1, wait=0) + act(KEY, KEY_1, wait=2),
        "pause": bytes([0]) + act(CLICK, 128, 128) + act(MOVE, 20, 21, wait=0) +
        act(BUTTON, 20, 21, 1, wait=0) + act(BUTTON, 20, 21, 0, wait=0) + act(CLOSE_MENU) +
        act(CLICK, 128, 128, wait=2),
        "keyboard-menus": bytes([0]) + act(KEY, KEY_F10) + act(KEY, KEY_RIGHT, wait=0) +
        act(KEY, KEY_DOWN, wait=0) + act(KEY, KEY_RETURN, wait=0) + act(KEY, KEY_1, wait=2),
        "focus": bytes([0]) + act(FOREGROUND, 0) + act(FOREGROUND, 1, wait=2) +
        act(LOSE_SURFACES) + act(WHEEL, 50, 50, 64, wait=2),
        "desktop-and-layouts": bytes([7]) + act(CHOOSE_MODE, 32 + 3) + act(CHOOSE_MODE, 14) +
        act(CHOOSE_MODE, 35, wait=2) + act(OPEN_MENU, 1) + act(CHOOSE_ITEM, 1, 4) +
        act(RAW_KEY, 0x48, 1) + act(RAW_KEY, 0x48, 0, wait=2),
    }
    for name, data in sessions.items():
        write("user", name, data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    data_files(sys.argv[1])
    pictures()
    icons(sys.argv[1])
    command_lines()
    users()


if __name__ == "__main__":
    main()
