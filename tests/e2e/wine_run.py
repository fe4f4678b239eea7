#!/usr/bin/env python3
"""Runs a Windows test program under Wine for CTest (the cross build's
CMAKE_CROSSCOMPILING_EMULATOR): wine_run.py --prefix DIR PROGRAM [ARGS...].

The prefix is made on the first run and kept; runs started together wait for
it. Wine's debug output is off and no display is used. The exit status is the
program's, or 77 (skipped) when this machine cannot run the program's kind of
Wine, with the reason on standard output.
"""
import contextlib
import fcntl
import os
import subprocess
import sys

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from wine_setup import Skip, find_loader, make_prefix, wine_env  # noqa: E402
from x_session import Failure  # noqa: E402


def main(argv):
    if len(argv) < 4 or argv[1] != "--prefix":
        print("usage: wine_run.py --prefix DIR PROGRAM [ARGS...]", file=sys.stderr)
        return 2
    prefix = os.path.abspath(argv[2])
    program = argv[3:]
    try:
        loader = find_loader(program[0])
    except Skip as skip:
        print("SKIPPED: " + str(skip), flush=True)
        return 77
    env = wine_env(prefix)
    # Console programs: nothing for Wine to show.
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            # What the prefix step says is no part of the program's output.
            with contextlib.redirect_stdout(sys.stderr):
                make_prefix(loader, env)
        except (Failure, subprocess.TimeoutExpired) as e:
            print("FAILED: the Wine prefix: %s" % e, flush=True)
            return 1
    sys.stdout.flush()
    os.execve(loader, [loader] + program, env)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
