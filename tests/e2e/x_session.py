"""A program's screen under an Xvfb display of its own, for the end-to-end
tests: the display, xdotool for the user, and screenshots read back with xwd
(each kept as a PNG); for the desktop program, its output and memory and the
emulated screen of a mode found inside a screenshot."""
import os
import signal
import struct
import subprocess
import time
import zlib

# Wider than 4:3, so every mode shows bars at its sides.
SCREEN_W, SCREEN_H = 1024, 640
LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("  ok: " + message, flush=True)


# ---- Pictures ----

class Shot:
    """An RGB picture of the whole X screen."""

    def __init__(self, name, width, height, rgb):
        self.name, self.width, self.height, self.rgb = name, width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])


def read_xwd(data, name):
    fields = struct.unpack(">25I", data[:100])
    (header_size, version, _fmt, _depth, width, height, _xoff, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, _visual, red_mask, green_mask, blue_mask, _bits_rgb,
     _entries, ncolors) = fields[:20]
    if version != 7 or bits_per_pixel not in (24, 32):
        raise Failure("%s: an xwd picture of a kind not read here (%d bits)"
                      % (name, bits_per_pixel))
    start = header_size + ncolors * 12
    step = bits_per_pixel // 8
    rgb = bytearray(width * height * 3)
    standard = (red_mask, green_mask, blue_mask) == (0xFF0000, 0xFF00, 0xFF) and byte_order == 0
    for y in range(height):
        row = data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
        out = memoryview(rgb)[y * width * 3:(y + 1) * width * 3]
        if standard:
            out[0::3], out[1::3], out[2::3] = row[2::step], row[1::step], row[0::step]
            continue
        order = "little" if byte_order == 0 else "big"
        for x in range(width):
            v = int.from_bytes(row[x * step:(x + 1) * step], order)
            for c, mask in enumerate((red_mask, green_mask, blue_mask)):
                shift = (mask & -mask).bit_length() - 1
                out[x * 3 + c] = ((v & mask) >> shift) * 255 // (mask >> shift)
    return Shot(name, width, height, bytes(rgb))


def write_png(path, shot):
    raw = b"".join(b"\0" + shot.rgb[y * shot.width * 3:(y + 1) * shot.width * 3]
                   for y in range(shot.height))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", shot.width, shot.height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


class View:
    """The emulated screen of a mode inside a shot, placed as the program
    places it: by a whole number from twice the size up, else stretched to
    fit with its aspect ratio kept; centred."""

    def __init__(self, shot, width, height):
        scale = min(SCREEN_W // width, SCREEN_H // height)
        if scale >= 2:
            pw, ph = width * scale, height * scale
        elif SCREEN_W * height <= SCREEN_H * width:
            pw, ph = SCREEN_W, SCREEN_W * height // width
        else:
            pw, ph = SCREEN_H * width // height, SCREEN_H
        self.shot, self.width, self.height = shot, width, height
        self.pw, self.ph = pw, ph
        self.x0 = (SCREEN_W - pw) // 2
        self.y0 = (SCREEN_H - ph) // 2

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
        """The screen's bytes of emulated rows top to bottom, one per row."""
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


# ---- The session ----

def start_xvfb(width, height):
    """An Xvfb of its own: the process and its display name."""
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height),
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    deadline = time.time() + 20
    while not number.endswith(b"\n") and time.time() < deadline:
        part = os.read(read_fd, 16)
        if not part:
            break
        number += part
    os.close(read_fd)
    check(number.strip().isdigit(), "Xvfb started on a display of its own")
    return xvfb, ":" + number.decode().strip()


def stop_process(process, terminate=False):
    if process and process.poll() is None:
        process.send_signal(signal.SIGTERM if terminate else signal.SIGKILL)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)


def program_env(base):
    """The environment for the program: LeakSanitizer, in a sanitizer build,
    leaves alone what the system's libraries keep at exit."""
    env = dict(base)
    options = env.get("LSAN_OPTIONS", "")
    if "suppressions=" not in options:
        env["LSAN_OPTIONS"] = ":".join(
            o for o in (options, "suppressions=" + os.path.abspath(LSAN_SUPPRESSIONS),
                        "print_suppressions=0") if o)
    return env


def error_lines(path):
    with open(path, "rb") as f:
        return [line for line in f.read().decode(errors="replace").splitlines() if line.strip()]


def resident_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    raise Failure("no resident size for process %d" % pid)


class XScreen:
    """An X display of its own and what a user does on it: keys and clicks
    through xdotool, screenshots through xwd, each kept as a PNG in out."""

    def __init__(self, out, env):
        self.out, self.env = out, env
        self.xvfb = None
        self.count = 0

    def start_display(self, width=SCREEN_W, height=SCREEN_H):
        self.xvfb, self.env["DISPLAY"] = start_xvfb(width, height)
        print("display " + self.env["DISPLAY"], flush=True)

    def run(self, *args, timeout=15):
        return subprocess.run(list(args), env=self.env, timeout=timeout, capture_output=True)

    def xdotool(self, *args):
        done = self.run("xdotool", *args)
        if done.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(args), done.stderr.decode().strip()))
        return done.stdout.decode()

    def key(self, *keys, delay=60):
        self.xdotool("key", "--delay", str(delay), *keys)

    def click(self, x, y):
        self.xdotool("mousemove", str(x), str(y))
        time.sleep(0.1)
        self.xdotool("click", "1")

    def shot(self, label):
        self.count += 1
        name = "%02d-%s" % (self.count, label)
        # A read of the screen while the server resizes a window can fail.
        for _ in range(5):
            dump = self.run("xwd", "-root", "-silent")
            if dump.returncode == 0:
                break
            time.sleep(0.3)
        else:
            raise Failure("xwd: " + dump.stderr.decode().strip())
        shot = read_xwd(dump.stdout, name)
        write_png(os.path.join(self.out, name + ".png"), shot)
        return shot

    def stop_display(self):
        stop_process(self.xvfb, terminate=True)


class Session(XScreen):
    """The desktop program on the screen, its output and its errors."""

    def __init__(self, program, out):
        super().__init__(out, program_env(os.environ))
        self.program = program
        self.app = None
        self.apps = []

    def start_program(self, cwd, name="kelvo-cube"):
        """The program, its output in NAME.log and its errors in NAME.err;
        returns its window."""
        self.err = os.path.join(self.out, name + ".err")
        with open(os.path.join(self.out, name + ".log"), "wb") as log, open(self.err, "wb") as err:
            self.app = subprocess.Popen([self.program], cwd=cwd, env=self.env, stdout=log,
                                        stderr=err)
        self.apps.append(self.app)
        found = self.run("xdotool", "search", "--sync", "--name", "Kelvo Textured Cube", timeout=30)
        window = found.stdout.decode().split()
        check(found.returncode == 0 and window, "the window \"Kelvo Textured Cube\" appeared")
        self.xdotool("mousemove", str(SCREEN_W // 2), str(SCREEN_H // 2))
        return window[0]

    def wait_for(self, label, mode, test, what, timeout=6.0):
        return wait_until(lambda: View(self.shot(label), *mode), test, what, timeout)

    def stop(self):
        for app in self.apps:
            stop_process(app)
        self.stop_display()
