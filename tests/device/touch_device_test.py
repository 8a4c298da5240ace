#!/usr/bin/python3
"""The device test, run inside the virtual machine (as root, in the host's root over 9p).

For each screen size it loads the kernel's virtual framebuffer, makes a multitouch screen with
uinput, starts wendrel on Qt's linuxfb platform with evdevtouch, and checks it the way a person
with the device in hand would: the picture on the framebuffer, taps on the touchscreen, the text
that the taps typed (read from the draft that wendrel keeps on disk), the lit key, the formula and
Exit. At 240 x 320 it also times start-up against a bare Qt window (the toolkit's floor).

Writes result.json into the run folder; on a failure, a PNG of the framebuffer beside it.
"""
import argparse
import json
import mmap
import os
import signal
import struct
import subprocess
import sys
import time
import zlib

import evdev
from evdev import AbsInfo, UInput
from evdev import ecodes as e

# Screen sizes with the scale and the origin at which the 240 x 320 layout must appear.
SIZES = [
    {"size": (240, 320), "scale": 1.0},
    {"size": (480, 640), "scale": 2.0},
    {"size": (800, 480), "scale": 1.5},
]
BENCH_RUNS = 7  # each of the floor and wendrel, in turns, after one round that warms the caches
TEXT_TAPS = [1007, 1004, 1012, 1012, 1015, 2004, 1008, 2004]  # h e l l o Space i Space
TYPED_TEXT = "Hello I "
FORMULA_TAPS = [1031, 1033, 1061, 1034, 1055, 1035, 1062, 1070]  # Enter 2 + 3 * 4 Fn =
FORMULA_TEXT = TYPED_TEXT + "\r\n2+3*4=14"
EXIT_KEY = 2001


class CheckFailed(Exception):
    pass


class Framebuffer:
    def __init__(self, width, height):
        self.width, self.height = width, height
        with open("/sys/class/graphics/fb0/stride") as f:
            self.stride = int(f.read())
        self.file = open("/dev/fb0", "r+b")
        self.map = mmap.mmap(self.file.fileno(), self.stride * height)

    def close(self):
        self.map.close()
        self.file.close()

    def pixel(self, x, y):
        offset = y * self.stride + x * 4  # B G R X
        b, g, r = self.map[offset:offset + 3]
        return (r, g, b)

    def clear(self):
        self.map[:] = bytes(len(self.map))

    def save_png(self, path):
        raw = bytearray()
        for y in range(self.height):
            row = self.map[y * self.stride:y * self.stride + self.width * 4]
            raw.append(0)
            for x in range(self.width):
                raw += bytes((row[4 * x + 2], row[4 * x + 1], row[4 * x]))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 6)))
            f.write(chunk(b"IEND", b""))


class Touchscreen:
    """A direct-touch multitouch screen (protocol B) whose coordinates are the screen's pixels."""

    def __init__(self, width, height):
        axis = lambda top: AbsInfo(value=0, min=0, max=top, fuzz=0, flat=0, resolution=0)
        capabilities = {
            e.EV_KEY: [e.BTN_TOUCH],
            e.EV_ABS: [(e.ABS_X, axis(width - 1)), (e.ABS_Y, axis(height - 1)),
                       (e.ABS_MT_SLOT, axis(9)), (e.ABS_MT_TRACKING_ID, axis(65535)),
                       (e.ABS_MT_POSITION_X, axis(width - 1)), (e.ABS_MT_POSITION_Y, axis(height - 1))],
        }
        self.device = UInput(capabilities, name="wendrel test touchscreen", input_props=[e.INPUT_PROP_DIRECT])
        self.tracking = 0
        self.path = self.device.device.path

    def close(self):
        self.device.close()

    def press(self, x, y):
        self.tracking += 1
        for code, value in ((e.ABS_MT_SLOT, 0), (e.ABS_MT_TRACKING_ID, self.tracking),
                            (e.ABS_MT_POSITION_X, x), (e.ABS_MT_POSITION_Y, y), (e.ABS_X, x), (e.ABS_Y, y)):
            self.device.write(e.EV_ABS, code, value)
        self.device.write(e.EV_KEY, e.BTN_TOUCH, 1)
        self.device.syn()

    def release(self):
        self.device.write(e.EV_ABS, e.ABS_MT_SLOT, 0)
        self.device.write(e.EV_ABS, e.ABS_MT_TRACKING_ID, -1)
        self.device.write(e.EV_KEY, e.BTN_TOUCH, 0)
        self.device.syn()

    def tap(self, x, y, hold=0.08):
        self.press(x, y)
        time.sleep(hold)
        self.release()


def close_to(colour, wanted, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, wanted))


def rgb(colour):
    return "%d, %d, %d" % tuple(colour)


class Layout:
    """Where the 240 x 320 layout's rectangles lie on a screen, at a scale, centred."""

    def __init__(self, table, size, scale):
        self.table, self.scale = table, scale
        self.width, self.height = size
        self.origin = ((self.width - round(240 * scale)) // 2, (self.height - round(320 * scale)) // 2)
        self.keys = {key["id"]: key for key in table["keys"]}

    def rect(self, layout_rect):
        x, y, w, h = layout_rect
        left, top = self.origin[0] + round(x * self.scale), self.origin[1] + round(y * self.scale)
        right, bottom = self.origin[0] + round((x + w) * self.scale), self.origin[1] + round((y + h) * self.scale)
        return left, top, right, bottom  # right and bottom exclusive

    def key_rect(self, key_id):
        return self.rect(self.keys[key_id]["rect"])

    def centre(self, key_id):
        left, top, right, bottom = self.key_rect(key_id)
        return (left + min(right, self.width)) // 2, (top + bottom) // 2

    def face_points(self, key_id):
        """Points of a key's face away from its border and caption: near two corners."""
        left, top, right, bottom = self.key_rect(key_id)
        right = min(right, self.width)
        inset = max(3, round(3 * self.scale))
        return [(left + (right - left) // 5, top + inset), (right - 1 - (right - left) // 5, bottom - 1 - inset)]

    def caption_margin(self, key_id):
        """The pixels two to three layout pixels inside a key's edge: a caption that does not
        fit its key runs through them."""
        left, top, right, bottom = self.key_rect(key_id)
        points = []
        for inset in range(round(2 * self.scale), round(3 * self.scale) + 1):
            l, t, r, b = left + inset, top + inset, right - 1 - inset, bottom - 1 - inset
            points += [(x, y) for x in range(l, r + 1) for y in (t, b)]
            points += [(x, y) for y in range(t, b + 1) for x in (l, r)]
        return [(x, y) for x, y in points if x < self.width]

    def background_points(self):
        s, (ox, oy) = self.scale, self.origin
        points = [(ox + round(2 * s), oy + round(100 * s)), (ox + round(2 * s), oy + round(220 * s)),
                  (ox + round(237 * s), oy + round(110 * s))]
        if ox > 0:  # the screen beside a centred layout
            points += [(ox // 2, self.height // 2), (self.width - 1 - ox // 2, self.height // 2)]
        return points


class Device:
    def __init__(self, args, table):
        self.args, self.table = args, table
        self.failures = []
        self.figures = {}

    # --- the screen -------------------------------------------------------------------

    def load_framebuffer(self, width, height):
        subprocess.run(["/sbin/insmod", self.args.vfb, "vfb_enable=1", "videomemorysize=4194304",
                        "mode_option=%dx%dM-32@60" % (width, height)], check=True)
        for _ in range(100):
            if os.path.exists("/dev/fb0") and os.path.exists("/sys/class/graphics/fb0/stride"):
                break
            time.sleep(0.05)
        with open("/sys/class/graphics/fb0/virtual_size") as f:
            actual = tuple(int(v) for v in f.read().split(","))
        if actual != (width, height):
            raise CheckFailed("the virtual framebuffer is %dx%d, not %dx%d" % (actual + (width, height)))
        # The kernel's console would draw on the framebuffer too; a device's picture is Qt's alone.
        for vtcon in sorted(os.listdir("/sys/class/vtconsole")):
            with open("/sys/class/vtconsole/%s/name" % vtcon) as f:
                name = f.read()
            if "frame buffer" in name:
                with open("/sys/class/vtconsole/%s/bind" % vtcon, "w") as f:
                    f.write("0")

    def unload_framebuffer(self):
        subprocess.run(["/sbin/rmmod", "vfb"], check=False)

    # --- programs -----------------------------------------------------------------------

    def environment(self, touch, state):
        env = {
            "PATH": "/usr/sbin:/usr/bin:/sbin:/bin",
            "HOME": state,
            "XDG_RUNTIME_DIR": "/tmp/runtime",
            "XDG_CONFIG_HOME": state + "/config",
            "XDG_DATA_HOME": state + "/data",
            "XDG_STATE_HOME": state + "/state",
            "XDG_CACHE_HOME": "/tmp/cache",
            "QT_QPA_PLATFORM": "linuxfb:fb=/dev/fb0:nographicsmodeswitch",
            "QT_QPA_FB_NO_LIBINPUT": "1",
            "QT_QPA_EVDEV_TOUCHSCREEN_PARAMETERS": touch.path,
        }
        os.makedirs("/tmp/runtime", mode=0o700, exist_ok=True)
        for folder in ("config", "data", "state"):
            os.makedirs(os.path.join(state, folder), exist_ok=True)
        return env

    def start(self, command, touch, state, log):
        return subprocess.Popen(command, env=self.environment(touch, state), stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT)

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    # --- watching the picture ----------------------------------------------------------

    def wait_for_frame(self, fb, expected, timeout=60.0):
        """Polls the framebuffer from a cleared screen until every point shows its colour.
        Returns (seconds, whether a different picture stayed on screen before it)."""
        start = time.monotonic()
        other_since = None
        other_seen = False
        while True:
            now = time.monotonic()
            colours = [fb.pixel(x, y) for (x, y), _ in expected]
            if all(check(c) for c, (_, check) in zip(colours, expected)):
                return now - start, other_seen
            if any(c != (0, 0, 0) for c in colours):
                # Something is drawn but not the whole picture; a torn read lasts one poll only.
                other_since = other_since if other_since is not None else now
                if now - other_since > 0.05:
                    other_seen = True
            else:
                other_since = None
            if now - start > timeout:
                return None, other_seen
            time.sleep(0.002)

    def keyboard_expectation(self, layout):
        expected = []
        for key in self.table["keys"]:
            for point in layout.face_points(key["id"]):
                expected.append((point, lambda c, face=key["face"]: close_to(c, face)))
        return expected

    def floor_expectation(self):
        # The bare window at 240 x 320: its buttons drawn (neither black nor the window colour).
        background = tuple(self.table["background"])
        layout = Layout(self.table, (240, 320), 1.0)
        expected = []
        for key in self.table["keys"]:
            left, top, right, bottom = layout.key_rect(key["id"])
            point = ((left + min(right, 240)) // 2, top + 4)
            expected.append((point, lambda c: c != (0, 0, 0) and not close_to(c, background)))
        return expected

    # --- the checks ---------------------------------------------------------------------

    def fail(self, size, message, fb=None):
        name = "failure-%dx%d.png" % size
        if fb is not None and not any(f["picture"] == name for f in self.failures):
            fb.save_png(os.path.join(self.args.run, name))
        self.failures.append({"size": "%dx%d" % size, "message": message, "picture": name if fb else None})
        print("FAIL at %dx%d: %s" % (size + (message,)), flush=True)

    def check_picture(self, fb, layout, size):
        for key in self.table["keys"]:
            for x, y in layout.face_points(key["id"]):
                colour = fb.pixel(x, y)
                if not close_to(colour, key["face"]):
                    raise CheckFailed('key "%s" (%d): face at %d,%d is %s, not %s'
                                      % (key["caption"], key["id"], x, y, rgb(colour), rgb(key["face"])))
        for x, y in layout.background_points():
            colour = fb.pixel(x, y)
            if not close_to(colour, self.table["background"]):
                raise CheckFailed("background at %d,%d is %s, not %s" % (x, y, rgb(colour), rgb(self.table["background"])))

    def check_captions(self, fb, layout):
        for key in self.table["keys"]:
            for x, y in layout.caption_margin(key["id"]):
                colour = fb.pixel(x, y)
                if not close_to(colour, key["face"], tolerance=24):
                    raise CheckFailed('caption "%s" of key %d runs over its border (pixel %d,%d is %s on a face of %s)'
                                      % (key["caption"], key["id"], x, y, rgb(colour), rgb(key["face"])))

    def tap_and_watch_light(self, fb, touch, layout, key_id):
        """Taps a key and sees it turn pale yellow and go back to its face colour."""
        key = layout.keys[key_id]
        x, y = layout.face_points(key_id)[0]
        lit = tuple(self.table["lit"])
        touch.press(*layout.centre(key_id))
        time.sleep(0.08)
        touch.release()
        deadline = time.monotonic() + 5
        while not close_to(fb.pixel(x, y), lit):
            if time.monotonic() > deadline:
                raise CheckFailed('key "%s" (%d) did not light pale yellow when tapped (it shows %s)'
                                  % (key["caption"], key_id, rgb(fb.pixel(x, y))))
            time.sleep(0.001)
        deadline = time.monotonic() + 5
        while not close_to(fb.pixel(x, y), key["face"]):
            if time.monotonic() > deadline:
                raise CheckFailed('the light of key "%s" (%d) did not go out (it shows %s)'
                                  % (key["caption"], key_id, rgb(fb.pixel(x, y))))
            time.sleep(0.005)

    def tap_keys(self, touch, layout, key_ids):
        for key_id in key_ids:
            touch.tap(*layout.centre(key_id))
            time.sleep(0.25)

    def wait_for_text(self, state, wanted, timeout=8.0):
        path = os.path.join(state, "state", "wendrel", "draft.txt")
        text = None
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                with open(path, "rb") as f:
                    data = f.read()
                text = data[2:].decode("utf-16-le") if data[:2] == b"\xff\xfe" else None
            except (OSError, UnicodeDecodeError):
                text = None
            if text == wanted:
                return
            time.sleep(0.2)
        raise CheckFailed("the typed text is %r, not %r (read from %s)" % (text, wanted, path))

    def dismiss_message_box(self, fb, touch, layout, process):
        """Exit's message box: finds its button on the screen and taps it."""
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and process.poll() is None:
            button = find_message_box_button(fb)
            if button:
                time.sleep(0.3)
                touch.tap(*button)
                return True
            time.sleep(0.1)
        return process.poll() is not None

    def run_size(self, size, scale, bench):
        width, height = size
        self.load_framebuffer(width, height)
        fb = Framebuffer(width, height)
        touch = Touchscreen(width, height)
        layout = Layout(self.table, size, scale)
        log_path = os.path.join(self.args.run, "wendrel-%dx%d.log" % size)
        process = None
        try:
            if bench:
                self.benchmark(fb, touch, layout)
            state = os.path.join(self.args.run, "home-%dx%d" % size)
            fb.clear()
            with open(log_path, "w") as log:
                process = self.start([self.args.wendrel], touch, state, log)
            seconds, other_first = self.wait_for_frame(fb, self.keyboard_expectation(layout))
            if seconds is None:
                self.check_picture(fb, layout, size)  # names the key that is wrong
                raise CheckFailed("the keyboard did not appear")
            if other_first:
                raise CheckFailed("the first picture on the screen was not the keyboard")
            time.sleep(0.5)  # the keyboard stays
            self.check_picture(fb, layout, size)
            self.check_captions(fb, layout)

            self.tap_and_watch_light(fb, touch, layout, TEXT_TAPS[0])
            self.tap_keys(touch, layout, TEXT_TAPS[1:])
            self.wait_for_text(state, TYPED_TEXT)
            self.tap_keys(touch, layout, FORMULA_TAPS)
            self.wait_for_text(state, FORMULA_TEXT)

            touch.tap(*layout.centre(EXIT_KEY))
            if not self.dismiss_message_box(fb, touch, layout, process):
                raise CheckFailed("Exit showed no message box that a tap could close")
            try:
                status = process.wait(20)
            except subprocess.TimeoutExpired:
                raise CheckFailed("the program did not end after Exit and its message")
            if status != 0:
                raise CheckFailed("Exit ended the program with status %d, not 0" % status)
            if size == (240, 320):
                check_editing_on_glass(self, fb, touch, layout)
        except CheckFailed as failure:
            self.fail(size, str(failure), fb)
        finally:
            if process:
                self.stop(process)
            touch.close()
            fb.close()
            self.unload_framebuffer()

    def benchmark(self, fb, touch, layout):
        """Time from exec to the first complete picture: the bare window and wendrel in turns."""
        times = {"floor": [], "wendrel": []}
        state = os.path.join(self.args.run, "home-bench")
        commands = {"floor": [self.args.helper, "floor"], "wendrel": [self.args.wendrel]}
        expectations = {"floor": self.floor_expectation(), "wendrel": self.keyboard_expectation(layout)}
        with open(os.path.join(self.args.run, "bench.log"), "w") as log:
            for run in range(BENCH_RUNS + 1):
                for kind in ("floor", "wendrel"):
                    fb.clear()
                    process = self.start(commands[kind], touch, state, log)
                    seconds, other_first = self.wait_for_frame(fb, expectations[kind])
                    self.stop(process)
                    if seconds is None:
                        raise CheckFailed("%s did not draw its window in the start-up benchmark" % kind)
                    if kind == "wendrel" and other_first:
                        raise CheckFailed("the first picture on the screen was not the keyboard")
                    if run > 0:  # the first round warms the caches
                        times[kind].append(seconds * 1000)
        median = lambda values: sorted(values)[len(values) // 2]
        self.figures = {kind: {"median_ms": round(median(values), 1), "fastest_ms": round(min(values), 1),
                               "runs_ms": [round(v, 1) for v in values]} for kind, values in times.items()}
        self.figures["ratio_of_medians"] = round(times_ratio(median, times), 3)
        self.figures["ratio_of_fastest"] = round(times_ratio(min, times), 3)
        print("start-up on the framebuffer (exec to the first complete picture), %d runs each:\n"
              "  floor   median %.0f ms, fastest %.0f ms\n  wendrel median %.0f ms, fastest %.0f ms\n"
              "  ratio   %.2f (medians), %.2f (fastest)"
              % (BENCH_RUNS, self.figures["floor"]["median_ms"], self.figures["floor"]["fastest_ms"],
                 self.figures["wendrel"]["median_ms"], self.figures["wendrel"]["fastest_ms"],
                 self.figures["ratio_of_medians"], self.figures["ratio_of_fastest"]), flush=True)


# --- Editing on glass: a held BackSpace, a long press for an accent, a slide on Space, Undo ---
# Each read back from the draft (the text as wendrel keeps it on disk) or from the picture, in a
# wendrel of its own that starts with an empty text.

EDITING_LINE_TAPS = [1006, 1012, 1000, 1019, 1019, 2004, 1012, 1008, 1014, 1004]  # g l a s s Space l i n e
EDITING_LINE = "Glass line"
BACKSPACE_KEY, SPACE_KEY, FN_KEY, SAVE_KEY, LOAD_KEY = 1065, 2004, 1062, 1088, 1087
CAF_TAPS = [1002, 1000, 1005]  # c a f
E_KEY, X_KEY = 1004, 1024


def touch_move(touch, x, y):
    """The finger that is down moves to x, y."""
    for code, value in ((e.ABS_MT_SLOT, 0), (e.ABS_MT_POSITION_X, x), (e.ABS_MT_POSITION_Y, y),
                        (e.ABS_X, x), (e.ABS_Y, y)):
        touch.device.write(e.EV_ABS, code, value)
    touch.device.syn()


def alternate_cell(device, layout, key_id, text):
    """The screen rectangle (left, top, right, bottom) of a cell of a key's popup."""
    for cell in layout.keys[key_id]["alternates"]:
        if cell["text"] == text:
            return layout.rect(cell["rect"])
    raise CheckFailed("the key table offers no %r on key %d" % (text, key_id))


def wait_for_colour(fb, point, wanted, what, timeout=5.0):
    deadline = time.monotonic() + timeout
    while not close_to(fb.pixel(*point), wanted):
        if time.monotonic() > deadline:
            raise CheckFailed("%s: pixel %d,%d is %s, not %s" % (what, point[0], point[1], rgb(fb.pixel(*point)),
                                                                 rgb(wanted)))
        time.sleep(0.005)


def check_editing_on_glass(device, fb, touch, layout):
    state = os.path.join(device.args.run, "home-editing")
    fb.clear()
    with open(os.path.join(device.args.run, "wendrel-editing.log"), "w") as log:
        process = device.start([device.args.wendrel], touch, state, log)
    try:
        seconds, _ = device.wait_for_frame(fb, device.keyboard_expectation(layout))
        if seconds is None:
            raise CheckFailed("the keyboard did not appear for the editing checks")
        time.sleep(0.5)

        # A typed line, then BackSpace held for three seconds: the whole line goes.
        device.tap_keys(touch, layout, EDITING_LINE_TAPS)
        device.wait_for_text(state, EDITING_LINE)
        touch.press(*layout.centre(BACKSPACE_KEY))
        time.sleep(3.0)
        touch.release()
        device.wait_for_text(state, "")

        # "caf", then "e" held: its popup opens above it; a slide onto "é" lights that cell, and
        # letting go there types it.
        device.tap_keys(touch, layout, CAF_TAPS)
        device.wait_for_text(state, "Caf")
        left, top, right, bottom = alternate_cell(device, layout, E_KEY, "é")
        inside = (left + max(3, round(3 * layout.scale)), top + max(3, round(3 * layout.scale)))
        touch.press(*layout.centre(E_KEY))
        wait_for_colour(fb, inside, layout.keys[E_KEY]["face"], 'the popup of "e" after a long press')
        touch_move(touch, (left + right) // 2, (top + bottom) // 2)
        wait_for_colour(fb, inside, tuple(device.table["lit"]), 'the cell "é" under the finger')
        time.sleep(0.1)
        touch.release()
        device.wait_for_text(state, "Café")

        # A slide on Space, a little more than one character's 8 layout pixels to the left: the
        # caret goes before the "é", where an "x" then goes in; no space is typed.
        x, y = layout.centre(SPACE_KEY)
        step = max(1, round(5 * layout.scale))
        touch.press(x, y)
        for moved in range(1, 3):
            time.sleep(0.08)
            touch_move(touch, x - moved * step, y)
        time.sleep(0.15)
        touch.release()
        time.sleep(0.25)
        device.tap_keys(touch, layout, [X_KEY])
        device.wait_for_text(state, "Cafxé")

        # Copy, then Paste at the caret (after the "x"), then Undo: the paste is taken back.
        device.tap_keys(touch, layout, [FN_KEY, SAVE_KEY, FN_KEY, LOAD_KEY])
        device.wait_for_text(state, "CafxCafxéé")
        device.tap_keys(touch, layout, [FN_KEY, BACKSPACE_KEY])
        device.wait_for_text(state, "Cafxé")
    finally:
        device.stop(process)


def times_ratio(statistic, times):
    return statistic(times["wendrel"]) / statistic(times["floor"])


def find_message_box_button(fb):
    """The push button of a message box: Fusion paints the box in its window grey and frames
    the button with a dark line. Returns the button's centre, or None while there is no box."""
    grey = (239, 239, 239)
    is_grey = lambda x, y: close_to(fb.pixel(x, y), grey, 2)
    # The box: a column of grey through the middle of the screen, or a little beside it.
    for cx in (fb.width // 2, fb.width // 2 - fb.width // 8, fb.width // 2 + fb.width // 8):
        rows = [y for y in range(fb.height) if is_grey(cx, y)]
        if len(rows) >= 20:
            break
    else:
        return None
    top, bottom = min(rows), max(rows)
    middle = (top + bottom) // 2
    columns = [x for x in range(fb.width) if is_grey(x, middle)]
    left, right = min(columns), max(columns)
    # The button's frame in the box's lower half: rows with a long dark line.
    dark = lambda x, y: max(fb.pixel(x, y)) < 200
    edges = []
    for y in range(middle, bottom + 1):
        xs = [x for x in range(left, right + 1) if dark(x, y)]
        if len(xs) > 20 and xs[-1] - xs[0] < (right - left) * 0.8:
            edges.append((y, xs[0], xs[-1]))
    if len(edges) < 2:
        return None
    (y0, x0, x1), (y1, _, _) = edges[0], edges[-1]
    return ((x0 + x1) // 2, (y0 + y1) // 2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--run", required=True)
    parser.add_argument("--wendrel", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--vfb", required=True)
    parser.add_argument("--sizes", default="")
    args = parser.parse_args()
    with open(os.path.join(args.run, "keys.json")) as f:
        table = json.load(f)
    device = Device(args, table)
    sizes = [s for s in SIZES if not args.sizes or "%dx%d" % s["size"] in args.sizes.split(",")]
    for index, entry in enumerate(sizes):
        started = time.monotonic()
        try:
            device.run_size(entry["size"], entry["scale"], bench=index == 0 and entry["size"] == (240, 320))
        except CheckFailed as failure:
            device.fail(entry["size"], str(failure))
        print("%dx%d done in %.1f s" % (entry["size"] + (time.monotonic() - started,)), flush=True)
    with open(os.path.join(args.run, "result.json"), "w") as f:
        json.dump({"failures": device.failures, "startup": device.figures}, f, indent=1)
    return 1 if device.failures else 0


if __name__ == "__main__":
    sys.exit(main())
