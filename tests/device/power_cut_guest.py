#!/usr/bin/python3
"""One boot of the power-cut check, run inside the virtual machine (as root, in the host's root).

Mounts the virtual disk (ext4; the kernel replays its journal if the last boot was cut off),
reports what the draft folder holds before wendrel starts, starts wendrel on the framebuffer with
its home on that disk, and types the boot's plan with the touchscreen. Every tap and every draft
write (seen with inotify) is reported at once, with this machine's clock, over the second serial
port, so the host knows what was typed and written up to the moment it ends the machine. The host
ends it with SIGKILL at a moment of its choosing; only the last boot ends by itself: it stops
wendrel with SIGTERM, reports the draft and unmounts the disk.
"""
import argparse
import base64
import ctypes
import hashlib
import json
import os
import re
import select
import signal
import struct
import subprocess
import sys
import termios
import threading
import time
import tty

# Started with python3 -S: site's start-up costs seconds on the emulated CPU. evdev works
# without asyncio (which it would import for nothing, another half second).
sys.path += ["/usr/lib/python3/dist-packages", os.path.dirname(os.path.abspath(__file__))]
sys.modules["asyncio"] = None
from touch_device_test import Device, Framebuffer, Layout, Touchscreen  # noqa: E402

DISK = "/dev/vda"
# Writes to the disk take this long, as on a memory card, so that a cut often falls inside one:
# device-mapper's delay target holds each write (and flush) in the guest's memory meanwhile,
# where the cut loses it as a card loses a write it has not finished.
WRITE_DELAY_MS = 20
SLOW_DISK = "/dev/mapper/slowhome"
MOUNT_POINT = "/tmp/disk"
HOME = MOUNT_POINT + "/home"
DRAFT_FOLDER = HOME + "/.local/state/wendrel"
TEMPORARY = re.compile(r"^draft(-\d+)?\.txt\.[A-Za-z0-9]{6}$")
SIZE = (240, 320)

IN_CLOSE_NOWRITE, IN_OPEN, IN_CREATE, IN_MOVED_TO, IN_NONBLOCK = 0x10, 0x20, 0x100, 0x80, os.O_NONBLOCK


class Channel:
    """JSON lines to the host over a serial port, each with this machine's monotonic clock."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)
        attributes = termios.tcgetattr(self.fd)
        attributes[4] = attributes[5] = termios.B115200
        termios.tcsetattr(self.fd, termios.TCSANOW, attributes)
        self.lock = threading.Lock()

    def send(self, event, **fields):
        fields = dict(fields, ev=event, t=fields.get("t", time.monotonic()))
        line = (json.dumps(fields, separators=(",", ":")) + "\n").encode()
        with self.lock:
            while line:
                line = line[os.write(self.fd, line):]


def draft_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def listing(folder):
    try:
        return sorted(os.listdir(folder))
    except FileNotFoundError:
        return None


class DraftWatch(threading.Thread):
    """Reports the steps of each draft write as they happen. Qt writes a file it replaces into an
    unnamed temporary file (O_TMPFILE, which inotify names "#<inode>"), syncs it, links it in as
    "draft.txt.XXXXXX" and renames that onto the draft (the first draft is linked in as
    "draft.txt" at once): "write-start" is the unnamed file opened, "write-linked" its name
    appearing, "write-done" the draft in place, with a digest of what it then holds, and
    "folder-closed" the folder closed after it was opened to be synced."""

    def __init__(self, channel, folder):
        super().__init__(daemon=True)
        self.channel = channel
        self.libc = ctypes.CDLL("libc.so.6", use_errno=True)
        self.fd = self.libc.inotify_init1(IN_NONBLOCK)
        mask = IN_CLOSE_NOWRITE | IN_OPEN | IN_CREATE | IN_MOVED_TO
        if self.fd < 0 or self.libc.inotify_add_watch(self.fd, folder.encode(), mask) < 0:
            raise OSError(ctypes.get_errno(), "inotify on " + folder)
        self.folder = folder

    def run(self):
        while True:
            select.select([self.fd], [], [])
            now = time.monotonic()
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                continue
            offset = 0
            while offset < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, offset)
                name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode(errors="replace")
                offset += 16 + length
                self.report(mask, name, now)

    def report(self, mask, name, now):
        # The lock, and the file Qt's lock takes while it removes a stale lock left by the cut.
        if name.endswith((".lock", ".lock.rmlock")):
            return
        if name == "":  # the folder itself: opened and closed again to sync it after a rename
            if mask & IN_CLOSE_NOWRITE:
                self.channel.send("folder-closed", t=now)
            return
        if mask & IN_OPEN and name.startswith("#"):
            self.channel.send("write-start", t=now)
        elif mask & IN_CREATE and TEMPORARY.match(name):
            self.channel.send("write-linked", name=name, t=now)
        elif mask & (IN_MOVED_TO | IN_CREATE) and not name.startswith("#"):
            # A draft that did not exist yet is linked in under its own name, not renamed.
            content = draft_bytes(os.path.join(self.folder, name)) or b""
            self.channel.send("write-done", name=name, t=now, size=len(content),
                              sha1=hashlib.sha1(content).hexdigest())


def environment(touch_path):
    env = {
        "PATH": "/usr/sbin:/usr/bin:/sbin:/bin",
        "HOME": HOME,
        "XDG_RUNTIME_DIR": "/tmp/runtime",
        "XDG_CACHE_HOME": "/tmp/cache",
        "QT_QPA_PLATFORM": "linuxfb:fb=/dev/fb0:nographicsmodeswitch",
        "QT_QPA_FB_NO_LIBINPUT": "1",
        "QT_QPA_EVDEV_TOUCHSCREEN_PARAMETERS": touch_path,
    }
    os.makedirs("/tmp/runtime", mode=0o700, exist_ok=True)
    os.makedirs(HOME, exist_ok=True)
    return env


def wait_until(condition, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(step)
    return True


def mount_disk(channel):
    os.makedirs(MOUNT_POINT, exist_ok=True)
    started = time.monotonic()
    sectors = int(open("/sys/block/%s/size" % os.path.basename(DISK)).read())
    table = lambda delay: "0 %d delay %s 0 0 %s 0 %d" % (sectors, DISK, DISK, delay)
    dmsetup = lambda *arguments: subprocess.run(["/sbin/dmsetup"] + list(arguments), check=True)
    name = os.path.basename(SLOW_DISK)
    # The journal is replayed at full speed (it is not what is tested), then the disk slows.
    dmsetup("create", "--noudevsync", name, "--table", table(0))
    dmsetup("mknodes")
    subprocess.run(["/bin/mount", "-t", "ext4", SLOW_DISK, MOUNT_POINT], check=True)
    dmsetup("reload", name, "--table", table(WRITE_DELAY_MS))
    dmsetup("resume", "--noudevsync", name)
    draft = draft_bytes(os.path.join(DRAFT_FOLDER, "draft.txt"))
    channel.send("disk", mount_s=round(time.monotonic() - started, 3), files=listing(DRAFT_FOLDER),
                 draft=None if draft is None else base64.b64encode(draft).decode())


def start_wendrel(args, channel, device, fb, touch, log):
    layout = Layout(device.table, SIZE, 1.0)
    fb.clear()
    process = subprocess.Popen([args.wendrel], env=environment(touch.path), stdin=subprocess.DEVNULL,
                               stdout=log, stderr=subprocess.STDOUT)
    seconds, _ = device.wait_for_frame(fb, device.keyboard_expectation(layout), timeout=180)
    if seconds is None:
        raise RuntimeError("the keyboard did not appear")
    # The draft is claimed after the first paint: the lock taken, an unfinished write removed.
    lock = os.path.join(DRAFT_FOLDER, "draft.txt.lock")
    claimed = wait_until(lambda: os.path.exists(lock), 60)
    left = lambda: [n for n in listing(DRAFT_FOLDER) or [] if TEMPORARY.match(n)]
    wait_until(lambda: not left(), 10)
    channel.send("started", start_s=round(seconds, 3), claimed=claimed, files=listing(DRAFT_FOLDER))
    return process, layout


def type_plan(channel, touch, layout, taps):
    for index, (key_id, pause) in enumerate(taps):
        time.sleep(pause)
        x, y = layout.centre(key_id)
        touch.press(x, y)
        time.sleep(0.06)
        touch.release()
        channel.send("tap", i=index)


def finish(channel, process):
    """The last boot: lets the writes settle, stops wendrel with SIGTERM (which writes the draft
    at once and keeps it), reports the draft and unmounts the disk."""
    path = os.path.join(DRAFT_FOLDER, "draft.txt")
    stamp = lambda: os.stat(path).st_mtime_ns if os.path.exists(path) else 0
    last, quiet_since = stamp(), time.monotonic()
    while time.monotonic() - quiet_since < 2.0:
        time.sleep(0.1)
        if stamp() != last:
            last, quiet_since = stamp(), time.monotonic()
    process.send_signal(signal.SIGTERM)
    status = process.wait(120)
    draft = draft_bytes(path)
    channel.send("final", status=status, draft=None if draft is None else base64.b64encode(draft).decode())
    subprocess.run(["/bin/umount", MOUNT_POINT], check=True)
    subprocess.run(["/sbin/dmsetup", "remove", "--noudevsync", os.path.basename(SLOW_DISK)], check=True)
    channel.send("halt")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--run", required=True)
    parser.add_argument("--boot", type=int, required=True)
    parser.add_argument("--wendrel", required=True)
    parser.add_argument("--vfb", required=True)
    parser.add_argument("--channel", default="/dev/ttyS1")
    args = parser.parse_args()
    channel = Channel(args.channel)
    channel.send("boot", uptime=float(open("/proc/uptime").read().split()[0]))
    with open(os.path.join(args.run, "plan-%d.json" % args.boot)) as f:
        plan = json.load(f)
    with open(os.path.join(args.run, "keys.json")) as f:
        table = json.load(f)
    process = None
    try:
        mount_disk(channel)
        device = Device(argparse.Namespace(vfb=args.vfb, run=args.run), table)
        device.load_framebuffer(*SIZE)
        fb, touch = Framebuffer(*SIZE), Touchscreen(*SIZE)
        with open(os.path.join(args.run, "wendrel-%d.log" % args.boot), "w") as log:
            process, layout = start_wendrel(args, channel, device, fb, touch, log)
        DraftWatch(channel, DRAFT_FOLDER).start()
        type_plan(channel, touch, layout, plan["taps"])
        channel.send("typed")
        if plan["last"]:
            finish(channel, process)
        else:
            time.sleep(3600)  # the host ends the machine
    except Exception as error:  # reported to the host, which fails the check
        channel.send("error", message="%s: %s" % (type(error).__name__, error))
        if process and process.poll() is None:
            process.kill()
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
