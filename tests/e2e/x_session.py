"""A program's screen under an Xvfb display of its own, for the end-to-end
tests: the display, xdotool for the user, and screenshots as the user sees
them (one read of the whole screen through Pillow, each kept as a PNG); for
the desktop program, its output and memory and the emulated screen of a mode
found inside a screenshot (screen_checks.py)."""
import os
import shutil
import signal
import subprocess
import sys
import time

# The pictures and their checks, shared with the browser's test.
from screen_checks import (Failure, Shot, View, check, clusters, differing_rows,  # noqa: F401
                           wait_until)

try:
    from PIL import ImageGrab
except ImportError:
    ImageGrab = None

# Wider than 4:3, so every mode shows bars at its sides.
SCREEN_W, SCREEN_H = 1024, 640
LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp")
DEBIAN_PYTHON = "/usr/bin/python3"


def missing_tools(tools):
    """The tools, and Pillow (Debian: python3-pil), that this machine lacks. A
    python3 of its own found first (pyenv's, a venv's) may lack Debian's
    Pillow: the script then starts again under Debian's python3."""
    if ImageGrab is None and sys.executable != DEBIAN_PYTHON and os.access(DEBIAN_PYTHON,
                                                                            os.X_OK):
        done = subprocess.run([DEBIAN_PYTHON, "-c", "import PIL.ImageGrab"],
                              capture_output=True)
        if done.returncode == 0:
            sys.stdout.flush()
            os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)
    missing = [t for t in tools if not shutil.which(t)]
    if ImageGrab is None:
        missing.append("Pillow (python3-pil)")
    return missing


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
    through xdotool, screenshots as the user sees them, each kept as a PNG in
    out."""

    def __init__(self, out, env):
        self.out, self.env = out, env
        self.xvfb = None
        self.count = 0

    def start_display(self, width=SCREEN_W, height=SCREEN_H):
        self.xvfb, self.env["DISPLAY"] = start_xvfb(width, height)
        print("display " + self.env["DISPLAY"], flush=True)
        self.check_grab()

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

    def grab(self):
        """The screen as the user sees it: one read of the root window. (xwd
        reads each group of windows of one colormap through its lowest window,
        whose covered pixels X leaves undefined: Wine's pop-up menus and
        dialogs would be missing.)"""
        # A read of the screen while the server resizes a window can fail.
        for attempt in range(5):
            try:
                return ImageGrab.grab(xdisplay=self.env["DISPLAY"])
            except OSError as e:
                if attempt == 4:
                    raise Failure("reading the screen: %s" % e)
                time.sleep(0.3)

    def shot(self, label):
        self.count += 1
        name = "%02d-%s" % (self.count, label)
        shot = Shot(name, self.grab())
        shot.image.save(os.path.join(self.out, name + ".png"), compress_level=1)
        return shot

    def check_grab(self):
        """A window of our own in a known colour shows in the grab where X
        put it, and nowhere else."""
        colour = (40, 110, 180)
        name = "#%02x%02x%02x" % colour
        left, top, width, height = 50, 40, 200, 120
        window = subprocess.Popen(
            ["xmessage", "-title", "kelvo-grab-check", "-bg", name, "-fg", name, "-xrm",
             "*borderWidth: 0", "-geometry", "%dx%d+%d+%d" % (width, height, left, top), " "],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.time() + 10
            while True:
                image = self.grab()
                inside = dict((c, n) for n, c in image.crop(
                    (left, top, left + width, top + height)).getcolors(width * height))
                everywhere = dict((c, n) for n, c in image.getcolors(image.width * image.height))
                if inside.get(colour, 0) == width * height:
                    break
                if time.time() > deadline:
                    image.save(os.path.join(self.out, "grab-check.png"))
                    raise Failure("the grab does not show our own window, %dx%d at %d,%d in %s "
                                  "(%d of its pixels; see grab-check.png)"
                                  % (width, height, left, top, name, inside.get(colour, 0)))
                time.sleep(0.1)
            check(everywhere.get(colour) == width * height,
                  "the grab shows our own window in its colour where X put it, and only there")
        finally:
            stop_process(window)

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
