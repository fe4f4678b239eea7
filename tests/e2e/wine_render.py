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
import os
import shutil
import subprocess
import sys

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from frame_compare import (KINDS, RenderFailure, compare_sheets, compare_spreads,  # noqa: E402
                           report, run, spread_args)
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


def spread(assets, folder, text):
    return spread_args(assets, folder, text, MODES, SHADINGS, STARTS, FRAMES_EACH)


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
    native_s = wine_s = 0.0
    try:
        make_prefix(loader, env)
        for kind, text in KINDS.items():
            native_s += run("kelvo-render", [args.native, "--threads", "1"] +
                            spread(assets, os.path.join(native_dir, kind), text))
        native_s += run("kelvo-render", [args.native, "--assets", assets] + SHEET +
                        ["--sheet", os.path.join(native_dir, "sheet.png")])
        env["KELVO_THREADS"] = "3"
        # The exe sees this machine's folders on drive Z:.
        for kind, text in KINDS.items():
            wine_s += run("kelvo-render.exe under Wine", [loader, args.exe] +
                          spread("Z:" + assets, "Z:" + os.path.join(wine_dir, kind), text),
                          env)
        wine_s += run("kelvo-render.exe under Wine",
                      [loader, args.exe, "--assets", "Z:" + assets] + SHEET +
                      ["--sheet", "Z:" + os.path.join(wine_dir, "sheet.png")], env)
    except (Failure, RenderFailure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e, flush=True)
        return 1
    finally:
        stop_wineserver(loader, env)

    expected = len(MODES) * len(SHADINGS.split(",")) * len(STARTS.split(",")) * FRAMES_EACH
    failures, same, total, size = compare_spreads(native_dir, wine_dir, expected)
    print("%d of %d frames identical, with the text and without (%.1f MB each side; "
          "%s %.1f s, %s under Wine %.1f s)"
          % (same, total, size / 1e6, os.path.basename(args.native), native_s,
             os.path.basename(args.exe), wine_s), flush=True)
    failures += compare_sheets(os.path.join(native_dir, "sheet.png"),
                               os.path.join(wine_dir, "sheet.png"))
    return report(failures, out)


if __name__ == "__main__":
    sys.exit(main())
