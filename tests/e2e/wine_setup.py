"""Wine for the Windows programs' end-to-end tests: the loader that runs an
exe, the environment, a prefix made once and kept, and the server stopped."""
import os
import shutil
import struct
import subprocess
import time

from x_session import Failure


class Skip(Exception):
    """This machine cannot run the test: exit status 77."""


def pe_machine(path):
    """0x14C for a 32-bit exe, 0x8664 for a 64-bit one."""
    with open(path, "rb") as f:
        head = f.read(4096)
    offset = struct.unpack_from("<I", head, 0x3C)[0]
    if head[offset:offset + 4] != b"PE\0\0":
        raise Failure(path + " is not a Windows program")
    return struct.unpack_from("<H", head, offset + 4)[0]


def find_loader(exe):
    """The Wine loader for the exe: the 64-bit one runs Wine's own programs
    at full speed and hands a 32-bit exe to the 32-bit loader, which must be
    able to run."""
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
    env.pop("WINELOADER", None)
    return env


def make_prefix(loader, env, settings=()):
    """The prefix, made once per build folder and kept; then the registry
    settings (key, name, type, value), set on every run."""
    prefix = env["WINEPREFIX"]
    stamp = os.path.join(prefix, "kelvo-prefix-ready")
    if os.path.exists(stamp):
        print("Wine prefix " + prefix, flush=True)
    else:
        print("making the Wine prefix " + prefix, flush=True)
        shutil.rmtree(prefix, ignore_errors=True)
        started = time.time()
        done = subprocess.run([loader, "wineboot", "--init"], env=env, capture_output=True,
                              timeout=240)
        if not os.path.isdir(os.path.join(prefix, "drive_c")):
            raise Failure("wineboot did not make the prefix %s: %s"
                          % (prefix, done.stderr.decode(errors="replace")))
        print("  wineboot made it (%.0f s)" % (time.time() - started), flush=True)
    for key, name, kind, value in settings:
        done = subprocess.run([loader, "reg", "add", key, "/v", name, "/t", kind, "/d", value,
                               "/f"], env=env, capture_output=True, timeout=60)
        if done.returncode != 0:
            raise Failure("reg add %s %s: %s" % (key, name, done.stderr.decode()))
    open(stamp, "w").close()


def stop_wineserver(loader, env, flag="-k"):
    server = os.path.join(os.path.dirname(loader), "wineserver")
    if not os.access(server, os.X_OK):
        server = shutil.which("wineserver") or server
    try:
        subprocess.run([server, flag], env=env, timeout=30, capture_output=True)
    except (OSError, subprocess.TimeoutExpired):
        pass


def wait_wineserver(loader, env):
    """Until every Wine process of the prefix has ended: a program started
    while the last one's desktop is still going away may fail to start."""
    stop_wineserver(loader, env, "-w")
