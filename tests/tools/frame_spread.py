#!/usr/bin/env python3
"""Raw frames of kelvo-render over a spread of depths, shading modes, frames
and sizes, with and without the frame-rate text, and a byte-for-byte
comparison of two such folders. Used to show that a change of the code
leaves every pixel as it was:

  frame_spread.py write OLD/kelvo-render before/
  frame_spread.py write NEW/kelvo-render after/
  frame_spread.py compare before/ after/

One kelvo-render run per frame, so that any build of it can write the
spread. Exit status: 0 done (compare: every file identical), 1 otherwise.
"""
import argparse
import concurrent.futures
import filecmp
import os
import subprocess
import sys

DEPTHS = (8, 16, 24, 32)
SHADINGS = range(6)
FRAMES = (0, 1, 7, 40, 123, 1000, 5000)
SIZES = ((640, 480), (320, 200), (333, 251), (1600, 1200), (16, 4095), (4095, 16))


def cases():
    for width, height in SIZES:
        for depth in DEPTHS:
            for shading in SHADINGS:
                for frame in FRAMES:
                    for text in (True, False):
                        name = "%dx%dx%d_s%d_f%05d_%s.raw" % (
                            width, height, depth, shading, frame, "text" if text else "plain")
                        args = ["--mode", "%dx%dx%d" % (width, height, depth),
                                "--shading", str(shading), "--frame", str(frame)]
                        if not text:
                            args.append("--no-text")
                        yield name, args


def write(program, folder, jobs, extra):
    os.makedirs(folder, exist_ok=True)

    def run(case):
        name, args = case
        done = subprocess.run([program] + extra + args + ["--raw", os.path.join(folder, name)],
                              capture_output=True)
        return name, done.returncode, done.stderr.decode(errors="replace")

    failed = 0
    count = 0
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for name, status, errors in pool.map(run, cases()):
            count += 1
            if status != 0:
                failed += 1
                print("%s: status %d %s" % (name, status, errors.strip()), file=sys.stderr)
    print("%d frames written to %s, %d failed" % (count, folder, failed))
    return 1 if failed else 0


def compare(first, second):
    names = [name for name, _ in cases()]
    same = differ = missing = 0
    total = 0
    for name in names:
        a = os.path.join(first, name)
        b = os.path.join(second, name)
        if not (os.path.isfile(a) and os.path.isfile(b)):
            missing += 1
            print("missing: " + name, file=sys.stderr)
            continue
        if filecmp.cmp(a, b, shallow=False):
            same += 1
            total += os.path.getsize(a)
        else:
            differ += 1
            print("differs: " + name, file=sys.stderr)
    print("%d files identical (%d bytes), %d differ, %d missing" % (same, total, differ, missing))
    return 0 if differ == 0 and missing == 0 and same == len(names) else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    w = sub.add_parser("write", help="write the spread with one kelvo-render")
    w.add_argument("program")
    w.add_argument("folder")
    w.add_argument("--jobs", type=int, default=2)
    w.add_argument("--assets", help="data folder handed to kelvo-render")
    c = sub.add_parser("compare", help="compare two folders byte for byte")
    c.add_argument("first")
    c.add_argument("second")
    args = parser.parse_args()
    if args.command == "write":
        extra = ["--assets", args.assets] if args.assets else []
        return write(args.program, args.folder, args.jobs, extra)
    return compare(args.first, args.second)


if __name__ == "__main__":
    sys.exit(main())
