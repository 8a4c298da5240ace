#!/usr/bin/python3
"""The first complete frame on a device's framebuffer, run inside the virtual machine of
device_startup.sh (as root, in the host's root over 9p): loads a 240 x 320 virtual framebuffer,
makes a touchscreen, and starts in turns the toolkit's floor (a text edit and 66 push buttons),
the view window (the text edit and one KeyboardView) and wendrel on Qt's linuxfb platform,
timing each from its start to the moment every key shows on the framebuffer. The toolkit's two
lower bounds paint the same picture with no text editing: "gui-only" from Qt Gui alone and
"1-widget" from the leanest Qt Widgets window.

Writes startup.json into the run folder and prints a table.
"""
import argparse
import json
import mmap
import os
import signal
import subprocess
import sys
import time

WIDTH, HEIGHT = 240, 320
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def near(colour, wanted, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, wanted))


class Framebuffer:
    def __init__(self):
        with open("/sys/class/graphics/fb0/stride") as f:
            self.stride = int(f.read())
        self.file = open("/dev/fb0", "r+b")
        self.map = mmap.mmap(self.file.fileno(), self.stride * HEIGHT)

    def pixel(self, x, y):
        offset = y * self.stride + x * 4  # B G R X
        b, g, r = self.map[offset:offset + 3]
        return (r, g, b)

    def clear(self):
        self.map.seek(0)
        self.map.write(bytes(self.stride * HEIGHT))


def expectations(table, floor):
    """(point, test) pairs that hold once the whole picture is on the screen."""
    background = tuple(table["background"])
    points = []
    for key in table["keys"]:
        x, y, w, h = key["rect"]
        centre = (x + min(x + w, WIDTH)) // 2
        if floor:
            points.append(((centre, y + 2), lambda c: c != BLACK and not near(c, background)))
        else:
            points.append(((centre, y + 3), lambda c, face=tuple(key["face"]): near(c, face)))
    x, y, w, h = table["text"]
    points.append(((x + w // 3, y + h // 2), lambda c: near(c, WHITE)))
    return points


def wait_for_picture(fb, points, timeout=120.0):
    start = time.monotonic()
    while time.monotonic() - start < timeout:
        if all(test(fb.pixel(*point)) for point, test in points):
            return time.monotonic() - start
        time.sleep(0.002)
    return None


def touchscreen():
    """A multitouch screen, so that the programs open one as on a device."""
    import evdev
    from evdev import AbsInfo, UInput
    from evdev import ecodes as e
    capabilities = {
        e.EV_KEY: [e.BTN_TOUCH],
        e.EV_ABS: [(e.ABS_X, AbsInfo(0, 0, WIDTH - 1, 0, 0, 0)), (e.ABS_Y, AbsInfo(0, 0, HEIGHT - 1, 0, 0, 0)),
                   (e.ABS_MT_SLOT, AbsInfo(0, 0, 9, 0, 0, 0)),
                   (e.ABS_MT_TRACKING_ID, AbsInfo(0, 0, 65535, 0, 0, 0)),
                   (e.ABS_MT_POSITION_X, AbsInfo(0, 0, WIDTH - 1, 0, 0, 0)),
                   (e.ABS_MT_POSITION_Y, AbsInfo(0, 0, HEIGHT - 1, 0, 0, 0))],
    }
    device = UInput(capabilities, name="bench-touch", input_props=[e.INPUT_PROP_DIRECT])
    time.sleep(0.2)
    path = next(p for p in evdev.list_devices() if evdev.InputDevice(p).name == "bench-touch")
    return device, path


def environment(home, touch_path):
    env = {
        "PATH": "/usr/sbin:/usr/bin:/sbin:/bin",
        "HOME": home,
        "XDG_RUNTIME_DIR": "/tmp/runtime",
        "XDG_CONFIG_HOME": home + "/config",
        "XDG_DATA_HOME": home + "/data",
        "XDG_STATE_HOME": home + "/state",
        "XDG_CACHE_HOME": "/tmp/cache",
        "QT_QPA_PLATFORM": "linuxfb:fb=/dev/fb0:nographicsmodeswitch",
        "QT_QPA_FB_NO_LIBINPUT": "1",
        "QT_QPA_EVDEV_TOUCHSCREEN_PARAMETERS": touch_path,
    }
    os.makedirs("/tmp/runtime", mode=0o700, exist_ok=True)
    for folder in ("config", "data", "state"):
        os.makedirs(os.path.join(home, folder), exist_ok=True)
    return env


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--run", required=True)
    parser.add_argument("--vfb", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--wendrel", required=True)
    parser.add_argument("--bare-gui", required=True)
    parser.add_argument("--bare-widget", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    with open(os.path.join(args.run, "keys.json")) as f:
        table = json.load(f)
    table["text"] = [5, 1, 230, 76]

    subprocess.run(["/sbin/insmod", args.vfb, "vfb_enable=1", "videomemorysize=4194304",
                    "mode_option=%dx%dM-32@60" % (WIDTH, HEIGHT)], check=True)
    for vtcon in sorted(os.listdir("/sys/class/vtconsole")):  # the console stays off the picture
        with open("/sys/class/vtconsole/%s/name" % vtcon) as f:
            if "frame buffer" in f.read():
                with open("/sys/class/vtconsole/%s/bind" % vtcon, "w") as bind:
                    bind.write("0")
    fb = Framebuffer()
    touch, touch_path = touchscreen()
    env = environment(os.path.join(args.run, "home"), touch_path)
    commands = {"floor": [args.probe, "floor", "stay"], "gui-only": [args.bare_gui],
                "1-widget": [args.bare_widget], "view": [args.probe, "view", "stay"],
                "wendrel": [args.wendrel]}
    points = {kind: expectations(table, kind == "floor") for kind in commands}
    times = {kind: [] for kind in commands}
    with open(os.path.join(args.run, "programs.log"), "w") as log:
        for round_ in range(args.rounds + 1):  # the first round warms the caches
            for kind, command in commands.items():
                fb.clear()
                process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                           stderr=subprocess.STDOUT)
                seconds = wait_for_picture(fb, points[kind])
                stop(process)
                if seconds is None:
                    print("%s drew no complete picture" % kind, flush=True)
                    return 1
                if round_ > 0:
                    times[kind].append(seconds * 1000)
    touch.close()

    median = lambda values: sorted(values)[len(values) // 2]
    figures = {kind: {"median_ms": round(median(v), 1), "fastest_ms": round(min(v), 1),
                      "runs_ms": [round(x, 1) for x in v]} for kind, v in times.items()}
    for kind in commands:
        figures[kind]["ratio_of_medians"] = round(median(times[kind]) / median(times["floor"]), 3)
    with open(os.path.join(args.run, "startup.json"), "w") as f:
        json.dump(figures, f, indent=1)
    print("First complete frame on the framebuffer (240 x 320, linuxfb), %d starts each:" % args.rounds)
    for kind in commands:
        print("  %-8s median %7.0f ms  fastest %7.0f ms%s" % (
            kind, figures[kind]["median_ms"], figures[kind]["fastest_ms"],
            "  ratio %.2f" % figures[kind]["ratio_of_medians"] if kind != "floor" else ""))
    print("  goal: ratio <= 0.85")
    return 0


if __name__ == "__main__":
    sys.exit(main())
