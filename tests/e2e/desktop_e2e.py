#!/usr/bin/env python3
"""kelvo-cube on a desktop, used as a person would: the real program under its
own Xvfb display, driven with xdotool, its screen read back as the user sees
it and checked. Every screenshot is kept as a PNG in the folder given by --out.
Then what goes wrong around it: no display at all, the X server going away,
the window killed, and many mode switches between the smallest and the
largest mode, which must not make the program grow (--trips; --long for the
500 round trips to run by hand).

Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
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
sys.dont_write_bytecode = True
from screen_checks import (BLACK, CLASSIC_MODES, FACE, FIVE_BIT, MODE_1600x1200x8,  # noqa: E402
                           MODE_1600x1200x32, MODE_320x200x8, MODE_640x400x8, MODE_640x400x16,
                           MODE_800x600x16, NAVY, View, about_shown, caption_shown, checked,
                           cube_drawn, differences_below_bar, differing_rows, mode_columns,
                           mode_steps, near, popup_box, popup_rows, stop_shade_and_pause,
                           text_pixels, text_rows)
from x_session import (SCREEN_W, Failure, Session, check, error_lines,  # noqa: E402
                       missing_tools, resident_mb, start_xvfb, stop_process)

# The classic list, then the desktop's own size (960x720 here), each at four depths.
MODE_COUNT = CLASSIC_MODES + 4
# Resident size after many round trips, against after the first ten.
GROWTH_BOUND = 1.10


def mode_keys(index):
    return mode_steps(index, MODE_COUNT)


def menus_put_back(s, still, titles, mode):
    """Pop-ups opened with the mouse leave nothing behind when they close or
    give way to another: the paused picture under them is as it was."""
    print("a pop-up put away with Escape or the mouse leaves the picture as it was", flush=True)
    options, modes, cube = titles[1], titles[2], titles[0]

    def leave_and_pause_again(label):
        s.key("Escape")
        s.wait_for(label + "-left", mode, cube_drawn, "a second Escape leaves the menu")
        s.click(*still.to_screen(320, 300))
        s.wait_for(label + "-paused", mode, caption_shown, "a click pauses again")
        time.sleep(0.4)
        return View(s.shot(label + "-still"), *mode)

    s.click(*still.to_screen((options[0] + options[1]) // 2, 28))
    s.wait_for("put-back-options", mode, lambda v: len(popup_rows(v, options[0] - 6)) == 6,
               "a click on \"&Options\" opens its pop-up")
    s.key("Escape")
    s.wait_for("put-back-escape", mode, lambda v: differences_below_bar(still, v)[0] == 0,
               "Escape closes the pop-up and the picture under it is back")
    still = leave_and_pause_again("put-back-options")

    s.click(*still.to_screen((modes[0] + modes[1]) // 2, 28))
    s.wait_for("put-back-modes", mode, lambda v: len(popup_rows(v, modes[0] - 6)) >= 20,
               "a click on \"Modes\" opens the list")
    s.xdotool("mousemove", *map(str, still.to_screen((cube[0] + cube[1]) // 2, 28)))

    def only_cube(v):
        # The Cube pop-up's box, found as popup_box does, give or take its
        # border; the Modes list reached far to the right of it.
        right, bottom = popup_box(v, cube[0] - 6)
        n, box = differences_below_bar(still, v)
        print("    %d pixels differ from the paused picture, within %s" % (n, box), flush=True)
        return (len(popup_rows(v, cube[0] - 6)) == 2 and box is not None and
                box[0] >= cube[0] - 8 and box[2] <= right + 2 and box[3] <= bottom + 2)

    s.wait_for("put-back-slide", mode, only_cube,
               "sliding onto \"&Cube\" opens its pop-up and the Modes list is gone")
    s.key("Escape")
    s.wait_for("put-back-cube-escape", mode, lambda v: differences_below_bar(still, v)[0] == 0,
               "Escape closes the Cube pop-up and the picture under it is back")
    leave_and_pause_again("put-back-cube")


def session(s, scratch):
    mode = (640, 480)
    s.start_display()
    s.start_program(scratch)

    print("it starts and shows the textured cube", flush=True)
    start = s.wait_for("start", mode, lambda v: cube_drawn(v) and text_pixels(v) > 20,
                       "the cube and the frame rate are drawn in 640x480")
    colours = {start.pixel(x, y) for y in range(120, 360, 2) for x in range(160, 480, 2)}
    check(len(colours) > 30, "the cube is textured (%d colours)" % len(colours))
    check(not all(c in FIVE_BIT for p in colours for c in p),
          "8 bits per pixel: the palette's colours are not all 5-5-5 levels")
    check(start.shot.pixel(10, 300) == BLACK and start.shot.pixel(SCREEN_W - 10, 300) == BLACK,
          "black bars beside the 640x480 picture")
    s.wait_for("turning", mode, lambda v: differing_rows(start, v) > 50, "the cube turns")

    paused, still, titles = stop_shade_and_pause(s, mode, "23456")
    menus_put_back(s, still, titles, mode)

    print("\"&Options\" then \"&Phong shading\\t4\" checks that item", flush=True)
    options = titles[1]
    s.click(*paused.to_screen((options[0] + options[1]) // 2, 28))
    left = options[0] - 6
    menu = s.wait_for("options", mode, lambda v: len(popup_rows(v, left)) == 6,
                      "the Options pop-up shows its six items")
    bands = popup_rows(menu, left)
    s.click(*menu.to_screen(left + 40, (bands[3][0] + bands[3][1]) // 2))
    s.wait_for("phong", mode, cube_drawn, "choosing an item closes the menu and drawing goes on")
    # A click on a title while the cube runs opens that menu, as on Windows.
    s.click(*menu.to_screen((options[0] + options[1]) // 2, 28))
    menu = s.wait_for("options-again", mode, lambda v: len(popup_rows(v, left)) == 6,
                      "the Options pop-up opens again")
    bands = popup_rows(menu, left)
    check(checked(menu, left, bands[3]), "\"&Phong shading\" has a check mark")
    for i in (1, 2, 4, 5):
        check(not checked(menu, left, bands[i]), "item %d has no check mark" % i)
    s.key("Escape", "Escape")
    s.wait_for("menu-closed", mode, cube_drawn, "Escape twice leaves the menu")

    print("\"Modes\" then 800x600x16 switches the mode", flush=True)
    modes = titles[2]
    s.click(*menu.to_screen((modes[0] + modes[1]) // 2, 28))
    left = modes[0] - 6
    listing = s.wait_for("modes", mode, lambda v: len(popup_rows(v, left)) >= 20,
                         "the Modes pop-up is open")
    columns = mode_columns(listing, left)
    check(len(columns) == 2, "the modes are listed in two columns")
    first, second = columns
    check(len(first) + len(second) == MODE_COUNT,
          "all %d modes can be reached (%d + %d)" % (MODE_COUNT, len(first), len(second)))
    band = first[MODE_800x600x16]
    s.click(*listing.to_screen(left + 40, (band[0] + band[1]) // 2))
    mode = (800, 600)
    switched = s.wait_for("800x600x16", mode, lambda v: cube_drawn(v) and text_pixels(v) > 20,
                          "the frame rate is drawn at the top left of an 800x600 screen")
    # The font keeps its size in screen pixels, so on the taller screen the
    # frame-rate text covers fewer rows of the monitor.
    check(text_rows(switched) < text_rows(start),
          "the text is smaller on the monitor: the screen has more rows (%d < %d)"
          % (text_rows(switched), text_rows(start)))
    colours = {switched.pixel(x, y) for y in range(150, 450, 2) for x in range(200, 600, 2)}
    check(len(colours) > 30 and all(c in FIVE_BIT for p in colours for c in p),
          "16 bits per pixel: every colour of the cube is made of 5-5-5 levels (%d colours)"
          % len(colours))

    print("F1 opens the About box and Enter closes it", flush=True)
    s.key("F1")
    # 16 bits per pixel: the window colours come out as their 5-5-5 levels.
    about = s.wait_for("about", mode,
                       about_shown,
                       "the About box with its caption is shown; the main caption is inactive")
    box = about.count(20, 40, 300, 240, lambda p: near(p, FACE))
    check(box > 10000, "the box's face is there (%d pixels)" % box)
    s.key("Escape")
    time.sleep(0.8)
    kept = View(s.shot("about-escape"), *mode)
    check(kept.count(20, 40, 300, 240, lambda p: near(p, NAVY)) > 1500,
          "Escape does not close the About box")
    s.key("Return")
    s.wait_for("after-about", mode, lambda v: cube_drawn(v) and text_pixels(v) > 20,
               "Enter closes the box and drawing goes on")

    print("Escape quits with status 0", flush=True)
    s.key("Escape")
    try:
        status = s.app.wait(timeout=15)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not quit after Escape")
    check(status == 0, "the program quit with status %d" % status)


def ends_at_once(app, err, what):
    """The program ends by itself within two seconds, with one line saying
    what happened and a status that says it failed."""
    start = time.time()
    try:
        status = app.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure(what + ": the program still runs after 10 s")
    took = time.time() - start
    lines = error_lines(err)
    check(took <= 2.0, "%s: the program ended after %.2f s" % (what, took))
    check(status != 0, "%s: with status %d" % (what, status))
    check(len(lines) == 1 and "lost the display" in lines[0],
          "%s: one line on standard error: %r" % (what, lines))


def no_display(s, scratch):
    print("without a display it stops at once and says so", flush=True)
    plain = {k: v for k, v in s.env.items()
             if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR")}
    empty = os.path.join(scratch, "runtime")
    os.makedirs(empty, mode=0o700, exist_ok=True)
    # With and without a runtime folder where a Wayland compositor could be.
    for env in (plain, dict(plain, XDG_RUNTIME_DIR=empty)):
        start = time.time()
        done = subprocess.run([s.program], cwd=scratch, env=env, capture_output=True, timeout=30)
        lines = [l for l in done.stderr.decode(errors="replace").splitlines() if l.strip()]
        where = "XDG_RUNTIME_DIR set" if "XDG_RUNTIME_DIR" in env else "no XDG_RUNTIME_DIR"
        check(done.returncode == 1 and time.time() - start < 10,
              "%s: status %d at once" % (where, done.returncode))
        check(len(lines) == 1 and "no display" in lines[0] and "kelvo-render" in lines[0],
              "%s: one line naming the lack and kelvo-render: %r" % (where, lines))
    print("the off-screen driver runs when asked for by name", flush=True)
    with open(os.path.join(s.out, "offscreen.err"), "wb") as err:
        app = subprocess.Popen([s.program], cwd=scratch, env=dict(plain, SDL_VIDEODRIVER="offscreen"),
                               stdout=subprocess.DEVNULL, stderr=err)
    s.apps.append(app)
    time.sleep(3)
    check(app.poll() is None, "SDL_VIDEODRIVER=offscreen: still running after 3 s")
    stop_process(app)


def display_lost(s, scratch):
    print("killing its window ends it at once", flush=True)
    window = s.start_program(scratch, "windowkill")
    s.wait_for("windowkill", (640, 480), cube_drawn, "the cube runs")
    s.xdotool("windowkill", window)
    ends_at_once(s.app, s.err, "xdotool windowkill")

    print("the X server going away ends it at once", flush=True)
    xvfb, display = start_xvfb(640, 480)
    try:
        env = dict(s.env, DISPLAY=display)
        err = os.path.join(s.out, "server-gone.err")
        with open(err, "wb") as e:
            app = subprocess.Popen([s.program], cwd=scratch, env=env, stdout=subprocess.DEVNULL,
                                   stderr=e)
        s.apps.append(app)
        found = subprocess.run(["xdotool", "search", "--sync", "--name", "Kelvo Textured Cube"],
                               env=env, capture_output=True, timeout=30)
        check(found.returncode == 0, "the window appeared on a second Xvfb")
        time.sleep(1)
        xvfb.terminate()
        ends_at_once(app, err, "the X server ended")
    finally:
        stop_process(xvfb, terminate=True)


def caption_rows(v):
    """Monitor rows of the caption's blue in the middle of the picture."""
    x = v.x0 + v.pw // 2
    return sum(1 for y in range(0, v.y0 + v.ph // 8) if near(v.shot.pixel(x, y), NAVY))


def in_between(v, left, top, right, bottom):
    """Monitor pixels over an emulated rectangle that are greys of none of
    the levels the menus are drawn with: the blends an average makes at the
    letters' and lines' edges, which dropping pixels never makes."""
    shot, count = v.shot, 0
    for y in range(v.y0 + top * v.ph // v.height, v.y0 + bottom * v.ph // v.height):
        for x in range(v.x0 + left * v.pw // v.width, v.x0 + right * v.pw // v.width):
            p = shot.pixel(x, y)
            if max(p) - min(p) <= 12 and all(abs(p[0] - g) > 6 for g in (0, 128, 192, 255)):
                count += 1
    return count


def quiet_at(s, index, caption, label):
    """Choose a 640x400 mode and open the menu bar; waits until the caption,
    in exactly the colour the mode shows it in, spans the whole width: only
    640x400 fills the screen, and by then every key sent before is done."""
    s.key(*(mode_keys(index) + ["F10"]))
    deadline = time.time() + 120
    while True:
        shot = s.shot(label)
        if shot.pixel(20, 5) == caption and shot.pixel(SCREEN_W - 20, 5) == caption:
            return
        if time.time() > deadline:
            raise Failure("the program did not reach the mode (see %s.png)" % shot.name)
        time.sleep(0.5)


def large_modes(s, scratch, trips, sanitized):
    print("1600x1200 on a smaller screen is shrunk by averaging", flush=True)
    s.start_program(scratch, "large-modes")
    s.wait_for("large-start", (640, 480), cube_drawn, "the cube runs")
    s.key(*mode_keys(MODE_1600x1200x8), "F10")
    mode = (1600, 1200)
    # The caption, 18 rows of the screen, is thin on the monitor only when
    # the screen has 1200 of them.
    s.wait_for("1600x1200-bar", mode, lambda v: 4 <= caption_rows(v) <= 14,
               "1600x1200x8 with its menu bar", timeout=60)
    s.key("Right", "Down")
    menu = s.wait_for("1600x1200-menu", mode, lambda v: near(v.pixel(60, 60), FACE),
                      "the Options pop-up is open", timeout=30)
    # The bar and the pop-up under "&Options".
    blended = in_between(menu, 0, 20, 500, 150)
    check(blended > 300, "the menus' letters are averaged into the face (%d blended pixels), "
                         "not cut into dots" % blended)
    s.key("Escape", "Escape")

    print("%d round trips between 320x200x8 and 1600x1200x32" % trips, flush=True)
    trip = mode_keys(MODE_1600x1200x32) + mode_keys(MODE_320x200x8)
    first = min(10, trips)
    start = time.time()
    s.key(*(trip * first), delay=5)
    # The caption's navy through 5-5-5, then through the palette: the two
    # stops differ from each other and from anything on the way.
    quiet_at(s, MODE_640x400x16, (0, 0, 132), "after-%d-trips" % first)
    early = resident_mb(s.app.pid)
    print("  resident after %d trips: %.1f MB (%.1f s)" % (first, early, time.time() - start),
          flush=True)
    s.key("Escape")
    for done in range(first, trips, 50):
        s.key(*(trip * min(50, trips - done)), delay=5)
    quiet_at(s, MODE_640x400x8, NAVY, "after-%d-trips" % trips)
    late = resident_mb(s.app.pid)
    print("  resident after %d trips: %.1f MB (%.1f s)" % (trips, late, time.time() - start),
          flush=True)
    if sanitized:
        print("  (a sanitizer build keeps freed memory aside: no bound on its size)")
    else:
        check(late <= early * GROWTH_BOUND,
              "the resident size stays within %d %% of its size after %d trips "
              "(%.1f MB, then %.1f MB)" % (round((GROWTH_BOUND - 1) * 100), first, early, late))
    s.key("Escape")
    s.wait_for("after-trips", (640, 400), cube_drawn, "the cube runs at 640x400x8")
    s.key("Escape")
    try:
        status = s.app.wait(timeout=60)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not quit after Escape")
    check(status == 0, "the program quit with status %d" % status)
    check(error_lines(s.err) == [], "nothing on standard error: %r" % error_lines(s.err)[:5])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--trips", type=int,
                        help="round trips between the smallest and the largest mode (60; 10 "
                             "in a sanitizer build, where only their running is checked)")
    parser.add_argument("--long", action="store_true", help="500 round trips")
    parser.add_argument("--sanitized", action="store_true",
                        help="the program is a sanitizer build: no bound on its memory")
    args = parser.parse_args()
    trips = 500 if args.long else max(args.trips or (10 if args.sanitized else 60), 1)
    missing = missing_tools(["Xvfb", "xdotool", "xmessage"])
    if missing:
        print("skipped: %s not installed (scripts/setup-deps.sh --desktop)" % ", ".join(missing))
        return 77
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    print("screenshots go to " + args.out, flush=True)
    s = Session(os.path.abspath(args.program), args.out)
    with tempfile.TemporaryDirectory() as scratch:
        try:
            # Started away from its data, which it must find by itself.
            session(s, scratch)
            no_display(s, scratch)
            display_lost(s, scratch)
            large_modes(s, scratch, trips, args.sanitized)
        except (Failure, subprocess.TimeoutExpired) as e:
            print("FAILED: %s" % e, flush=True)
            print("screenshots and the program's output are in " + args.out)
            return 1
        finally:
            s.stop()
    print("passed; screenshots are in " + args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
