#!/usr/bin/env python3
"""kelvo-render.js, the WebAssembly build run by Node, writes the very bytes
the native kelvo-render writes: raw back buffers of every depth and shading
mode over sizes from a single pixel to more than a screen and over frames far
apart, with the frame-rate text and without it, compared file by file; one
frame as --png and as --raw; and a contact sheet as a PNG picture that
decodes to the same pixels. The native frames are drawn by one thread; the
web build asks for three, which it cannot start, and draws with one.

It also runs as a Node user expects: started from another folder without
--assets it finds the build's data beside the script, KELVO_THREADS from
Node's environment reaches it, and the files it writes take the user's
umask.

The frames are removed when they all match, kept in the folder given by
--out when not. Exit status: 0 passed, 1 failed.
"""
import argparse
import os
import shutil
import stat
import subprocess
import sys

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from frame_compare import (KINDS, RenderFailure, compare_sheets, compare_spreads,  # noqa: E402
                           report, run, spread_args)

MODES = ["%dx%dx%d" % (w, h, d)
         for w, h in ((1, 1), (3, 5), (641, 479), (333, 251), (7, 2047), (2047, 5))
         for d in (8, 16, 24, 32)]
SHADINGS = "0,1,2,3,4,5"
STARTS = "0,40,12345"
FRAMES_EACH = 2
# Every depth and shading mode in one PNG picture, the text on each.
SHEET = ["--mode", "64x48x8", "--frame", "20"]
# One frame as a picture and as a back buffer.
SINGLE = ["--mode", "641x479x16", "--shading", "4", "--frame", "777"]
# Written with this umask, the web build's files must come out as rw-r-----.
UMASK = 0o027


def with_umask():
    os.umask(UMASK)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--node", required=True, help="Node, which runs the .js")
    parser.add_argument("--js", required=True, help="kelvo-render.js")
    parser.add_argument("--native", required=True, help="kelvo-render built for this machine")
    parser.add_argument("--assets", required=True, help="the data folder both read")
    parser.add_argument("--out", required=True, help="where the frames are written")
    args = parser.parse_args()

    out = os.path.abspath(args.out)
    native_dir = os.path.join(out, "native")
    web_dir = os.path.join(out, "web")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(native_dir)
    os.makedirs(web_dir)
    assets = os.path.abspath(args.assets)
    native = [args.native, "--assets", assets]
    web = [args.node, args.js, "--assets", assets]
    env = dict(os.environ, KELVO_THREADS="3")
    failures = []
    native_s = web_s = 0.0
    try:
        for kind, text in KINDS.items():
            native_s += run("kelvo-render", [args.native, "--threads", "1"] + spread_args(
                assets, os.path.join(native_dir, kind), text, MODES, SHADINGS, STARTS,
                FRAMES_EACH))
            web_s += run("kelvo-render.js under Node", [args.node, args.js] + spread_args(
                assets, os.path.join(web_dir, kind), text, MODES, SHADINGS, STARTS,
                FRAMES_EACH), env)
        for folder, command in ((native_dir, native), (web_dir, web)):
            run(command[0], command + SHEET + ["--sheet", os.path.join(folder, "sheet.png")],
                env)
            run(command[0], command + SINGLE + ["--png", os.path.join(folder, "single.png"),
                                                "--raw", os.path.join(folder, "single.raw")],
                env)

        # The data beside the script, found from elsewhere.
        done = subprocess.run([args.node, os.path.abspath(args.js)] + SINGLE +
                              ["--raw", "found.raw"], cwd=web_dir, capture_output=True,
                              text=True, timeout=60)
        if done.returncode != 0:
            failures.append("kelvo-render.js without --assets ended with status %d: %s"
                            % (done.returncode, done.stderr.strip()))

        # Node's environment reaches getenv, and a new file takes the umask.
        written = os.path.join(web_dir, "umask.raw")
        done = subprocess.run(web + ["--mode", "3x5x8", "--raw", written],
                              env=dict(os.environ, KELVO_THREADS="many"),
                              capture_output=True, text=True, timeout=60,
                              preexec_fn=with_umask)
        if done.returncode != 0:
            failures.append("kelvo-render.js ended with status %d: %s"
                            % (done.returncode, done.stderr.strip()))
        if "KELVO_THREADS='many' is not a thread count" not in done.stderr:
            failures.append("KELVO_THREADS=many was not seen by kelvo-render.js (it said %r)"
                            % done.stderr.strip())
        if os.path.isfile(written):
            mode = stat.S_IMODE(os.stat(written).st_mode)
            if mode != 0o666 & ~UMASK:
                failures.append("written under umask %03o, a new file has mode %03o, not %03o"
                                % (UMASK, mode, 0o666 & ~UMASK))
    except (RenderFailure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e, flush=True)
        return 1

    expected = len(MODES) * len(SHADINGS.split(",")) * len(STARTS.split(",")) * FRAMES_EACH
    spread_failures, same, total, size = compare_spreads(native_dir, web_dir, expected)
    failures += spread_failures
    print("%d of %d frames identical, with the text and without (%.1f MB each side; "
          "%s %.1f s, %s under Node %.1f s)"
          % (same, total, size / 1e6, os.path.basename(args.native), native_s,
             os.path.basename(args.js), web_s), flush=True)
    for name, theirs in (("single.png", "single.png"), ("single.raw", "single.raw"),
                         ("single.raw", "found.raw")):
        try:
            with open(os.path.join(native_dir, name), "rb") as a, \
                    open(os.path.join(web_dir, theirs), "rb") as b:
                if a.read() != b.read():
                    failures.append("%s: %s differs" % (" ".join(SINGLE), theirs))
        except OSError as e:
            failures.append(str(e))
    failures += compare_sheets(os.path.join(native_dir, "sheet.png"),
                               os.path.join(web_dir, "sheet.png"))
    return report(failures, out)


if __name__ == "__main__":
    sys.exit(main())
