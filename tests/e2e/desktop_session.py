"""A nested desktop for end-to-end checks: Xvfb, optionally weston on it, the screen read
back as pixels, and taps on Wendrel's keys through the display server's own input.
Used by wayland_session.py (and usable by any check that needs a real window)."""
import os
import random
import re
import shutil
import signal
import subprocess
import tempfile
import time

BACKGROUND = bytes((33, 22, 51))  # the keyboard window's own colour between the keys
LAYOUT_SIZE = (240, 320)


def key_rects(key_table_source):
    """{caption: (x, y, width, height)} of the key table, read from its source."""
    pattern = re.compile(r'\{(\d+), u"((?:[^"\\]|\\.)*)", R::\w+, \{(\d+), (\d+), (\d+), (\d+)\}')
    rects = {}
    with open(key_table_source, encoding="utf-8") as source:
        for match in pattern.finditer(source.read()):
            caption = match.group(2).encode().decode("unicode_escape")
            rects[caption] = tuple(int(match.group(n)) for n in range(3, 7))
    return rects


def start_xvfb(size):
    """Starts Xvfb on a free display; returns the process and the display's name. The display
    is picked at random from a high range, away from the low numbers other servers take first
    (a server that ends removes its socket late, and one that takes its number over can lose it).
    -noreset: without it the server resets when its last client leaves (the accessibility bus
    launcher is one) and refuses connections meanwhile."""
    for _ in range(20):
        number = random.randrange(100, 900)
        if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
            continue
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0",
                                 "%dx%dx24" % size, "-nolisten", "tcp", "-noreset"],
                                pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as displayfd:
            ready = displayfd.readline().strip()  # written once the server accepts connections
        if ready:
            return xvfb, ":" + ready
        xvfb.wait()  # the number was taken meanwhile: try another
    raise RuntimeError("no free X display")


class Screen:
    """A snapshot of the X server's screen: width, height and RGB bytes."""

    def __init__(self, ppm):
        header, _, _ = ppm.partition(b"\n255\n")
        _, size = header.split(b"\n")
        self.width, self.height = (int(v) for v in size.split())
        self.pixels = ppm[len(header) + 5:]

    def bounds_of(self, colour):
        """(x, y, width, height) around every pixel of this colour, or None."""
        left = top = 10 ** 9
        right = bottom = -1
        row_bytes = self.width * 3
        for y in range(self.height):
            row = self.pixels[y * row_bytes:(y + 1) * row_bytes]
            first = row.find(colour)
            while first >= 0 and first % 3:
                first = row.find(colour, first + 1)
            if first < 0:
                continue
            last = row.rfind(colour)
            while last >= 0 and last % 3:
                last = row.rfind(colour, 0, last + 2)
            left, right = min(left, first // 3), max(right, last // 3)
            top, bottom = min(top, y), max(bottom, y)
        if right < 0:
            return None
        return (left, top, right - left + 1, bottom - top + 1)

    def differs(self, other, outside):
        """How many pixels differ from another snapshot, not counting the rectangle outside."""
        x0, y0, w, h = outside
        count = 0
        for y in range(self.height):
            start, end = y * self.width * 3, (y + 1) * self.width * 3
            a, b = self.pixels[start:end], other.pixels[start:end]
            if a == b:
                continue
            for x in range(self.width):
                if a[x * 3:x * 3 + 3] != b[x * 3:x * 3 + 3] and not (x0 <= x < x0 + w and y0 <= y < y0 + h):
                    count += 1
        return count


class NestedDesktop:
    """Xvfb with weston on its X11 back end: a Wayland compositor with a seat (pointer,
    keyboard, clipboard) and no display hardware. Everything it starts, it stops."""

    # 640 x 480: three quarters of its height hold the layout 1.125 times, so the keyboard is
    # drawn at scale 1 (scales go in quarter steps).
    def __init__(self, snapshot_tool, size=(640, 480)):
        self.snapshot_tool = snapshot_tool
        self.size = size
        self.folder = tempfile.mkdtemp(prefix="wendrel-wayland-")
        self.runtime = os.path.join(self.folder, "run")
        os.mkdir(self.runtime, 0o700)
        self.processes = []
        self.display = None
        self.socket = "wendrel-test-%d" % os.getpid()

    def start(self):
        xvfb, self.display = start_xvfb(self.size)
        self.processes.append(xvfb)
        config = os.path.join(self.folder, "weston.ini")
        with open(config, "w") as ini:
            # No panel and a black desktop, so that the window is the only thing on screen.
            ini.write("[core]\nidle-time=0\n[shell]\npanel-position=none\n"
                      "background-color=0xff000000\nlocking=false\n")
        weston = subprocess.Popen(["weston", "--config=" + config, "--backend=x11-backend.so",
                                   "--socket=" + self.socket, "--width=%d" % self.size[0],
                                   "--height=%d" % self.size[1], "--idle-time=0"],
                                  env=self.environment(), stdout=subprocess.DEVNULL,
                                  stderr=open(os.path.join(self.folder, "weston.log"), "w"),
                                  start_new_session=True)
        self.processes.append(weston)
        socket_path = os.path.join(self.runtime, self.socket)
        deadline = time.monotonic() + 20
        while not os.path.exists(socket_path):
            if weston.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("weston did not start: " + self.log())
            time.sleep(0.05)
        time.sleep(1.0)  # its shell client starts after the socket

    def log(self):
        with open(os.path.join(self.folder, "weston.log"), errors="replace") as log:
            return log.read()[-2000:]

    def environment(self, **extra):
        env = dict(os.environ)
        env.update(DISPLAY=self.display, XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=self.socket)
        env.update(extra)
        return env

    def start_program(self, command, **extra_env):
        """Starts a program in a process group of its own (with the helpers it leaves behind)."""
        process = subprocess.Popen(command, env=self.environment(**extra_env), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, start_new_session=True)
        self.processes.append(process)
        return process

    def snapshot(self):
        return Screen(subprocess.run([self.snapshot_tool], env=self.environment(), check=True,
                                     capture_output=True).stdout)

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self.environment(), check=True)

    def home_pointer(self):
        """weston's X11 back end moves its pointer by the X pointer's relative motion, clamped to
        its output; a move to the far corner and back to 0, 0 makes the two agree."""
        self.xdotool("mousemove", str(self.size[0] - 1), str(self.size[1] - 1))
        self.xdotool("mousemove", "0", "0")

    def tap(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")
        time.sleep(0.12)

    def copy(self, text):
        """Puts a text on the Wayland clipboard from another client."""
        copier = subprocess.Popen(["wl-copy", text], env=self.environment(), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, start_new_session=True)
        self.processes.append(copier)  # it serves from the background until the desktop stops
        copier.wait(10)
        deadline = time.monotonic() + 5
        while self.clipboard() != text and time.monotonic() < deadline:
            time.sleep(0.05)

    def clipboard(self):
        """The Wayland clipboard's text, or None when it holds none."""
        result = subprocess.run(["wl-paste", "--no-newline"], env=self.environment(), capture_output=True,
                                timeout=10)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for process in reversed(self.processes):
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        # The clipboard tools a program left serving belong to its process group: end them too.
        for process in self.processes:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
        shutil.rmtree(self.folder, ignore_errors=True)
