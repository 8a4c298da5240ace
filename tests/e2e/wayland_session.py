"""Wendrel on a real Wayland compositor (weston inside Xvfb), driven through the compositor's
own pointer and keyboard: the window comes up at its size, taps type, Fn + Copy reaches the
Wayland clipboard, and Exit (many times over, to catch an end that hangs now and then; once
with the selection taken by another client meanwhile) and a close request end the program
within seconds and leave the text on the clipboard, as SIGTERM, SIGHUP and SIGINT do.
    wayland_session.py WENDREL X11_SNAPSHOT KEY_TABLE_SOURCE [EXIT_ROUNDS]"""
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_session import BACKGROUND, LAYOUT_SIZE, NestedDesktop, key_rects  # noqa: E402

DIALOG_FACE = bytes((239, 239, 239))  # the window colour of Qt's Fusion style
END_LIMIT = 3.0  # seconds from the user's last answer to the end of the process


class Failure(Exception):
    pass


class Session:
    def __init__(self, desktop, wendrel, keys):
        self.desktop = desktop
        self.wendrel = wendrel
        self.keys = keys
        self.origin = None
        self.process = None
        self.home = tempfile.mkdtemp(prefix="home-", dir=desktop.folder)

    def start(self):
        """Starts Wendrel and waits for its window; returns the window's content size."""
        state = tempfile.mkdtemp(prefix="state-", dir=self.home)  # no draft from an earlier round
        self.process = self.desktop.start_program(
            [self.wendrel], QT_QPA_PLATFORM="wayland", XDG_CONFIG_HOME=os.path.join(self.home, "config"),
            XDG_DATA_HOME=os.path.join(self.home, "data"), XDG_STATE_HOME=state)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise Failure("wendrel ended at start: " + self.process.stderr.read().decode(errors="replace"))
            bounds = self.desktop.snapshot().bounds_of(BACKGROUND)
            if bounds and bounds[2] >= 100 and bounds[3] >= 100:
                time.sleep(0.3)  # settled when a second look agrees
                if self.desktop.snapshot().bounds_of(BACKGROUND) == bounds:
                    self.origin = bounds[:2]
                    self.desktop.home_pointer()
                    return bounds[2:]
            time.sleep(0.1)
        raise Failure("no window appeared within 30 s")

    def tap(self, caption):
        x, y, w, h = self.keys[caption]
        self.desktop.tap(self.origin[0] + x + w // 2, self.origin[1] + y + h // 2)

    def type(self, captions):
        for caption in captions:
            self.tap(caption)

    def wait_for_end(self, started):
        try:
            status = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within 30 s")
        took = time.monotonic() - started
        if status != 0:
            raise Failure("the program ended with status %d" % status)
        return took

    def exit_through_key(self, while_message_shows=None):
        """Taps Exit, answers the message box with Return; returns the seconds the end took."""
        x, y, w, h = self.keys["Exit"]
        exit_key = (self.origin[0] + x - 24, self.origin[1] + y - 24, w + 48, h + 48)  # its look, the pointer
        before = self.desktop.snapshot()
        self.tap("Exit")
        deadline = time.monotonic() + 10
        while self.desktop.snapshot().differs(before, exit_key) < 2000:  # the message box
            if self.process.poll() is not None:
                raise Failure("the program ended without its message box (status %d)" % self.process.returncode)
            if time.monotonic() > deadline:
                raise Failure("no message box after Exit")
            time.sleep(0.1)
        time.sleep(0.2)
        if while_message_shows:
            while_message_shows()
            # The other client may have taken the keyboard focus: give it back to the message
            # with a click on its face (the dialogs' grey, found nowhere on the keyboard).
            face = self.desktop.snapshot().bounds_of(DIALOG_FACE)
            if not face:
                raise Failure("the message box is not to be seen")
            self.desktop.tap(face[0] + 4, face[1] + 4)
        self.desktop.xdotool("key", "Return")
        return self.wait_for_end(time.monotonic())

    def end_by_signal(self, number):
        started = time.monotonic()
        self.process.send_signal(number)
        return self.wait_for_end(started)

    def close_through_close_box(self):
        """Clicks the close box of the window's title bar (Qt's own decoration on weston)."""
        started = time.monotonic()
        # The decoration's close button: 226 px right of the content's left edge, 15 px above it.
        self.desktop.tap(self.origin[0] + 226, self.origin[1] - 15)
        return self.wait_for_end(started)


def expect(what, got, wanted):
    if got != wanted:
        raise Failure("%s: got %r, expected %r" % (what, got, wanted))
    print("PASS: %s: %r" % (what, got))


def main():
    wendrel, snapshot_tool, key_table_source = sys.argv[1:4]
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    keys = key_rects(key_table_source)
    desktop = NestedDesktop(snapshot_tool)
    ends = []
    try:
        desktop.start()

        # Size, taps and Fn + Copy while the program runs.
        session = Session(desktop, wendrel, keys)
        expect("window content size", session.start(), LAYOUT_SIZE)
        session.type(["H", "E", "L", "L", "O"])
        session.type(["Fn", "Save"])  # Save is Copy in Fn mode
        time.sleep(0.3)
        expect("Fn + Copy on the Wayland clipboard", desktop.clipboard(), "Hello")
        ends.append(session.exit_through_key())
        expect("clipboard after Exit", desktop.clipboard(), "Hello")

        # Exit, again and again: every round must end, and leave its own text.
        digits = "1234567890"
        for n in range(1, rounds):
            session = Session(desktop, wendrel, keys)
            session.start()
            session.type(["W", "O", "R", "D", "Space", digits[n % 10]])
            ends.append(session.exit_through_key())
            expect("round %d: clipboard after Exit" % (n + 1), desktop.clipboard(), "Word " + digits[n % 10])

        # Another client takes the selection while the message shows (as the compositor may when
        # the message closes): the program no longer owns the clipboard, and still leaves its text.
        session = Session(desktop, wendrel, keys)
        session.start()
        session.type(["M", "I", "N", "E"])
        ends.append(session.exit_through_key(lambda: desktop.copy("someone else's")))
        expect("clipboard after Exit that lost the selection", desktop.clipboard(), "Mine")

        # A close request keeps the text as Exit does, without a message.
        session = Session(desktop, wendrel, keys)
        session.start()
        session.type(["C", "L", "O", "S", "E", "D"])
        ends.append(session.close_through_close_box())
        expect("clipboard after the close box", desktop.clipboard(), "Closed")

        # A shutdown, a closed terminal, Ctrl+C: the same end as a close request.
        for number, word in ((signal.SIGTERM, "TERM"), (signal.SIGHUP, "HUP"), (signal.SIGINT, "INT")):
            session = Session(desktop, wendrel, keys)
            session.start()
            session.type(list(word))
            ends.append(session.end_by_signal(number))
            expect("clipboard after SIG" + word, desktop.clipboard(), word.capitalize())

        print("ends took %s s (longest %.2f s)" % (", ".join("%.2f" % t for t in ends), max(ends)))
        slow = [t for t in ends if t > END_LIMIT]
        if slow:
            raise Failure("%d of %d ends took longer than %.0f s" % (len(slow), len(ends), END_LIMIT))
        print("PASS: %d Exit rounds, a close request and three signals ended within %.0f s" % (rounds + 1, END_LIMIT))
    except Failure as failure:
        print("FAIL:", failure)
        return 1
    finally:
        desktop.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
