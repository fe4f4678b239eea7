#!/usr/bin/env python3
"""kelvo-render.exe under Wine writes the very bytes the native kelvo-render
writes: raw back buffers of every depth and shading mode over a spread of
frames and sizes, with the frame-rate text and without it, compared file by
file, and a contact sheet as a PNG picture that decodes to the same pixels.
The native frames are drawn by one thread, the exe's by a team of three: the
count of drawing threads changes no byte.

Each renderer makes each spread in one run. kelvo-render.exe is a console
program: Wine needs no display for it. The Wine prefix is made once per build
folder and kept. The frames are removed when they all match, kept in the
folder given by --out when not.

Exit status: 0 passed, 1 failed, 77 skipped (Wine is missing, or this
machine cannot run the exe's kind of Wine).
"""
import argparse
import filecmp
import os
import shutil
import struct
import subprocess
import sys
import time
import zlib

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from wine_setup import Skip, find_loader, make_prefix, stop_wineserver, wine_env  # noqa: E402
from x_session import Failure  # noqa: E402

MODES = ["%dx%dx%d" % (w, h, d)
         for w, h in ((640, 480), (333, 251), (320, 200), (16, 4095), (4095, 16))
         for d in (8, 16, 24, 32)]
SHADINGS = "0,1,2,3,4,5"
STARTS = "0,40,5000"
FRAMES_EACH = 2
# Every depth and shading mode in one PNG picture, the text on each.
SHEET = ["--mode", "64x48x8", "--frame", "20"]


def console_env(prefix):
    # A console program: no window, so no display for Wine to open.
    env = wine_env(prefix)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def spread_args(assets, folder, text):
    return (["--assets", assets, "--mode", ",".join(MODES), "--shading", SHADINGS,
             "--frame", STARTS, "--frames", str(FRAMES_EACH), "--out-dir", folder,
             "--format", "raw"] + ([] if text else ["--no-text"]))


def png_pixels(path):
    """Width, height and RGB rows of an 8-bit RGB PNG as the renderers write
    them (not interlaced, any row filter)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure(path + " is not a PNG picture")
    at, idat, header = 8, b"", None
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None or header[2:4] != (8, 2) or header[6] != 0:
        raise Failure("%s: not an 8-bit RGB PNG (header %r)" % (path, header))
    width, height = header[:2]
    raw = zlib.decompress(idat)
    stride = width * 3
    prev = bytearray(stride)
    rows = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                raise Failure("%s: row %d has filter %d" % (path, y, kind))
        rows.append(bytes(line))
        prev = line
    return width, height, b"".join(rows)


def run(what, command, env=None):
    started = time.time()
    done = subprocess.run(command, env=env, capture_output=True, timeout=600)
    seconds = time.time() - started
    if done.returncode != 0:
        raise Failure("%s ended with status %d: %s" % (
            what, done.returncode, done.stderr.decode(errors="replace").strip()))
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True, help="kelvo-render.exe")
    parser.add_argument("--native", required=True, help="kelvo-render built for this machine")
    parser.add_argument("--assets", required=True, help="the data folder both read")
    parser.add_argument("--prefix", required=True, help="the Wine prefix, made once")
    parser.add_argument("--out", required=True, help="where the frames are written")
    args = parser.parse_args()

    try:
        loader = find_loader(args.exe)
    except Skip as skip:
        print("SKIPPED: " + str(skip), flush=True)
        return 77
    except Failure as e:
        print("FAILED: %s" % e, flush=True)
        return 1
    env = console_env(os.path.abspath(args.prefix))
    out = os.path.abspath(args.out)
    native_dir = os.path.join(out, "native")
    wine_dir = os.path.join(out, "wine")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    assets = os.path.abspath(args.assets)
    kinds = {"text": True, "plain": False}
    native_s = wine_s = 0.0
    try:
        make_prefix(loader, env)
        for kind, text in kinds.items():
            native_s += run("kelvo-render", [args.native, "--threads", "1"] +
                            spread_args(assets, os.path.join(native_dir, kind), text))
        native_s += run("kelvo-render", [args.native, "--assets", assets] + SHEET +
                        ["--sheet", os.path.join(native_dir, "sheet.png")])
        env["KELVO_THREADS"] = "3"
        # The exe sees this machine's folders on drive Z:.
        for kind, text in kinds.items():
            wine_s += run("kelvo-render.exe under Wine", [loader, args.exe] +
                          spread_args("Z:" + assets, "Z:" + os.path.join(wine_dir, kind), text),
                          env)
        wine_s += run("kelvo-render.exe under Wine",
                      [loader, args.exe, "--assets", "Z:" + assets] + SHEET +
                      ["--sheet", "Z:" + os.path.join(wine_dir, "sheet.png")], env)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e, flush=True)
        return 1
    finally:
        stop_wineserver(loader, env)

    expected = len(MODES) * len(SHADINGS.split(",")) * len(STARTS.split(",")) * FRAMES_EACH
    failures = []
    same = total = size = 0
    for kind in kinds:
        names = sorted(os.listdir(os.path.join(native_dir, kind)))
        total += len(names)
        if len(names) != expected:
            failures.append("the native renderer wrote %d frames %s, not %d"
                            % (len(names), kind, expected))
        if sorted(os.listdir(os.path.join(wine_dir, kind))) != names:
            failures.append("the two %s folders hold different files" % kind)
        for name in names:
            a = os.path.join(native_dir, kind, name)
            b = os.path.join(wine_dir, kind, name)
            if os.path.isfile(b) and filecmp.cmp(a, b, shallow=False):
                same += 1
                size += os.path.getsize(a)
            else:
                failures.append("differs: %s/%s" % (kind, name))
    print("%d of %d frames identical, with the text and without (%.1f MB each side; "
          "%s %.1f s, %s under Wine %.1f s)"
          % (same, total, size / 1e6, os.path.basename(args.native), native_s,
             os.path.basename(args.exe), wine_s), flush=True)
    try:
        native_png = png_pixels(os.path.join(native_dir, "sheet.png"))
        wine_png = png_pixels(os.path.join(wine_dir, "sheet.png"))
        if wine_png != native_png:
            failures.append("the PNG sheets differ (%dx%d and %dx%d)"
                            % (native_png[:2] + wine_png[:2]))
        else:
            print("the PNG sheets (%dx%d) hold the same pixels" % native_png[:2], flush=True)
    except (Failure, OSError, zlib.error) as e:
        failures.append("the PNG sheets: %s" % e)
    if failures:
        for line in failures[:20]:
            print("FAILED: " + line, flush=True)
        print("the frames are kept in " + out, flush=True)
        return 1
    shutil.rmtree(out, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
