"""What a person sees of kelvo-cube's emulated screen, wherever it is shown
(an X display, a browser's page): a screenshot through Pillow, the emulated
screen of a mode placed inside it as the program fits it, and the checks on
its pixels that the end-to-end tests share: the cube, the frame-rate text,
the caption, the menu bar, its pop-ups and their check marks."""
import time


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("  ok: " + message, flush=True)


NAVY = (0, 0, 128)
FACE = (192, 192, 192)
GREY = (128, 128, 128)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
# The classic list of display modes, each at 8, 16, 24 and 32 bits; a
# desktop of another size adds its own four at the end.
CLASSIC_MODES = 32
MODE_320x200x8 = 0
MODE_640x400x8 = 8
MODE_640x400x16 = 9
MODE_800x600x16 = 17
MODE_1600x1200x8 = 28
MODE_1600x1200x32 = 31
# The channel values a 5-5-5 pixel can show: its 5 bits repeated below, as
# the hardware widens them.
FIVE_BIT = {(v << 3) | (v >> 2) for v in range(32)}


def mode_steps(index, count):
    """The keys, by their X names, that choose the mode at index of count
    from the Modes menu: F10 opens the bar, Down the pop-up at its first item, Up from
    there wraps round."""
    keys = ["F10", "Right", "Right", "Down"]
    if index <= count // 2:
        keys += ["Down"] * index
    else:
        keys += ["Up"] * (count - index)
    return keys + ["Return"]


# ---- Pictures ----

class Shot:
    """A screenshot of what the program is shown on: a Pillow RGB image, its
    bytes and its pixels."""

    def __init__(self, name, image):
        self.name, self.image = name, image.convert("RGB")
        self.width, self.height = self.image.size
        self.rgb = self.image.tobytes()
        self._pixels = self.image.load()

    def pixel(self, x, y):
        return self._pixels[x, y]


class View:
    """The emulated screen of a mode inside a shot of the whole output, placed
    as the program places it: by a whole number from twice the size up, else
    stretched to fit with its aspect ratio kept; centred."""

    def __init__(self, shot, width, height):
        out_w, out_h = shot.width, shot.height
        scale = min(out_w // width, out_h // height)
        if scale >= 2:
            pw, ph = width * scale, height * scale
        elif out_w * height <= out_h * width:
            pw, ph = out_w, out_w * height // width
        else:
            pw, ph = out_h * width // height, out_h
        self.shot, self.width, self.height = shot, width, height
        self.pw, self.ph = pw, ph
        self.x0 = (out_w - pw) // 2
        self.y0 = (out_h - ph) // 2

    def _out_x(self, x):
        """The output column at the middle of emulated column x."""
        return self.x0 + (2 * x + 1) * self.pw // (2 * self.width)

    def _out_y(self, y):
        return self.y0 + (2 * y + 1) * self.ph // (2 * self.height)

    def pixel(self, x, y):
        return self.shot.pixel(self._out_x(x), self._out_y(y))

    def to_screen(self, x, y):
        return self._out_x(x), self._out_y(y)

    def count(self, left, top, right, bottom, test):
        return sum(1 for y in range(top, bottom) for x in range(left, right)
                   if test(self.pixel(x, y)))

    def rows(self, top, bottom):
        """The output's bytes of emulated rows top to bottom, one per row."""
        w = self.shot.width * 3
        left, right = self.x0 * 3, (self.x0 + self.pw) * 3
        return [self.shot.rgb[self._out_y(y) * w + left:self._out_y(y) * w + right]
                for y in range(top, bottom)]


def differing_rows(a, b, top=30):
    """Rows below the frame-rate text that differ between two pictures."""
    return sum(1 for ra, rb in zip(a.rows(top, a.height), b.rows(top, b.height)) if ra != rb)


def clusters(positions, gap):
    """Runs of sorted positions split where they lie more than gap apart."""
    runs = []
    for p in sorted(set(positions)):
        if runs and p - runs[-1][1] <= gap:
            runs[-1][1] = p
        else:
            runs.append([p, p])
    return runs


def wait_until(look, test, what, timeout):
    """Views of new screenshots, look(), until test(view) holds; fails after
    timeout seconds, naming the last screenshot."""
    deadline = time.time() + timeout
    while True:
        view = look()
        if test(view):
            check(True, what)
            return view
        if time.time() > deadline:
            raise Failure(what + " (see %s.png)" % view.shot.name)
        time.sleep(0.3)


# ---- The program's screen ----

def near(p, colour):
    return all(abs(a - b) <= 8 for a, b in zip(p, colour))


def caption_shown(v):
    return near(v.pixel(300, 8), NAVY) and near(v.pixel(300, 28), FACE)


def cube_drawn(v):
    lit = v.count(v.width // 4, v.height // 4, v.width * 3 // 4, v.height * 3 // 4,
                  lambda p: p != BLACK)
    return lit > 2000 and not near(v.pixel(300, 8), NAVY)


def text_pixels(v):
    return v.count(0, 10, 80, 24, lambda p: p == WHITE)


def text_rows(v):
    """Output rows in which the frame-rate text shows."""
    top, bottom = v.to_screen(0, 5)[1], v.to_screen(0, 30)[1]
    left, right = v.to_screen(0, 0)[0], v.to_screen(80, 0)[0]
    return sum(1 for y in range(top, bottom)
               if any(v.shot.pixel(x, y) == WHITE for x in range(left, right)))


def bar_titles(v):
    """The menu bar's titles: runs of dark text columns."""
    xs = [x for x in range(v.width) for y in range(22, 35) if v.pixel(x, y) == BLACK]
    return clusters(xs, 5)


def item_bands(v, left, right, top, bottom):
    """Rows of text in a pop-up column: one band per item."""
    ys = [y for y in range(top, bottom) if any(v.pixel(x, y) == BLACK for x in range(left, right))]
    return clusters(ys, 3)


def greyish(p):
    return max(p) - min(p) <= 12 and 100 <= p[0] <= 150


def popup_box(v, left):
    """Right and bottom edges of the pop-up under the bar at left: its face,
    selection, column lines and border, up to the screen behind it."""
    right = left + 4
    while right < v.width and (v.pixel(right, 42) in (FACE, NAVY, WHITE)
                               or greyish(v.pixel(right, 42))):
        right += 1
    bottom = 42
    while bottom < v.height and v.pixel(left + 4, bottom) in (FACE, NAVY):
        bottom += 1
    return right, bottom


def popup_rows(v, left):
    """The pop-up's item rows under the bar, at the text's column."""
    right, bottom = popup_box(v, left)
    return item_bands(v, left + 18, min(left + 120, right), 40, bottom)


def mode_columns(v, left):
    """The Modes pop-up's item rows, one list per column."""
    first = popup_rows(v, left)
    right, bottom = popup_box(v, left)
    xs = [x for x in range(left, right) for y in range(first[0][0], first[0][1] + 1)
          if v.pixel(x, y) == BLACK] if first else []
    columns = clusters(xs, 20)
    lists = [first]
    for column in columns[1:]:
        lists.append(item_bands(v, column[0], min(column[0] + 100, right), 40, bottom))
    return lists


def checked(v, left, band):
    return any(v.pixel(x, y) == BLACK
               for x in range(left + 3, left + 16) for y in range(band[0], band[1] + 1))


def differences_below_bar(a, b):
    """Where two views of one mode differ under the menu bar (row 38 on): the
    number of pixels and the box around them (left, top, right, bottom)."""
    n, box = 0, None
    for y in range(38, a.height):
        for x in range(a.width):
            if a.pixel(x, y) != b.pixel(x, y):
                n += 1
                box = (min(box[0], x), min(box[1], y), max(box[2], x + 1), max(box[3], y + 1)) \
                    if box else (x, y, x + 1, y + 1)
    return n, box


def about_shown(v):
    """The About box over the screen: its navy caption, the main caption
    inactive grey (as 5-5-5 levels in a 16-bit mode too)."""
    return near(v.pixel(300, 8), GREY) and v.count(20, 40, 300, 240, lambda p: near(p, NAVY)) > 1500


def stop_shade_and_pause(s, mode, keys):
    """The first steps of a session on a turning cube, the same wherever the
    program runs (s: a session with key, shot, click and wait_for): keypad 5
    stops it, each of `keys` changes the picture, a click pauses it with the
    caption and menu bar. Returns the paused view and the bar's titles."""
    print("keypad 5 stops the turning", flush=True)
    s.key("KP_5")
    time.sleep(0.6)
    before = View(s.shot("stopped"), *mode)
    time.sleep(0.6)
    after = View(s.shot("stopped"), *mode)
    check(differing_rows(before, after) == 0, "two screenshots of the stopped cube are alike")

    print("keys %s change the picture" % ", ".join(keys), flush=True)
    previous = after
    for k in keys:
        s.key(k)
        previous = s.wait_for("key" + k, mode, lambda v, p=previous: differing_rows(p, v) > 20,
                              "key %s changes the picture" % k)

    print("a left click pauses and shows the menu bar", flush=True)
    s.click(*previous.to_screen(320, 300))
    paused = s.wait_for("paused", mode, caption_shown, "the caption and the menu bar are shown")
    titles = bar_titles(paused)
    check(len(titles) == 3, "the bar has three titles (&Cube, &Options, Modes)")
    time.sleep(0.4)
    still = View(s.shot("paused"), *mode)
    check(differing_rows(paused, still, 40) == 0, "nothing is drawn while paused")
    return paused, still, titles
