#!/usr/bin/env python3
"""Fails unless a Windows program imports only DLLs that every Windows has:
no libgcc, libstdc++ or winpthread DLL may be needed beside it."""
import argparse
import subprocess
import sys

SYSTEM = {"kernel32.dll", "user32.dll", "gdi32.dll", "winmm.dll", "ddraw.dll", "dinput.dll",
          "msvcrt.dll", "advapi32.dll"}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("program")
    args = parser.parse_args()
    dump = subprocess.run([args.objdump, "-p", args.program], capture_output=True, text=True)
    if dump.returncode != 0:
        print(dump.stderr)
        return 1
    dlls = [line.split("DLL Name:")[1].strip() for line in dump.stdout.splitlines()
            if "DLL Name:" in line]
    print("imports: " + ", ".join(dlls))
    foreign = [d for d in dlls if d.lower() not in SYSTEM]
    if not dlls or foreign:
        print("FAILED: not part of Windows: " + (", ".join(foreign) or "(no imports read)"))
        return 1
    for needed in ("ddraw.dll", "dinput.dll", "winmm.dll"):
        if needed not in (d.lower() for d in dlls):
            print("FAILED: %s is not imported" % needed)
            return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
