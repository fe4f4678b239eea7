#!/usr/bin/env python3
"""kelvo-cube.exe in a 16-bit mode under Wine, whose 16-bit display is 5-6-5
while the program draws 5-5-5 pixels: the cube is stopped soon after the
start, 640x480x16 chosen with the mouse (the arrow keys would turn the cube),
and the screenshot's picture compared with the native kelvo-render's frame
of the same turn. The frame is found among the renderer's frames by blue,
which both layouts keep in their low five bits; then red and blue must be
the same and green within one step of six bits, but for a few pixels of an
edge (stopped, the cube still takes turns of nothing, whose rounding can
move one).

Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing, or
this machine cannot run the program's kind of Wine).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from x_session import Failure, check, differing_rows, missing_tools  # noqa: E402
from wine_setup import Skip  # noqa: E402
from wine_e2e import (DESKTOP_H, DESKTOP_W, TITLE, Program, Wine, cube_drawn,  # noqa: E402
                      five_six_five, ink_lines, reported_modes)

try:
    from PIL import Image, ImageChops, ImageDraw
except ImportError:  # missing_tools() says so
    pass

MODE = (640, 480, 16)
# The coarse search's frames, a tenth of the size, in batches. The stop
# comes after some ten thousand frames (15820 here): the search goes on up
# to LAST, as the cube, turning about one axis, comes near a turn it had
# before now and then, which is no match.
SMALL, BATCH, LAST = 10, 4000, 200000
# The frame-rate text, left out of the comparison.
TEXT = (0, 0, 120, 32)
# 5-bit levels as Pillow widens them, to the levels X shows (v << 3 | v >> 2).
WIDEN = list(range(256))
for v in range(32):
    WIDEN[v * 255 // 31] = (v << 3) | (v >> 2)


def stop_soon(p):
    """Keypad 5 from the start until two screenshots a moment apart are
    alike: the fewer frames turned, the shorter the search."""
    deadline = time.time() + 20
    while True:
        p.wine.key("KP_5")
        time.sleep(0.3)
        a = p.view("stopping")
        time.sleep(0.3)
        if cube_drawn(a) and differing_rows(a, p.view("stopping")) == 0:
            check(True, "keypad 5 stops the cube soon after the start")
            return
        if time.time() > deadline:
            raise Failure("the cube does not stop after keypad 5")


def choose_by_mouse(p, modes, mode):
    v = p.view("modes-before")
    titles = p.bar_titles(v)
    check(len(titles) == 3, "the menu bar holds three titles (&Cube, &Options, Modes)")
    p.wine.click((titles[2][0] + titles[2][1]) // 2, v.top // 2)
    box = p.wait_popup("modes-open", titles[2], len(modes))
    line = ink_lines(p.wine.shot("modes-open"), box)[modes.index(mode)]
    p.wine.click((box[0] + box[2]) // 2, (line[0] + line[1]) // 2)
    p.mode = mode[:2]
    deadline = time.time() + 10
    while p.wine.desktop_size() != p.mode:
        if time.time() > deadline:
            raise Failure("a click on its item does not switch to %dx%dx%d" % mode)
        time.sleep(0.2)
    p.wine.xdotool("mousemove", str(mode[0] // 2), str(mode[1] // 2))
    check(True, "a click on item %d switches to %dx%dx%d" % ((modes.index(mode) + 1,) + mode))


def render(args, scratch, size, first, count):
    """The native renderer's frames first to first + count - 1 at size, 16
    bits: {k: RGB image}, the 5-bit levels widened as X widens them."""
    folder = tempfile.mkdtemp(dir=scratch)
    done = subprocess.run([args.render, "--assets", args.assets, "--mode", "%dx%dx16" % size,
                           "--shading", "0", "--frame", str(first), "--frames", str(count),
                           "--no-text", "--threads", "1", "--out-dir", folder, "--format",
                           "raw"], capture_output=True)
    if done.returncode != 0:
        raise Failure("kelvo-render: " + done.stderr.decode(errors="replace").strip())
    frames = {}
    for k in range(first, first + count):
        path = os.path.join(folder, "frame_%05d.raw" % k)
        with open(path, "rb") as f:
            frames[k] = Image.frombytes("RGB", size, f.read(), "raw", "BGR;15").point(WIDEN * 3)
        os.remove(path)
    os.rmdir(folder)
    return frames


def blue_off(a, b):
    """How many pixels differ in blue, and by how much in all."""
    histogram = ImageChops.difference(a.getchannel("B"), b.getchannel("B")).histogram()
    return sum(histogram[1:]), sum(i * n for i, n in enumerate(histogram))


def find_frame(args, scratch, picture, few):
    """The renderer's frame nearest the picture in blue: batches of frames at
    a tenth of the size, then each frame around the three nearest of a batch
    at full size, until one differs in few pixels at most."""
    width, rows = picture.size
    small = picture.crop((0, 0, width, rows // SMALL * SMALL)).resize(
        (width // SMALL, rows // SMALL), Image.BOX)
    best = None
    for first in range(0, LAST, BATCH):
        coarse = render(args, scratch, (MODE[0] // SMALL, MODE[1] // SMALL), first, BATCH)
        nearest = sorted(coarse, key=lambda k: blue_off(coarse[k].crop((0, 0) + small.size),
                                                        small)[1])[:3]
        for n in nearest:
            for k, frame in render(args, scratch, MODE[:2], max(n - 3, 0), 7).items():
                frame = frame.crop((0, 0) + picture.size)
                off = blue_off(frame, picture)
                if best is None or off[1] < best[0][1]:
                    best = (off, k, frame)
        if best[0][0] <= few:
            break
    return best[1], best[2]


def without_text(image):
    image = image.copy()
    ImageDraw.Draw(image).rectangle((TEXT[0], TEXT[1], TEXT[2] - 1, TEXT[3] - 1), fill=0)
    return image


def compare(args, scratch, p, out):
    v = p.wait_for("640x480x16", lambda v: cube_drawn(v) and five_six_five(v.colours()),
                   "the cube is drawn in 640x480x16, every colour a 5-6-5 level")
    # Wine's desktop is the mode's size: the picture's bottom rows fall off.
    picture = without_text(v.shot.image.crop((0, v.top, MODE[0], MODE[1])))
    # Stopped, the cube still takes turns of nothing each frame, whose
    # rounding may move a pixel or two of an edge.
    few = picture.width * picture.height // 1000
    started = time.time()
    k, frame = find_frame(args, scratch, picture, few)
    print("  the nearest frame: %d (%.1f s)" % (k, time.time() - started), flush=True)
    alike(picture, without_text(frame), k, few, out)


def alike(picture, frame, k, few, out):
    """The screen's picture against the renderer's frame k."""
    frame.save(os.path.join(out, "kelvo-render-frame-%d.png" % k))
    bands = [ImageChops.difference(a, b) for a, b in zip(picture.split(), frame.split())]
    moved = sum(bands[2].histogram()[1:])
    check(moved <= few, "frame %d's blue is the screen's but for %d pixels (see "
          "kelvo-render-frame-%d.png)" % (k, moved, k))
    # Red and blue alike, green within one step of six bits, but for as few.
    off = [(r, g, b) for r, g, b in zip(*(b.getdata() for b in bands)) if r or g > 4 or b]
    if len(off) > few:
        Image.merge("RGB", bands).point(lambda x: 255 if x else 0).save(
            os.path.join(out, "differences.png"))
        raise Failure("the screen's colours are not the frame's: %d pixels differ in red or "
                      "blue or by more than one step of six bits in green, by up to %d, %d and "
                      "%d (see differences.png)"
                      % ((len(off),) + tuple(max(d[i] for d in off) for i in range(3))))
    check(True, "its colours are the screen's: red and blue alike, green within one step of "
          "six bits, but for %d pixels" % len(off))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True, help="kelvo-cube.exe")
    parser.add_argument("--modes", required=True, help="kelvo-wine-modes.exe")
    parser.add_argument("--render", required=True, help="the native kelvo-render")
    parser.add_argument("--assets", required=True, help="the data files' folder")
    parser.add_argument("--prefix", required=True, help="the Wine prefix to make or use")
    parser.add_argument("--out", required=True, help="folder for the screenshots")
    args = parser.parse_args()
    missing = missing_tools(["Xvfb", "xdotool", "xmessage", "xwininfo"])
    if not (shutil.which("wine") or shutil.which("wine64")):
        missing.append("wine")
    if missing:
        print("skipped: %s not installed (scripts/setup-deps.sh --windows)" % ", ".join(missing))
        return 77
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    print("screenshots go to " + args.out, flush=True)
    exe = os.path.abspath(args.program)
    try:
        wine = Wine(exe, os.path.abspath(args.prefix), args.out)
    except Skip as e:
        print("skipped: %s" % e)
        return 77
    started = time.time()
    try:
        # The renderer's frames in memory where there is a tmpfs.
        memory = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
        with tempfile.TemporaryDirectory(dir=memory) as scratch:
            wine.start_display(DESKTOP_W, DESKTOP_H)
            wine.make_prefix()
            modes = reported_modes(wine, os.path.abspath(args.modes))
            check(MODE in modes, "Wine reports %dx%dx%d" % MODE)
            p = Program(wine, exe, scratch, "kelvo-cube")
            try:
                p.wait_window(TITLE)
                wine.xdotool("mousemove", "320", "240")
                stop_soon(p)
                choose_by_mouse(p, modes, MODE)
                compare(args, scratch, p, args.out)
                p.quit("the program")
            finally:
                p.kill()
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e, flush=True)
        print("screenshots and the program's output are in " + args.out)
        return 1
    finally:
        wine.stop()
    print("passed in %.0f s; screenshots are in %s" % (time.time() - started, args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
