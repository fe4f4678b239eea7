#!/usr/bin/env python3
"""kelvo-render.exe under Wine writes the very bytes the native kelvo-render
writes: raw back buffers of every depth and shading mode over a spread of
frames and sizes, without the frame-rate text (the Windows build draws
none), compared file by file.

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
import struct
import subprocess
import sys
import time

MODES = ["%dx%dx%d" % (w, h, d)
         for w, h in ((640, 480), (333, 251), (320, 200), (16, 4095), (4095, 16))
         for d in (8, 16, 24, 32)]
SHADINGS = "0,1,2,3,4,5"
STARTS = "0,40,5000"
FRAMES_EACH = 2


class Skip(Exception):
    pass


def pe_machine(path):
    """0x14C for a 32-bit exe, 0x8664 for a 64-bit one."""
    with open(path, "rb") as f:
        head = f.read(4096)
    offset = struct.unpack_from("<I", head, 0x3C)[0]
    if head[offset:offset + 4] != b"PE\0\0":
        raise SystemExit(path + " is not a Windows program")
    return struct.unpack_from("<H", head, offset + 4)[0]


def find_loader(exe):
    """The Wine loader for the exe: the 64-bit one runs a 64-bit exe and
    hands a 32-bit one to the 32-bit loader, which must be able to run."""
    wine64 = shutil.which("wine64") or "/usr/lib/wine/wine64"
    loader = wine64 if os.access(wine64, os.X_OK) else shutil.which("wine")
    if not loader:
        raise Skip("Wine is not installed (Debian: wine, wine64)")
    if pe_machine(exe) == 0x14C:
        wine32 = "/usr/lib/wine/wine"
        if not os.access(wine32, os.X_OK):
            raise Skip("the 32-bit Wine loader is not installed (wine32:i386)")
        try:
            ok = subprocess.run([wine32, "--version"], capture_output=True,
                                timeout=20).returncode == 0
        except (OSError, subprocess.TimeoutExpired):
            ok = False
        if not ok:
            raise Skip("this machine cannot run 32-bit Linux programs, so neither the "
                       "32-bit Wine loader nor a 32-bit Windows program")
    return loader


def wine_env(prefix):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    # A console program: no window, so no display for Wine to open.
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env.pop("WINELOADER", None)
    return env


def make_prefix(loader, prefix, env):
    stamp = os.path.join(prefix, "kelvo-prefix-ready")
    if os.path.exists(stamp):
        return
    shutil.rmtree(prefix, ignore_errors=True)
    started = time.time()
    done = subprocess.run([loader, "wineboot", "--init"], env=env, capture_output=True,
                          timeout=240)
    if not os.path.isdir(os.path.join(prefix, "drive_c")):
        raise SystemExit("wineboot did not make the prefix %s: %s"
                         % (prefix, done.stderr.decode(errors="replace")))
    print("made the Wine prefix %s (%.0f s)" % (prefix, time.time() - started), flush=True)
    open(stamp, "w").close()


def stop_wineserver(loader, env):
    server = os.path.join(os.path.dirname(loader), "wineserver")
    if not os.access(server, os.X_OK):
        server = shutil.which("wineserver") or server
    try:
        subprocess.run([server, "-k"], env=env, timeout=30, capture_output=True)
    except (OSError, subprocess.TimeoutExpired):
        pass


def spread_args(assets, folder):
    return ["--assets", assets, "--mode", ",".join(MODES), "--shading", SHADINGS,
            "--frame", STARTS, "--frames", str(FRAMES_EACH), "--no-text",
            "--out-dir", folder, "--format", "raw"]


def run(what, command, env=None):
    started = time.time()
    done = subprocess.run(command, env=env, capture_output=True, timeout=600)
    seconds = time.time() - started
    if done.returncode != 0:
        raise SystemExit("%s ended with status %d: %s" % (
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
    env = wine_env(os.path.abspath(args.prefix))
    out = os.path.abspath(args.out)
    native_dir = os.path.join(out, "native")
    wine_dir = os.path.join(out, "wine")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    assets = os.path.abspath(args.assets)
    try:
        make_prefix(loader, env["WINEPREFIX"], env)
        native_s = run("kelvo-render", [args.native] + spread_args(assets, native_dir))
        # The exe sees this machine's folders on drive Z:.
        wine_s = run("kelvo-render.exe under Wine",
                     [loader, args.exe] + spread_args("Z:" + assets, "Z:" + wine_dir), env)
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
