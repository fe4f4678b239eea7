#!/usr/bin/env python3
"""kelvo-render.exe under Wine writes the very bytes the native kelvo-render
writes: raw back buffers of every depth and shading mode over a spread of
frames and sizes, without the frame-rate text (the Windows build draws
none), compared file by file. The native frames are drawn by one thread, the
exe's by a team of three: the count of drawing threads changes no byte.

Each renderer makes the whole spread in one run. kelvo-render.exe is a
console program: Wine needs no display for it. The Wine prefix is made once
per build folder and kept. The frames are removed when they all match, kept
in the folder given by --out when not.

Exit status: 0 passed, 1 failed, 77 skipped (Wine is missing, or this
machine cannot run the exe's kind of Wine).
"""
import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import time

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


def console_env(prefix):
    # A console program: no window, so no display for Wine to open.
    env = wine_env(prefix)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def spread_args(assets, folder):
    return ["--assets", assets, "--mode", ",".join(MODES), "--shading", SHADINGS,
            "--frame", STARTS, "--frames", str(FRAMES_EACH), "--no-text",
            "--out-dir", folder, "--format", "raw"]


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
    try:
        make_prefix(loader, env)
        native_s = run("kelvo-render",
                       [args.native, "--threads", "1"] + spread_args(assets, native_dir))
        env["KELVO_THREADS"] = "3"
        # The exe sees this machine's folders on drive Z:.
        wine_s = run("kelvo-render.exe under Wine",
                     [loader, args.exe] + spread_args("Z:" + assets, "Z:" + wine_dir), env)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e, flush=True)
        return 1
    finally:
        stop_wineserver(loader, env)

    names = sorted(os.listdir(native_dir))
    expected = len(MODES) * len(SHADINGS.split(",")) * len(STARTS.split(",")) * FRAMES_EACH
    failures = []
    if len(names) != expected:
        failures.append("the native renderer wrote %d frames, not %d" % (len(names), expected))
    if sorted(os.listdir(wine_dir)) != names:
        failures.append("the two folders hold different files")
    same = 0
    size = 0
    for name in names:
        a = os.path.join(native_dir, name)
        b = os.path.join(wine_dir, name)
        if os.path.isfile(b) and filecmp.cmp(a, b, shallow=False):
            same += 1
            size += os.path.getsize(a)
        else:
            failures.append("differs: " + name)
    print("%d of %d frames identical (%.1f MB each side; %s %.1f s, %s under Wine %.1f s)"
          % (same, len(names), size / 1e6, os.path.basename(args.native), native_s,
             os.path.basename(args.exe), wine_s), flush=True)
    if failures:
        for line in failures[:20]:
            print("FAILED: " + line, flush=True)
        print("the frames are kept in " + out, flush=True)
        return 1
    shutil.rmtree(out, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
