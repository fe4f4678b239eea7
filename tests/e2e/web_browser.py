#!/usr/bin/env python3
"""kelvo-cube in a browser, used as a person would: the web build's site
served from a local address, opened in Debian's headless Chromium through
Selenium (chromium-driver), keys and clicks sent to the page, its screenshots
checked: the cube and the frame rate, the shading keys and keypad 5, the
paused menu bar, the Options pop-up's check mark, the About box, a display
mode chosen from the Modes menu, and Escape ending the program. Any error in
the browser's console fails it. The page's own figures (window.kelvoStats,
real time) are printed at 640x480x8 and 1600x1200x32, never checked.

Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
"""
import argparse
import functools
import http.server
import io
import os
import shutil
import subprocess
import sys
import threading
import time

# The helpers beside this script, without leaving compiled files in the
# source tree.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True
from screen_checks import (BLACK, CLASSIC_MODES, FACE, FIVE_BIT, MODE_1600x1200x32,  # noqa: E402
                           MODE_800x600x16, NAVY, Failure, Shot, View, about_shown,
                           caption_shown, check, checked, clusters, cube_drawn, differing_rows,
                           mode_columns, mode_steps, near, popup_rows, stop_shade_and_pause,
                           text_pixels, text_rows, wait_until)

try:
    from PIL import Image
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    from selenium.webdriver.common.keys import Keys
    # The X names of keys (as screen_checks and xdotool use them) on a
    # browser's keyboard. Keys.ENTER would be the keypad's Enter.
    KEYS = {"F1": Keys.F1, "F10": Keys.F10, "Return": Keys.RETURN, "Escape": Keys.ESCAPE,
            "Up": Keys.ARROW_UP, "Down": Keys.ARROW_DOWN, "Right": Keys.ARROW_RIGHT,
            "KP_5": Keys.NUMPAD5}
except ImportError:
    webdriver = None

DEBIAN_PYTHON = "/usr/bin/python3"
# The page's size in CSS pixels, at a device pixel ratio of 1: 640x480 and
# 800x600 are shown twice their size, in different places, and 1600x1200
# fills it pixel for pixel.
PAGE_W, PAGE_H = 1600, 1200
STOPPED = "kelvo-cube stopped, reload to start again."


def missing_tools(chromium, chromedriver):
    """What this machine lacks to run the test. A python3 of its own found
    first (pyenv's, a venv's) lacks Debian's Selenium and Pillow: the script
    then starts again under Debian's python3."""
    if webdriver is None and sys.executable != DEBIAN_PYTHON and os.access(DEBIAN_PYTHON,
                                                                            os.X_OK):
        done = subprocess.run([DEBIAN_PYTHON, "-c", "import selenium, PIL"], capture_output=True)
        if done.returncode == 0:
            sys.stdout.flush()
            os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)
    missing = [t for t in (chromium, chromedriver) if not shutil.which(t)]
    if webdriver is None:
        missing.append("Selenium and Pillow (python3-selenium, python3-pil)")
    return missing


class Site:
    """The site folder on 127.0.0.1 at a free port, in a thread of ours; its
    requests are written to a log."""

    def __init__(self, folder, log):
        self.log = open(log, "w")

        class Handler(http.server.SimpleHTTPRequestHandler):
            # Older Pythons serve .wasm as octet-stream, which the browser
            # will not compile while it streams in.
            extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                                  **{".wasm": "application/wasm"})

            def log_message(handler, format, *args):  # noqa: N805
                self.log.write("%s\n" % (format % args))
                self.log.flush()

        self.server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Handler, directory=folder))
        self.url = "http://127.0.0.1:%d/" % self.server.server_port
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self.log.close()


class Browser:
    """Headless Chromium on the page, what a person does there, and what
    they see: screenshots of the page kept as PNGs in out, and the console,
    where any error fails the test at once."""

    def __init__(self, chromium, chromedriver, out):
        self.out = out
        self.count = 0
        self.console = open(os.path.join(out, "console.log"), "w")
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for a in ("--headless=new", "--no-sandbox", "--force-device-scale-factor=1",
                  "--window-size=%d,%d" % (PAGE_W, PAGE_H)):
            options.add_argument(a)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(
            service=Service(chromedriver, log_path=os.path.join(out, "chromedriver.log")),
            options=options)

    def open(self, url):
        d = self.driver
        d.get(url)
        # The window's size holds the browser's own bars too.
        inner = d.execute_script("return [innerWidth, innerHeight]")
        size = d.get_window_size()
        d.set_window_size(size["width"] + PAGE_W - inner[0], size["height"] + PAGE_H - inner[1])
        page = d.execute_script("return [innerWidth, innerHeight, devicePixelRatio]")
        check(page == [PAGE_W, PAGE_H, 1], "the page is %dx%d at a device pixel ratio of 1 (%r)"
              % (PAGE_W, PAGE_H, page))

    def script(self, text):
        return self.driver.execute_script(text)

    def read_console(self):
        """The console's new entries, kept in console.log; fails on an error."""
        errors = []
        for entry in self.driver.get_log("browser"):
            self.console.write("%s %s\n" % (entry["level"], entry["message"]))
            if entry["level"] == "SEVERE":
                errors.append(entry["message"])
        self.console.flush()
        if errors:
            raise Failure("an error in the browser's console: %s" % " | ".join(errors[:3]))

    def key(self, *names, pause=0.05):
        chain = ActionChains(self.driver)
        for name in names:
            chain.send_keys(KEYS.get(name, name)).pause(pause)
        chain.perform()

    def click(self, x, y):
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(x, y).pause(0.1).click()
        actions.perform()

    def shot(self, label):
        self.read_console()
        self.count += 1
        name = "%02d-%s" % (self.count, label)
        image = Image.open(io.BytesIO(self.driver.get_screenshot_as_png()))
        shot = Shot(name, image)
        shot.image.save(os.path.join(self.out, name + ".png"), compress_level=1)
        return shot

    def wait_for(self, label, mode, test, what, timeout=8.0):
        return wait_until(lambda: View(self.shot(label), *mode), test, what, timeout)

    def stats(self, label):
        s = self.script("return window.kelvoStats")
        print("  kelvoStats at %s: %.1f fps, %.2f ms a frame of which %.2f ms presenting "
              "(%d frames so far)" % (label, s["fps"], s["frameMs"], s["presentMs"], s["frames"]),
              flush=True)
        return s

    def stop(self):
        try:
            self.driver.quit()
        finally:
            self.console.close()


def picture_colours(v, left, top, right, bottom):
    return {v.pixel(x, y) for y in range(top, bottom, 2) for x in range(left, right, 2)}


def caption_left(v):
    """The output column where the caption's navy begins on its row."""
    y = v.to_screen(0, 8)[1]
    return next((x for x in range(v.shot.width) if near(v.shot.pixel(x, y), NAVY)), None)


def sharp_double(v):
    """Each emulated pixel shows as a 2x2 block of one colour."""
    box = (v.x0, v.y0, v.x0 + v.pw, v.y0 + v.ph)
    picture = v.shot.image.crop(box)
    halved = picture.resize((v.pw // 2, v.ph // 2), Image.NEAREST)
    return halved.resize((v.pw, v.ph), Image.NEAREST).tobytes() == picture.tobytes()


def about_lines(v):
    """The About box's rows of dark ink under its caption, as (left, right)
    of each: its lines of text, its picture and its button."""
    navy = [(x, y) for y in range(40, 240) for x in range(20, 300) if near(v.pixel(x, y), NAVY)]
    if not navy:
        return []
    left, right = min(x for x, _ in navy), max(x for x, _ in navy)
    top = max(y for _, y in navy) + 2
    bottom = top
    while bottom < v.height and near(v.pixel(left + 2, bottom), FACE):
        bottom += 1
    lines = []
    for band in clusters([y for y in range(top, bottom) for x in range(left + 2, right - 2)
                          if v.pixel(x, y) == BLACK], 2):
        xs = [x for y in range(band[0], band[1] + 1) for x in range(left + 2, right - 2)
              if v.pixel(x, y) == BLACK]
        lines.append((min(xs), max(xs)))
    return lines


def session(b, url):
    mode = (640, 480)
    b.open(url)

    print("it starts and shows the textured cube", flush=True)
    start = b.wait_for("start", mode, lambda v: cube_drawn(v) and text_pixels(v) > 20,
                       "the cube and the frame rate are drawn in 640x480", timeout=30)
    status = b.script("const s = document.getElementById('status'); "
                      "return [s.hidden || getComputedStyle(s).display === 'none', "
                      "document.getElementById('screen').hidden]")
    check(status == [True, False], "the loading line is gone and the canvas shown (%r)" % status)
    colours = picture_colours(start, 160, 120, 480, 360)
    check(len(colours) > 30, "the cube is textured (%d colours)" % len(colours))
    check(not all(c in FIVE_BIT for p in colours for c in p),
          "8 bits per pixel: the palette's colours are not all 5-5-5 levels")
    check(start.shot.pixel(10, PAGE_H // 2) == BLACK and
          start.shot.pixel(PAGE_W - 10, PAGE_H // 2) == BLACK and start.shot.pixel(PAGE_W // 2, 10)
          == BLACK, "black bars around the 640x480 picture")
    check(sharp_double(start), "640x480 is shown twice its size with sharp pixels")
    b.wait_for("turning", mode, lambda v: differing_rows(start, v) > 50, "the cube turns")
    time.sleep(3)
    b.stats("640x480x8")

    paused, _, titles = stop_shade_and_pause(b, mode, "234561")

    print("\"&Options\" then \"&Phong shading\\t4\" checks that item", flush=True)
    options = titles[1]
    left = options[0] - 6
    b.click(*paused.to_screen((options[0] + options[1]) // 2, 28))
    menu = b.wait_for("options", mode, lambda v: len(popup_rows(v, left)) == 6,
                      "the Options pop-up shows its six items")
    bands = popup_rows(menu, left)
    check(checked(menu, left, bands[0]) and
          not any(checked(menu, left, band) for band in bands[1:]),
          "\"&No shading\", chosen last with key 1, alone has a check mark")
    b.click(*menu.to_screen(left + 40, (bands[3][0] + bands[3][1]) // 2))
    b.wait_for("phong", mode, cube_drawn, "choosing an item closes the menu and drawing goes on")
    b.click(*menu.to_screen((options[0] + options[1]) // 2, 28))
    menu = b.wait_for("options-again", mode, lambda v: len(popup_rows(v, left)) == 6,
                      "the Options pop-up opens again")
    bands = popup_rows(menu, left)
    check(checked(menu, left, bands[3]), "\"&Phong shading\" has a check mark")
    for i in (0, 1, 2, 4, 5):
        check(not checked(menu, left, bands[i]), "item %d has no check mark" % i)
    b.key("Escape", "Escape")
    b.wait_for("menu-closed", mode, cube_drawn, "Escape twice leaves the menu")

    print("\"Modes\" then 800x600x16 switches the mode", flush=True)
    modes = titles[2]
    left = modes[0] - 6
    b.click(*menu.to_screen((modes[0] + modes[1]) // 2, 28))
    listing = b.wait_for("modes", mode, lambda v: len(popup_rows(v, left)) >= 20,
                         "the Modes pop-up is open")
    columns = mode_columns(listing, left)
    count = sum(len(c) for c in columns)
    # The classic list, and the page's screen's own size when it is not in it.
    check(len(columns) == 2 and count in (CLASSIC_MODES, CLASSIC_MODES + 4),
          "the modes are listed in two columns (%s items)" % " + ".join(
              str(len(c)) for c in columns))
    band = columns[0][MODE_800x600x16]
    b.click(*listing.to_screen(left + 40, (band[0] + band[1]) // 2))
    mode = (800, 600)
    switched = b.wait_for("800x600x16", mode, lambda v: cube_drawn(v) and text_pixels(v) > 20,
                          "the cube and the frame rate are drawn in 800x600", timeout=15)
    check(sharp_double(switched), "800x600 is shown twice its size with sharp pixels")
    check(text_rows(switched) == text_rows(start),
          "the frame-rate text is as tall as before (%d rows): both are doubled"
          % text_rows(switched))
    # 800x600 doubled fills the page: the caption starts at its left edge,
    # where 640x480's started 160 columns in.
    b.click(*switched.to_screen(400, 450))
    bar = b.wait_for("800x600-paused", mode, caption_shown, "a click shows the caption")
    check(caption_left(bar) == 0 and caption_left(paused) == (PAGE_W - 1280) // 2,
          "the picture is 1600 pixels wide: the caption begins at column %r, 640x480's at %r"
          % (caption_left(bar), caption_left(paused)))
    colours = picture_colours(switched, 200, 150, 600, 450)
    check(len(colours) > 30 and all(c in FIVE_BIT for p in colours for c in p),
          "16 bits per pixel: every colour of the cube is made of 5-5-5 levels (%d colours)"
          % len(colours))

    print("F1 opens the About box and Enter closes it", flush=True)
    b.key("F1")
    about = b.wait_for("about", mode, about_shown,
                       "the About box with its caption is shown; the main caption is inactive")
    face = about.count(20, 40, 300, 240, lambda p: near(p, FACE))
    lines = about_lines(about)
    check(face > 10000 and any(right - left > 150 for left, right in lines),
          "the box's face (%d pixels) and a line of text across it are there (dark rows %s)"
          % (face, lines))
    b.key("Escape")
    time.sleep(0.8)
    kept = View(b.shot("about-escape"), *mode)
    check(about_shown(kept), "Escape does not close the About box")
    b.key("Return")
    b.wait_for("after-about", mode, lambda v: cube_drawn(v) and text_pixels(v) > 20,
               "Enter closes the box and drawing goes on")

    print("1600x1200x32 from the Modes menu with the keyboard", flush=True)
    b.key(*mode_steps(MODE_1600x1200x32, count))
    mode = (1600, 1200)
    large = b.wait_for("1600x1200x32", mode,
                       lambda v: cube_drawn(v) and 0 < text_rows(v) < text_rows(switched),
                       "the frame rate is drawn pixel for pixel: fewer rows than doubled",
                       timeout=20)
    colours = picture_colours(large, 400, 300, 1200, 900)
    check(not all(c in FIVE_BIT for p in colours for c in p),
          "32 bits per pixel: not every colour is made of 5-5-5 levels")
    time.sleep(4)
    b.stats("1600x1200x32")

    print("Escape ends the program", flush=True)
    b.key("Escape")
    deadline = time.time() + 15
    while True:
        state = b.script("const s = document.getElementById('status'); return "
                         "[s.textContent, s.hidden, document.getElementById('screen').hidden]")
        if state == [STOPPED, False, True] or time.time() > deadline:
            break
        time.sleep(0.3)
    check(state == [STOPPED, False, True],
          "the canvas is hidden and the page says \"%s\" (%r)" % (STOPPED, state))
    shot = b.shot("stopped-page")
    middle = shot.image.crop((PAGE_W // 4, PAGE_H // 2 - 30, PAGE_W * 3 // 4, PAGE_H // 2 + 30))
    lit = sum(n for n, c in middle.getcolors(middle.width * middle.height) if c != BLACK)
    cube = shot.image.crop((0, 0, PAGE_W, PAGE_H // 2 - 40))
    check(lit > 200 and cube.getcolors(1) is not None,
          "the line shows in the middle of the page and nothing else (%d lit pixels)" % lit)
    b.read_console()
    check(True, "no error in the browser's console")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True, help="the web build's site folder")
    parser.add_argument("--out", required=True, help="where the screenshots go")
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = parser.parse_args()
    missing = missing_tools(args.chromium, args.chromedriver)
    if missing:
        print("skipped: %s not installed (scripts/setup-deps.sh --web)" % ", ".join(missing))
        return 77
    for name in ("index.html", "kelvo-cube.js", "kelvo-cube.wasm"):
        if not os.path.isfile(os.path.join(args.site, name)):
            print("FAILED: the site has no %s (%s)" % (name, args.site))
            return 1
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    print("screenshots go to " + args.out, flush=True)
    site = Site(os.path.abspath(args.site), os.path.join(args.out, "server.log"))
    browser = None
    try:
        browser = Browser(args.chromium, args.chromedriver, args.out)
        session(browser, site.url)
    except (Failure, WebDriverException) as e:
        print("FAILED: %s" % e, flush=True)
        print("screenshots and the console are in " + args.out)
        return 1
    finally:
        if browser:
            browser.stop()
        site.stop()
    print("passed; screenshots are in " + args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
