#!/usr/bin/env python3
"""The packages as a user gets them: CPack makes the .deb and the .tar.gz of a
build, lintian finds no error in the .deb, and what each package and
`cmake --install --prefix` lay out runs from a scratch folder: kelvo-render
draws the build's frames byte for byte from the data in its own share folder,
and without that folder says so in one line; kelvo-cube starts under an Xvfb
display of its own and quits on Escape.

Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.dont_write_bytecode = True
from desktop_e2e import cube_drawn  # noqa: E402
from x_session import Failure, Session, check, error_lines, missing_tools  # noqa: E402

PROGRAMS = ["kelvo-cube", "kelvo-render", "kelvo-bench", "kelvo-gen-assets"]
DATA = ["CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT"] + ["T%d.BMP" % n for n in range(1, 7)] + [
    "AppIcon.ico"]
LAYOUT = (["bin/" + p for p in PROGRAMS] + ["share/kelvo-cube/" + f for f in DATA] +
          ["share/applications/kelvo-cube.desktop"] +
          ["share/icons/hicolor/%dx%d/apps/kelvo-cube.png" % (s, s) for s in (32, 64, 128, 256)] +
          ["share/doc/kelvo-cube/" + f for f in ("README.md", "copyright", "changelog.gz")] +
          ["share/man/man1/%s.1.gz" % p for p in PROGRAMS])
# Every depth, two shading modes with the text: each staged kelvo-render
# draws these from its own data.
FRAMES = ["--mode", "640x480x8,800x600x16,320x240x24,1024x768x32", "--shading", "3,4",
          "--frame", "40", "--format", "raw"]


def run(args, what, **kwargs):
    done = subprocess.run(args, capture_output=True, timeout=300, **kwargs)
    if done.returncode != 0:
        sys.stdout.write(done.stdout.decode(errors="replace"))
        raise Failure("%s: status %d: %s" % (what, done.returncode,
                                             done.stderr.decode(errors="replace").strip()))
    return done


def make_packages(build, out):
    folder = os.path.join(out, "packages")
    shutil.rmtree(folder, ignore_errors=True)
    start = time.time()
    run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", folder],
        "cpack", cwd=build)
    debs = glob.glob(os.path.join(folder, "*.deb"))
    tars = glob.glob(os.path.join(folder, "*.tar.gz"))
    check(len(debs) == 1 and len(tars) == 1,
          "cpack made a .deb and a .tar.gz in %.1f s" % (time.time() - start))
    return debs[0], tars[0]


def lint(deb):
    start = time.time()
    done = subprocess.run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", deb],
                          capture_output=True, timeout=300)
    tags = done.stdout.decode(errors="replace").strip()
    print(tags or "  (lintian: no tags)", flush=True)
    check(done.returncode == 0 and not any(l.startswith("E:") for l in tags.splitlines()),
          "lintian finds no error (%.1f s)" % (time.time() - start))


def depends(deb):
    fields = run(["dpkg-deb", "-f", deb, "Depends"], "dpkg-deb -f").stdout.decode().strip()
    check("libc6" in fields and "libsdl2" in fields, "Depends, from dpkg-shlibdeps: " + fields)


def laid_out(root, what):
    missing = [p for p in LAYOUT if not os.path.isfile(os.path.join(root, p))]
    check(not missing, "%s lays out the programs, data, menu entry, icons, documents and "
          "manual pages%s" % (what, (": missing " + ", ".join(missing)) if missing else ""))


def frames(render, out_dir, cwd, extra=()):
    return subprocess.run([render] + FRAMES + list(extra) + ["--out-dir", out_dir], cwd=cwd,
                          capture_output=True, timeout=120)


def same_frames(reference, root, what, scratch):
    """kelvo-render of root, started in an empty folder, draws the build's
    frames from its share folder; with that folder gone it says so."""
    elsewhere = os.path.join(scratch, "elsewhere")
    os.makedirs(elsewhere, exist_ok=True)
    out = os.path.join(scratch, "frames-" + what.replace(" ", "-"))
    done = frames(os.path.join(root, "bin", "kelvo-render"), out, elsewhere)
    check(done.returncode == 0 and not done.stderr,
          "%s: kelvo-render draws from its own data (%s)"
          % (what, done.stderr.decode(errors="replace").strip() or "no warning"))
    names = sorted(os.listdir(reference))
    differ = [n for n in names
              if open(os.path.join(reference, n), "rb").read()
              != open(os.path.join(out, n), "rb").read()]
    check(names == sorted(os.listdir(out)) and not differ,
          "%s: its %d frames are the build's, byte for byte" % (what, len(names)))

    share = os.path.join(root, "share", "kelvo-cube")
    os.rename(share, share + ".away")
    try:
        done = subprocess.run([os.path.join(root, "bin", "kelvo-render"), "--raw",
                               os.path.join(scratch, "none.raw")], cwd=elsewhere,
                              capture_output=True, timeout=60)
    finally:
        os.rename(share + ".away", share)
    lines = done.stderr.decode(errors="replace").splitlines()
    check(done.returncode == 1 and len(lines) == 1 and "CUBE.PAL: not found" in lines[0]
          and os.path.realpath(share) in lines[0],
          "%s: without its share folder, one line naming where it looked: %r" % (what, lines))


def starts_and_quits(program, out, scratch):
    """The unpacked kelvo-cube under Xvfb: the cube turns, Escape ends it."""
    s = Session(program, out)
    try:
        s.start_display()
        elsewhere = os.path.join(scratch, "elsewhere")
        s.start_program(elsewhere, "packaged-kelvo-cube")
        s.wait_for("packaged-cube", (640, 480), cube_drawn, "the packaged kelvo-cube draws the cube",
                   timeout=15)
        s.key("Escape")
        try:
            status = s.app.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure("kelvo-cube still runs 10 s after Escape")
        check(status == 0, "Escape quits it with status 0")
        lines = error_lines(s.err)
        check(not lines, "nothing on standard error: %r" % lines)
    finally:
        s.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build folder (CPackConfig.cmake)")
    parser.add_argument("--render", required=True, help="the build's kelvo-render")
    parser.add_argument("--assets", required=True, help="the build's data folder")
    parser.add_argument("--out", required=True, help="folder for the packages and screenshots")
    args = parser.parse_args()
    missing = missing_tools(["cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian", "help2man", "Xvfb",
                             "xdotool", "xmessage"])
    if missing:
        print("skipped: %s not installed (scripts/setup-deps.sh --desktop --package)"
              % ", ".join(missing))
        return 77
    start = time.time()
    build, out = os.path.abspath(args.build), os.path.abspath(args.out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    scratch = os.path.join(out, "scratch")
    try:
        deb, tar = make_packages(build, out)
        lint(deb)
        depends(deb)
        reference = os.path.join(scratch, "frames-build")
        done = frames(os.path.abspath(args.render), reference, out, ["--assets", os.path.abspath(args.assets)])
        check(done.returncode == 0, "the build's kelvo-render draws the frames to compare")

        unpacked = os.path.join(scratch, "deb")
        run(["dpkg-deb", "-x", deb, unpacked], "dpkg-deb -x")
        root = os.path.join(unpacked, "usr")
        laid_out(root, "the .deb")
        same_frames(reference, root, "the .deb", scratch)

        unpacked = os.path.join(scratch, "tar")
        os.makedirs(unpacked)
        run(["tar", "-xzf", tar, "-C", unpacked], "tar -x")
        (top,) = os.listdir(unpacked)
        laid_out(os.path.join(unpacked, top), "the .tar.gz")
        same_frames(reference, os.path.join(unpacked, top), "the .tar.gz", scratch)

        prefix = os.path.join(scratch, "prefix")
        run(["cmake", "--install", build, "--prefix", prefix], "cmake --install")
        laid_out(prefix, "cmake --install --prefix")
        same_frames(reference, prefix, "cmake --install --prefix", scratch)

        starts_and_quits(os.path.join(root, "bin", "kelvo-cube"), out, scratch)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e, flush=True)
        print("the packages and screenshots are in " + out)
        return 1
    shutil.rmtree(scratch, ignore_errors=True)
    print("passed in %.1f s; the packages are in %s" % (time.time() - start,
                                                       os.path.join(out, "packages")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
