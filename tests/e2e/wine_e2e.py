#!/usr/bin/env python3
"""kelvo-cube.exe under Wine, used as a person would: the Windows program in a
Wine virtual desktop on its own Xvfb display, driven with xdotool, its screen
read back as the user sees it and checked pixel by pixel: the cube, its menus'
pop-ups, the About box and the message box of a failed start. Three runs: the
program as it is; the same with KELVO_PITCH_COPY=1, which draws every frame
through the contiguous buffer that devices with longer rows need; and a
start-up without data files. Every screenshot is kept as a PNG in the folder
given by --out.

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
from collections import Counter

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from x_session import (Failure, XScreen, check, clusters, differing_rows,  # noqa: E402
                       missing_tools, wait_until)
from wine_setup import (Skip, find_loader, make_prefix, stop_wineserver, wait_wineserver,  # noqa: E402
                        wine_env)

try:
    from PIL import Image, ImageChops, ImageDraw
except ImportError:  # missing_tools() says so
    pass

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


# ---- Menus and dialogs on the screen ----

def far(a, b):
    return sum(abs(x - y) for x, y in zip(a, b)) > 150


def box_at(shot, seed):
    """A pop-up's or a dialog's face around seed: the bounding box (left, top,
    right, bottom; right and bottom outside) of the pixels of seed's light
    colour joined to it; None where seed is not light."""
    face = shot.pixel(*seed)
    if min(face) < 200:
        return None
    mask = same_colour(shot.image, face)
    ImageDraw.floodfill(mask, seed, 128)
    return mask.point(lambda v: 255 if v == 128 else 0).getbbox()


def same_colour(image, colour):
    """255 where image has colour, else 0."""
    r, g, b = ImageChops.difference(image, Image.new("RGB", image.size, colour)).split()
    return ImageChops.lighter(ImageChops.lighter(r, g), b).point(lambda v: 255 if v == 0 else 0)


def ink_lines(shot, box, margin=3):
    """The lines of ink inside a box: pixels far from their row's commonest
    colour (the face, or a selected item's), rows of them a few rows apart
    making one line. Each line: [top, bottom, [(x, y), ...]]."""
    left, top, right, bottom = box
    lines = []
    for y in range(top, bottom):
        row = [shot.pixel(x, y) for x in range(left + margin, right - margin)]
        background = Counter(row).most_common(1)[0][0]
        ink = [(left + margin + i, y) for i, p in enumerate(row) if far(p, background)]
        if not ink:
            continue
        if lines and y - lines[-1][1] <= 3:
            lines[-1][1] = y + 1
            lines[-1][2].extend(ink)
        else:
            lines.append([y, y + 1, ink])
    return lines


def span(line):
    xs = [x for x, _ in line[2]]
    return min(xs), max(xs) + 1


def popup(shot, top, title, items, mark=None):
    """The pop-up of the menu bar's title (the columns of its name) and what
    is wrong with it, None if nothing: its box below the bar from the title's
    left, a line of text for each of its items, and a check mark left of the
    text beside item mark alone."""
    seeds = [(title[0], y) for y in range(top, top + 8)]
    box = next((b for b in (box_at(shot, s) for s in seeds) if b), None)
    if not box:
        return None, "no pop-up below the title at x %d" % title[0]
    left, box_top, right, _ = box
    if not (title[0] - 12 <= left <= title[0] and box_top <= top + 3 and right - left >= 40):
        return None, "no pop-up below the title at x %d (a light area at %s)" % (title[0], box)
    lines = ink_lines(shot, box)
    if len(lines) != items:
        return box, "the pop-up at %s shows %d lines of text, not %d" % (box, len(lines), items)
    starts = [span(line)[0] for line in lines]
    text = sorted(starts)[len(starts) // 2]
    marked = [i for i, x in enumerate(starts) if x < text - 3]
    if marked != ([] if mark is None else [mark]):
        return box, "the pop-up at %s has check marks beside items %s" % (box, marked)
    return box, None


def changed(a, b, rect, top, covered=None):
    """The box of what differs between two shots inside rect, aside from the
    frame-rate text below top and from the box covered; None if nothing."""
    hidden = [(0, top, 120, top + 32)] + ([covered] if covered else [])
    crops = []
    for shot in (a, b):
        image = shot.image.crop(rect)
        draw = ImageDraw.Draw(image)
        for h in hidden:
            draw.rectangle((h[0] - rect[0], h[1] - rect[1], h[2] - 1 - rect[0],
                            h[3] - 1 - rect[1]), fill=BLACK)
        crops.append(image)
    return ImageChops.difference(*crops).getbbox()


def framed(box, top):
    """A pop-up's face with its frame, not above the picture's top."""
    return box[0] - 2, max(box[1] - 2, top), box[2] + 2, box[3] + 2


def windows(wine, name):
    """The X windows of that name, as (left, top, right, bottom) on the
    screen, smallest first."""
    found = wine.run("xdotool", "search", "--name", "^%s$" % name).stdout.decode().split()
    rects = []
    for window in found:
        info = dict(line.strip().split(":", 1) for line in wine.run(
            "xwininfo", "-id", window).stdout.decode().splitlines() if ":" in line)
        if "Width" in info:
            x, y = int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"])
            rects.append((x, y, x + int(info["Width"]), y + int(info["Height"])))
    return sorted(rects, key=lambda r: (r[2] - r[0]) * (r[3] - r[1]))


def dialog(shot, rect):
    """A dialog as shown inside its window's rectangle, and what is wrong with
    it, None if nothing: its face (the box of its colour from a bottom corner)
    fills the window inside the frame and a caption of another colour with a
    title heads it. Returns the face, the lines of ink below the caption and
    the fault."""
    left, top, right, bottom = rect
    face = box_at(shot, (left + 8, bottom - 8))
    if not face or any(abs(a - b) > 6 for a, b in zip(face, rect)):
        return face, [], "the face does not fill the window %s (%s)" % (rect, face)
    lines = ink_lines(shot, face)
    if not lines:
        return face, [], "nothing written on it"
    caption = shot.pixel(face[0] + 5, (lines[0][0] + lines[0][1]) // 2)
    x0, x1 = span(lines[0])
    if not far(caption, shot.pixel(*face[:2])) or x1 - x0 < 40:
        return face, lines, "no caption of another colour with a title at its top"
    return face, lines[1:], None


def centred(face, line, least, most):
    """Whether a line is centred on the face and from least to most of its
    width wide."""
    x0, x1 = span(line)
    width = face[2] - face[0]
    return (abs(x0 + x1 - face[0] - face[2]) <= width // 5
            and least * width <= x1 - x0 <= most * width)


def ok_button(face, line):
    """Whether a line is the OK button: centred, a button's size, a frame
    round it and its name inside."""
    x0, x1 = span(line)
    ink = set(line[2])
    rows = range(line[0], line[1])
    sides = [sum((x, y) in ink for y in rows) for x in (x0, x1 - 1)]
    ends = [sum((x, y) in ink for x in range(x0, x1)) for y in (rows[0], rows[-1])]
    inside = [1 for x, y in ink if x0 + 5 <= x < x1 - 5 and line[0] + 4 <= y < line[1] - 4]
    return (centred(face, line, 0.12, 0.4) and len(rows) >= 12 and len(inside) >= 10
            and min(sides) >= 0.8 * len(rows) and min(ends) >= 0.8 * (x1 - x0))


def colourful(shot, box):
    return sum(1 for y in range(box[1], box[3]) for x in range(box[0], box[2])
               if max(shot.pixel(x, y)) - min(shot.pixel(x, y)) > 100)


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

    def wait_popup(self, label, title, items, mark=None, base=None, gone=None, timeout=5.0):
        """Screenshots until the title's pop-up shows as it should (see
        popup()) and, given the box of the pop-up before, base's picture is
        back there; returns its box."""
        deadline = time.time() + timeout
        while True:
            v = self.view(label)
            box, fault = popup(v.shot, v.top, title, items, mark)
            if not fault and gone and changed(base.shot, v.shot, framed(gone, v.top), v.top,
                                              framed(box, v.top)):
                fault = "the pop-up before is still seen at %s" % (gone,)
            if not fault:
                return box
            if time.time() > deadline:
                raise Failure(fault + " (see %s.png)" % v.shot.name)
            time.sleep(0.3)

    def wait_back(self, label, base, what, timeout=5.0):
        """Screenshots until the screen is base's again, the frame-rate text
        aside: the menu bar and the picture, with nothing left of a pop-up."""
        size = (self.mode[0], self.mode[1])
        deadline = time.time() + timeout
        while True:
            v = self.view(label)
            left = changed(base.shot, v.shot, (0, 0) + size, v.top)
            if not left:
                check(self.process.poll() is None, what)
                return v
            if time.time() > deadline:
                raise Failure("%s: the screen differs from %s.png at %s (see %s.png)"
                              % (what, base.shot.name, left, v.shot.name))
            time.sleep(0.3)

    def wait_dialog(self, name, label, timeout=10.0):
        """Screenshots until the smallest window of that name shows as a
        dialog (see dialog()): its rectangle, the screenshot, its face and its
        lines of ink."""
        deadline = time.time() + timeout
        while True:
            rects = windows(self.wine, name)
            shot = self.wine.shot(label)
            face, lines, fault = dialog(shot, rects[0]) if rects else (None, [], "no window")
            if not fault:
                check(True, "the window \"%s\" shows as a dialog at %s, its face and caption "
                      "in the screenshot" % (name, rects[0]))
                return rects[0], shot, face, lines
            if time.time() > deadline:
                raise Failure("the window \"%s\": %s (see %s.png)" % (name, fault, shot.name))
            time.sleep(0.3)

    def choose_mode(self, keys, mode, label, items=None):
        """Opens "Modes" with the mouse (given its number of items, seeing its
        pop-up), then chooses an item with the keys."""
        v = self.view(label + "-before")
        titles = self.bar_titles(v)
        check(len(titles) == 3, "the menu bar holds three titles (&Cube, &Options, Modes)")
        modes = titles[2]
        self.wine.click((modes[0] + modes[1]) // 2, v.top // 2)
        if items:
            self.wait_popup(label + "-open", modes, items)
            check(True, "a click on \"Modes\" shows its pop-up, a line for each of %d modes"
                  % items)
        else:
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
    """The modes Wine reports that the "Modes" menu lists: 8, 16, 24 and 32
    bits per pixel, sides up to 4095."""
    done = wine.wine(probe, timeout=60)
    if done.returncode != 0:
        raise Failure("kelvo-wine-modes.exe: " + done.stderr.decode())
    modes = []
    for line in done.stdout.decode().split():
        w, h, d = (int(n) for n in line.split("x"))
        if d in (8, 16, 24, 32) and w <= 0xFFF and h <= 0xFFF:
            modes.append((w, h, d))
    return modes


def menus(p, stopped, count):
    """The menu bar's pop-ups over the stopped cube, opened by a click, by Alt
    and by F10, one slid to the next, an item chosen, and the screen back as
    it was after each."""
    base = p.wait_back("menu-base", stopped, "key 1: the picture of no shading again")
    titles = p.bar_titles(base)
    check(len(titles) == 3, "the menu bar holds three titles (&Cube, &Options, Modes)")
    cube, options, modes = titles
    bar = base.top // 2

    print("a click opens \"Options\"; the mouse slides to \"Modes\"", flush=True)
    p.wine.click((options[0] + options[1]) // 2, bar)
    shown = p.wait_popup("options-click", options, 6, mark=0)
    check(True, "a click on \"Options\" shows its pop-up at %s: a line for each of its six "
          "items, the check mark beside the first (no shading) alone" % (shown,))
    p.wine.xdotool("mousemove", str((modes[0] + modes[1]) // 2), str(bar))
    p.wait_popup("slide-modes", modes, count, base=base, gone=shown)
    check(True, "the mouse on \"Modes\" shows its pop-up of %d modes instead, the picture "
          "back where \"Options\"' was" % count)
    p.wine.key("Escape", "Escape")
    p.wine.xdotool("mousemove", str(p.mode[0] // 2), str(p.mode[1] // 2))
    p.wait_back("click-closed", base, "two Escapes close it and leave the menu bar: the "
                "screen is as before, nothing of the pop-ups left")

    # The arrow keys reach the cube too, as the keypad's 4, 6, 8 and 2: Left
    # and Right once each leave it stopped.
    print("Alt and O open \"Options\"; Left and Right slide to \"Cube\" and back", flush=True)
    p.wine.key("alt", "o")
    shown = p.wait_popup("alt", options, 6, mark=0)
    check(True, "Alt and O show \"Options\"' pop-up, its first item selected")
    p.wine.key("Left")
    left = p.wait_popup("alt-left", cube, 2, base=base, gone=shown)
    check(True, "Left shows \"Cube\"'s pop-up of two items instead")
    p.wine.key("Right")
    p.wait_popup("alt-right", options, 6, mark=0, base=base, gone=left)
    check(True, "Right shows \"Options\"' again")
    p.wine.key("Escape", "Escape")
    p.wait_back("alt-closed", base, "two Escapes close it: the screen is as before")

    print("F10 opens the menu bar; a chosen shading moves the check mark", flush=True)
    p.wine.key("F10", "o")
    p.wait_popup("f10", options, 6, mark=0)
    check(True, "F10 and O show \"Options\"' pop-up")
    p.wine.key("p")
    p.wait_for("phong", lambda v: differing_rows(base, v) > 20,
               "P chooses Phong shading: the picture changes")
    p.wine.key("F10", "o")
    p.wait_popup("phong-marked", options, 6, mark=3)
    check(True, "the check mark is beside the fourth item, Phong shading, alone")
    p.wine.key("n")
    p.wait_back("no-shading", base, "N chooses no shading and closes the menu: the screen is "
                "as before")


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
        menus(p, after, len(modes))

        print("the \"Modes\" menu holds the %d modes Wine reports" % len(modes), flush=True)
        first, last = modes[0], modes[-1]
        # Down from no selection: the first item; once more round the list,
        # the first again only if the menu has exactly these many items.
        p.choose_mode(["Down"] * (len(modes) + 1) + ["Return"], first[:2], "modes-first",
                      len(modes))
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
        rect, shot, face, lines = p.wait_dialog(ABOUT, "about-open")
        check(len(lines) >= 3 and centred(face, lines[0], 0.3, 0.95),
              "a line of text centred at its top")
        check(colourful(shot, (face[0], lines[0][1], face[2], lines[-1][0])) > 50,
              "the icon below it, in colour")
        check(ok_button(face, lines[-1]), "the OK button at the bottom: centred, its name in "
              "its frame")
        # The box's face and caption.
        area = (rect[2] - rect[0]) * (rect[3] - rect[1])
        box_colours = [c for _, c in sorted(shot.image.crop(rect).getcolors(area))[-2:]]
        time.sleep(0.3)
        still = p.view("about")
        time.sleep(0.6)
        check(differing_rows(still, p.view("about")) == 0, "nothing is drawn while it is open")
        p.wine.key("Escape")
        time.sleep(0.8)
        check(p.wine.has_window(ABOUT), "Escape does not close it")
        p.wine.key("Return")
        p.wait_window(ABOUT, present=False, timeout=10)
        check(True, "Enter closes it")

        def box_gone(v):
            counts = {c: n for n, c in v.shot.image.crop(rect).getcolors(area)}
            return sum(counts.get(c, 0) for c in box_colours) * 100 < area

        p.wait_for("about-closed", box_gone, "nothing of the box is left where it was: its "
                   "face's and caption's colours are gone")
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
        _, shot, face, lines = p.wait_dialog(TITLE, "no-data", timeout=15)
        check(len(lines) == 2, "a message box of two lines: an icon with the message, a button")
        parts = clusters([x for x, _ in lines[0][2]], 8)
        icon = (parts[0][0], lines[0][0], parts[0][1] + 1, lines[0][1])
        check(colourful(shot, icon) > 50, "the icon at its left, in colour")
        text = parts[-1][1] + 1 - parts[1][0] if len(parts) > 1 else 0
        check(text >= 4 * len("start-up failed: T1.BMP: "),
              "beside it a line of text as wide as a reason (%d pixels)" % text)
        check(ok_button(face, lines[-1]), "the OK button below: centred, its name in its frame")
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
        with tempfile.TemporaryDirectory() as scratch:
            wine.start_display(DESKTOP_W, DESKTOP_H)
            wine.make_prefix()
            modes = reported_modes(wine, os.path.abspath(args.modes))
            check((800, 600, 16) in modes and len(modes) > 2,
                  "Wine reports %d usable modes, 800x600x16 among them" % len(modes))
            main_run(wine, exe, scratch, modes)
            wait_wineserver(wine.loader, wine.env)
            copy_run(wine, exe, scratch, modes)
            wait_wineserver(wine.loader, wine.env)
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
