#!/usr/bin/env python3
"""kelvo-cube.exe under Wine, used as a person would: the Windows program in a
Wine virtual desktop on its own Xvfb display, driven with xdotool, its screen
read back with xwd and checked pixel by pixel. Three runs: the program as it
is; the same with KELVO_PITCH_COPY=1, which draws every frame through the
contiguous buffer that devices with longer rows need; and a start-up without
data files. Every screenshot is kept as a PNG in the folder given by --out.

Wine shows the DirectDraw picture in the window's client area, below its
menu bar: the picture's top is found, not assumed.

Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing, or
this machine cannot run the program's kind of Wine).
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from x_session import (Failure, XScreen, check, clusters, differing_rows,  # noqa: E402
                       wait_until)
from wine_setup import Skip, find_loader, make_prefix, stop_wineserver, wine_env  # noqa: E402

DESKTOP_W, DESKTOP_H = 1024, 768
TITLE = "Kelvo Textured Cube"
ABOUT = "About Textured Cube"
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
# The levels of a 5-6-5 pixel, Wine's only 16-bit format, as X shows them.
FIVE = {(v << 3) | (v >> 2) for v in range(32)}
SIX = {(v << 2) | (v >> 4) for v in range(64)}


# ---- What the screen shows ----

class View:
    """The display mode's picture inside a screenshot: Wine puts it at the
    left edge, top below the menu bar, and cuts what falls off the bottom."""

    def __init__(self, shot, width, height, top):
        self.shot, self.width, self.height, self.top = shot, width, height, top
        self.visible = min(height, shot.height - top)

    def pixel(self, x, y):
        return self.shot.pixel(x, self.top + y)

    def count(self, left, top, right, bottom, test):
        bottom = min(bottom, self.visible)
        return sum(1 for y in range(top, bottom) for x in range(left, right)
                   if test(self.pixel(x, y)))

    def colours(self):
        return {self.pixel(x, y) for y in range(self.visible // 5, self.visible * 4 // 5, 2)
                for x in range(self.width // 5, self.width * 4 // 5, 2)}

    def rows(self, top, bottom):
        w = self.shot.width * 3
        return [self.shot.rgb[(self.top + y) * w:(self.top + y) * w + self.width * 3]
                for y in range(top, min(bottom, self.visible))]


def cube_drawn(v):
    area = (v.width // 2) * (v.visible // 2)
    lit = v.count(v.width // 4, v.visible // 4, v.width * 3 // 4, v.visible * 3 // 4,
                  lambda p: p != BLACK)
    return lit > area // 40


def text_pixels(v):
    return v.count(0, 10, 80, 28, lambda p: p == WHITE)


def five_six_five(colours):
    return all(r in FIVE and g in SIX and b in FIVE for r, g, b in colours)


# ---- Wine and the display ----

class Wine(XScreen):
    """Wine in a virtual desktop on an X display of its own."""

    def __init__(self, exe, prefix, out):
        super().__init__(out, wine_env(prefix))
        self.loader = find_loader(exe)

    def wine(self, *args, timeout=60, **kw):
        return subprocess.run([self.loader] + list(args), env=self.env, timeout=timeout,
                              capture_output=True, **kw)

    def make_prefix(self):
        """A virtual desktop (mode switches fail without one), the steady GDI
        renderer and no crash dialog."""
        make_prefix(self.loader, self.env, [
            ("HKCU\\Software\\Wine\\Direct3D", "renderer", "REG_SZ", "gdi"),
            ("HKCU\\Software\\Wine\\Explorer", "Desktop", "REG_SZ", "Default"),
            ("HKCU\\Software\\Wine\\Explorer\\Desktops", "Default", "REG_SZ",
             "%dx%d" % (DESKTOP_W, DESKTOP_H)),
            ("HKCU\\Software\\Wine\\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
        ])

    def stop(self):
        stop_wineserver(self.loader, self.env)
        self.stop_display()

    def has_window(self, name):
        return self.run("xdotool", "search", "--name", "^%s$" % name).returncode == 0

    def desktop_size(self):
        tree = self.run("xwininfo", "-root", "-tree").stdout.decode()
        for line in tree.splitlines():
            if "Wine desktop" in line:
                for word in line.split():
                    if "x" in word and "+" in word:
                        w, rest = word.split("x", 1)
                        return int(w), int(rest.split("+")[0])
        return None


class Program:
    """One run of the exe, in the virtual desktop."""

    def __init__(self, wine, exe, cwd, label, extra_env=None):
        self.wine, self.label = wine, label
        env = dict(wine.env, **(extra_env or {}))
        self.log = open(os.path.join(wine.out, label + ".log"), "wb")
        self.process = subprocess.Popen([wine.loader, exe], cwd=cwd, env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        self.mode = (640, 480)

    def wait_window(self, name, present=True, timeout=30):
        deadline = time.time() + timeout
        while self.wine.has_window(name) != present:
            if time.time() > deadline:
                raise Failure("the window \"%s\" did not %s" % (name, "appear" if present
                                                               else "go away"))
            if present and self.process.poll() is not None:
                raise Failure("the program ended (status %d) before \"%s\" appeared"
                              % (self.process.returncode, name))
            time.sleep(0.2)

    def top(self, shot):
        """The picture's first row: below the white menu bar at the right end
        of the bar, where no title is."""
        x = self.mode[0] - 8
        y = 0
        while y < 60 and shot.pixel(x, y) != BLACK:
            y += 1
        return y

    def view(self, label):
        shot = self.wine.shot(label)
        return View(shot, self.mode[0], self.mode[1], self.top(shot))

    def wait_for(self, label, test, what, timeout=8.0):
        return wait_until(lambda: self.view(label), test, what, timeout)

    def bar_titles(self, v):
        xs = [x for x in range(min(v.width, 300)) for y in range(3, v.top - 3)
              if max(v.shot.pixel(x, y)) < 100]
        return clusters(xs, 6)

    def choose_mode(self, keys, mode, label):
        """Opens "Modes" with the mouse, then chooses an item with the keys."""
        v = self.view(label + "-before")
        titles = self.bar_titles(v)
        check(len(titles) == 3, "the menu bar holds three titles (&Cube, &Options, Modes)")
        modes = titles[2]
        self.wine.click((modes[0] + modes[1]) // 2, v.top // 2)
        time.sleep(0.5)
        self.wine.key(*keys)
        self.mode = mode
        deadline = time.time() + 10
        while self.wine.desktop_size() != mode:
            if time.time() > deadline:
                raise Failure("the display did not become %dx%d (the desktop is %s)"
                              % (mode + (self.wine.desktop_size(),)))
            time.sleep(0.2)
        # Back to a place over the picture where no click lands.
        self.wine.xdotool("mousemove", str(mode[0] // 2), str(mode[1] // 2))

    def quit(self, what):
        self.wine.key("Escape")
        try:
            status = self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not quit after Escape")
        check(status == 0, "%s: Escape quits with status %d" % (what, status))

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(timeout=10)
        self.log.close()


def reported_modes(wine, probe):
    done = wine.wine(probe, timeout=60)
    if done.returncode != 0:
        raise Failure("kelvo-wine-modes.exe: " + done.stderr.decode())
    modes = []
    for line in done.stdout.decode().split():
        w, h, d = (int(n) for n in line.split("x"))
        modes.append((w, h, d))
    return modes


def main_run(wine, exe, scratch, modes):
    # Started away from its data, which it finds beside itself.
    p = Program(wine, exe, scratch, "kelvo-cube")
    try:
        p.wait_window(TITLE)
        wine.xdotool("mousemove", "320", "240")
        print("it starts and shows the textured cube", flush=True)
        start = p.wait_for("start", lambda v: cube_drawn(v) and text_pixels(v) > 20,
                           "the cube and the frame rate are drawn in 640x480")
        check(5 <= start.top <= 40, "the picture starts below the menu bar, at row %d"
              % start.top)
        colours = start.colours()
        check(len(colours) > 30, "the cube is textured (%d colours)" % len(colours))
        check(not five_six_five(colours), "8 bits per pixel: the palette's colours, not "
              "16-bit levels")
        p.wait_for("turning", lambda v: differing_rows(start, v) > 50, "the cube turns")

        print("keypad 5 stops the cube", flush=True)
        p.wine.key("KP_5")
        time.sleep(0.6)
        before = p.view("stopped")
        time.sleep(0.6)
        after = p.view("stopped")
        check(differing_rows(before, after) == 0, "two screenshots of the stopped cube are alike")

        print("digit keys reach DirectInput and change the picture", flush=True)
        previous = after
        for k in "23456":
            p.wine.key(k)
            previous = p.wait_for("key" + k, lambda v, q=previous: differing_rows(q, v) > 20,
                                  "key %s changes the picture" % k)
        p.wine.key("1")

        print("the \"Modes\" menu holds the %d modes Wine reports" % len(modes), flush=True)
        first, last = modes[0], modes[-1]
        # Down from no selection: the first item; once more round the list,
        # the first again only if the menu has exactly these many items.
        p.choose_mode(["Down"] * (len(modes) + 1) + ["Return"], first[:2], "modes-first")
        p.wait_for("mode-first", cube_drawn, "Down %d times and Enter: the first mode, %dx%dx%d"
                   % ((len(modes) + 1,) + first))
        p.choose_mode(["Up", "Return"], last[:2], "modes-last")
        p.wait_for("mode-last", cube_drawn, "Up and Enter: the last mode, %dx%dx%d" % last)
        target = modes.index((800, 600, 16))
        p.choose_mode(["Down"] * (target + 1) + ["Return"], (800, 600), "modes-800x600x16")
        switched = p.wait_for("800x600x16", lambda v: cube_drawn(v) and text_pixels(v) > 20,
                              "item %d switches to 800x600 and the cube and text are drawn"
                              % (target + 1))
        colours = switched.colours()
        check(len(colours) > 20 and five_six_five(colours),
              "16 bits per pixel: every colour is a 16-bit level (%d colours)" % len(colours))

        print("F1 opens the About box and Enter closes it", flush=True)
        p.wine.key("KP_8")
        turning = p.view("turning-again")
        p.wait_for("turning-again", lambda v: differing_rows(turning, v) > 50,
                   "keypad 8 turns the cube again")
        p.wine.key("F1")
        p.wait_window(ABOUT)
        check(True, "the About box opened")
        time.sleep(0.5)
        still = p.view("about")
        time.sleep(0.6)
        check(differing_rows(still, p.view("about")) == 0, "nothing is drawn while it is open")
        p.wine.key("Escape")
        time.sleep(0.8)
        check(p.wine.has_window(ABOUT), "Escape does not close it")
        p.wine.key("Return")
        p.wait_window(ABOUT, present=False, timeout=10)
        check(True, "Enter closes it")
        resumed = p.view("after-about")
        p.wait_for("after-about", lambda v: differing_rows(resumed, v) > 50,
                   "drawing goes on after the box")

        print("Escape quits with status 0", flush=True)
        p.quit("the program")
    finally:
        p.kill()


def copy_run(wine, exe, scratch, modes):
    p = Program(wine, exe, scratch, "kelvo-cube-pitch-copy", {"KELVO_PITCH_COPY": "1"})
    try:
        p.wait_window(TITLE)
        wine.xdotool("mousemove", "320", "240")
        start = p.wait_for("copy-start", lambda v: cube_drawn(v) and text_pixels(v) > 20,
                           "through the contiguous buffer: the cube, and the text on top")
        colours = start.colours()
        check(len(colours) > 30 and not five_six_five(colours),
              "the cube is textured with the 8-bit palette's colours (%d colours)" % len(colours))
        p.wait_for("copy-turning", lambda v: differing_rows(start, v) > 50, "the cube turns")
        p.wine.key("KP_5")
        time.sleep(0.6)
        stopped = p.view("copy-stopped")
        p.wine.key("3")
        p.wait_for("copy-key3", lambda v: differing_rows(stopped, v) > 20,
                   "key 3 changes the picture")
        target = modes.index((800, 600, 16))
        p.choose_mode(["Down"] * (target + 1) + ["Return"], (800, 600), "copy-modes")
        switched = p.wait_for("copy-800x600x16", lambda v: cube_drawn(v) and text_pixels(v) > 20,
                              "800x600x16 through the contiguous buffer: the cube and the text")
        check(five_six_five(switched.colours()), "every colour is a 16-bit level")
        p.quit("with KELVO_PITCH_COPY=1")
    finally:
        p.kill()


def failure_run(wine, exe, scratch):
    """No data files beside the program or in its folder: a message box says
    why, and the status is not 0."""
    lonely = os.path.join(scratch, "alone")
    os.makedirs(lonely)
    shutil.copy(exe, lonely)
    p = Program(wine, os.path.join(lonely, os.path.basename(exe)), lonely, "kelvo-cube-no-data")
    try:
        p.wait_window(TITLE)
        deadline = time.time() + 15
        while True:
            shot = wine.shot("no-data")
            # The box's face, a light grey, over the black window.
            face = sum(1 for y in range(0, shot.height, 2) for x in range(0, shot.width, 2)
                       if shot.pixel(x, y) == (245, 245, 245))
            if face > 2000:
                break
            if time.time() > deadline:
                raise Failure("no message box appeared (see %s.png)" % shot.name)
            time.sleep(0.5)
        check(True, "a message box appears (see %s.png)" % shot.name)
        wine.key("Return")
        try:
            status = p.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after its message box")
        check(status != 0, "the program ends with status %d" % status)
        output = open(os.path.join(wine.out, "kelvo-cube-no-data.log"), "rb").read()
        check(b"start-up failed" not in output, "nothing goes to a console the user cannot see")
    finally:
        p.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True, help="kelvo-cube.exe")
    parser.add_argument("--modes", required=True, help="kelvo-wine-modes.exe")
    parser.add_argument("--prefix", required=True, help="the Wine prefix to make or use")
    parser.add_argument("--out", required=True, help="folder for the screenshots")
    args = parser.parse_args()
    missing = [t for t in ("Xvfb", "xdotool", "xwd", "xwininfo") if not shutil.which(t)]
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
        with tempfile.TemporaryDirectory() as scratch:
            wine.start_display(DESKTOP_W, DESKTOP_H)
            wine.make_prefix()
            modes = [m for m in reported_modes(wine, os.path.abspath(args.modes))
                     if m[2] in (8, 16, 24, 32) and m[0] <= 0xFFF and m[1] <= 0xFFF]
            check((800, 600, 16) in modes and len(modes) > 2,
                  "Wine reports %d usable modes, 800x600x16 among them" % len(modes))
            main_run(wine, exe, scratch, modes)
            copy_run(wine, exe, scratch, modes)
            failure_run(wine, exe, scratch)
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
