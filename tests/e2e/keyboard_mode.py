"""Keyboard mode end to end on X11: Xvfb with openbox, the accessibility bus, receiving
programs (a GTK text field, xterm) and `wendrel --keyboard`, driven by pointer clicks at the
panel's documented geometry.
  1. The sender alone (wendrel-x11-send): every printable ASCII character, the long-press
     popups' letters, the euro sign and an emoji arrive exactly in a GTK field and in xterm,
     with Caps Lock on, and Caps Lock is still on afterwards; under a held Shift "ab" arrives
     as "ab", and the Shift is still held afterwards.
  2. The panel: t, g, e, Space types "The "; every printable ASCII character, the popups'
     letters and the euro sign tapped arrive exactly, and the focus stays in the receiver
     through the taps; a candidate and a correction arrive as whole words; a held BackSpace,
     the slide on Space, Ctrl+A then BackSpace; the focus given back after the Options
     dialog; a word typed into a password field is not learned, one in a text field is.
Run inside a D-Bus session of its own:
    dbus-run-session -- /usr/bin/python3 keyboard_mode.py WENDREL X11_SEND PANEL_POINTS"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_session import start_xvfb  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SCREEN = (1024, 768)
ASCII = "".join(chr(c) for c in range(33, 127)) + " "
POPUP_LETTERS = ("áàäâãąåæçčćďéèêęěëğíìîïıłñńňóöòôõøœřßşśšťüúùûůýÿżžź"
                 "ÁÀÄÂÃĄÅÆÇČĆĎÉÈÊĘĚËĞÍÌÎÏİŁÑŃŇÓÖÒÔÕØŒŘẞŞŚŠŤÜÚÙÛŮÝŸŻŽŹ")


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=10.0):
    deadline = time.monotonic() + timeout
    while True:
        answer = probe()
        if answer:
            return answer
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


def expect(what, got, wanted):
    if got != wanted:
        raise Failure("%s: got %r, expected %r" % (what, got, wanted))
    print("PASS: %s" % what, flush=True)


def xdotool(*arguments):
    return subprocess.run(["xdotool"] + [str(a) for a in arguments], check=True, capture_output=True,
                          text=True).stdout.strip()


class Desktop:
    def __init__(self, wendrel, sender, points_tool):
        self.wendrel_program = wendrel
        self.sender = sender
        self.folder = tempfile.mkdtemp(prefix="wendrel-keyboard-mode-")
        self.processes = []
        xvfb, display = start_xvfb(SCREEN)
        self.processes.append(xvfb)
        os.environ["DISPLAY"] = display
        os.environ["LC_ALL"] = "C.UTF-8"
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        self.start(["openbox"])
        wait_for("openbox", lambda: subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                   capture_output=True, text=True).stdout.count("window id"))
        self.keys, self.cells = {}, {}
        for line in subprocess.run([points_tool, str(SCREEN[0]), str(SCREEN[1])], check=True, capture_output=True,
                                   text=True).stdout.splitlines():
            fields = line.split()
            if fields[0] == "key":
                index, role, typed, shifted, x, y = fields[1], fields[2], int(fields[3]), int(fields[4]), \
                    int(fields[5]), int(fields[6])
                self.keys[int(index)] = (role, typed, shifted, x, y)
            else:
                index, shift, char, x, y = (int(f) for f in fields[1:])
                self.cells.setdefault(chr(char), (index, bool(shift), x, y))
        self.roles = {}
        for index, (role, typed, shifted, x, y) in self.keys.items():
            self.roles.setdefault(role, index)
            if typed == 8:
                self.roles["backspace"] = index
            elif typed == 32:
                self.roles["space"] = index
        self.wendrel = None
        self.data = os.path.join(self.folder, "data")

    def start(self, command, **options):
        options.setdefault("stderr", subprocess.DEVNULL)
        options.setdefault("stdout", subprocess.DEVNULL)
        process = subprocess.Popen(command, start_new_session=True, **options)
        self.processes.append(process)
        return process

    def receiver(self, name, *options):
        """A GTK text field; returns (process, output file, its window id)."""
        output = os.path.join(self.folder, name)
        process = self.start(["/usr/bin/python3", os.path.join(HERE, "text_receiver.py"), output] + list(options))
        wait_for("the receiver's file", lambda: os.path.exists(output))
        window = wait_for("the receiver's window", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name], capture_output=True,
            text=True).stdout.split(), 30)[0]
        wait_for("the receiver focused", lambda: activated(window))
        return process, output, window

    def start_wendrel(self):
        # A program run from its build folder keeps its settings beside itself: a folder of its
        # own here, the program copied and its data files linked.
        built = os.path.dirname(os.path.abspath(self.wendrel_program))
        bin_folder = os.path.join(self.folder, "bin")
        os.makedirs(bin_folder)
        for name in os.listdir(built):
            source = os.path.join(built, name)
            if name == os.path.basename(self.wendrel_program):
                shutil.copy2(source, bin_folder)
            elif os.path.isfile(source) and not name.endswith(".dat"):
                os.symlink(source, os.path.join(bin_folder, name))
        with open(os.path.join(bin_folder, "config.dat"), "w") as settings:
            settings.write("0111")  # no sound, visual response, completion and correction on
        self.log = os.path.join(self.folder, "wendrel.log")
        program = os.path.join(bin_folder, os.path.basename(self.wendrel_program))
        self.wendrel = self.start([program, "--keyboard"], stderr=open(self.log, "w"), env=dict(
            os.environ, XDG_CONFIG_HOME=os.path.join(self.folder, "config"), XDG_DATA_HOME=self.data,
            XDG_STATE_HOME=os.path.join(self.folder, "state")))
        wait_for("the panel", lambda: subprocess.run(["xdotool", "search", "--name", "Wendrel Keyboard"],
                                                     capture_output=True).returncode == 0)
        time.sleep(1.5)  # the words and the tap decoder are loaded after the first frame

    def tap_at(self, x, y):
        xdotool("mousemove", x, y, "click", 1)
        time.sleep(0.03)

    def tap(self, role_or_index):
        index = self.roles[role_or_index] if isinstance(role_or_index, str) else role_or_index
        self.tap_at(*self.keys[index][3:])

    def type_char(self, ch):
        """Taps what types ch: its key, Shift and its key, or a long press and its popup cell."""
        for index, (role, typed, shifted, x, y) in self.keys.items():
            if role in ("letter", "shiftkey", "character", "equals") and typed == ord(ch):
                self.tap_at(x, y)
                return
        for index, (role, typed, shifted, x, y) in self.keys.items():
            if role in ("letter", "shiftkey") and shifted == ord(ch):
                self.tap("shift")
                self.tap_at(x, y)
                return
        if ch == " ":
            self.tap("space")
            return
        if ch in self.cells:
            index, shift, cx, cy = self.cells[ch]
            if shift:
                self.tap("shift")
            x, y = self.keys[index][3:]
            xdotool("mousemove", x, y, "mousedown", 1)
            time.sleep(0.6)  # a hold opens the popup
            xdotool("mousemove", cx, cy)
            time.sleep(0.05)
            xdotool("mouseup", 1)
            time.sleep(0.03)
            return
        raise Failure("no way to type %r on the panel" % ch)

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGTERM)
        for process in reversed(self.processes):
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def activated(window):
    """Whether the window has the focus; if not, a click into it (a window manager may keep a new
    window from taking the focus from the one the user last typed into)."""
    if xdotool("getwindowfocus") == window:
        return True
    subprocess.run(["xdotool", "mousemove", "--window", window, "50", "50", "click", "1"], capture_output=True)
    return False


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def arrives(path, wanted, timeout=5.0):
    try:
        return wait_for("the text %r" % wanted[-40:], lambda: read(path) == wanted, timeout)
    except Failure:
        raise Failure("expected %r, the receiver has %r" % (wanted, read(path)))


def check_sender(desktop):
    # xterm: the characters reach a terminal program through its tty.
    terminal_out = os.path.join(desktop.folder, "xterm.txt")
    xterm = desktop.start(["xterm", "-u8", "-T", "TerminalReceiver", "-e", "sh", "-c",
                           "stty -echo; cat > '%s'" % terminal_out])
    window = wait_for("xterm's window", lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "TerminalReceiver"],
                                                               capture_output=True, text=True).stdout.split())[0]
    wait_for("xterm focused", lambda: activated(window))
    time.sleep(0.3)
    subprocess.run([desktop.sender, ASCII + "éł€", "key:Return"], check=True, capture_output=True)
    arrives(terminal_out, ASCII + "éł€\n")
    print("PASS: the sender types ASCII and the euro sign into xterm", flush=True)
    xterm.terminate()
    xterm.wait()

    text = ASCII + POPUP_LETTERS + "€😀"
    xdotool("key", "Caps_Lock")
    process, output, window = desktop.receiver("sender.txt")
    subprocess.run([desktop.sender, text], check=True, capture_output=True)
    arrives(output, text)
    print("PASS: the sender types ASCII, the popups' letters, the euro sign and an emoji into GTK with Caps Lock on",
          flush=True)
    subprocess.run([desktop.sender, "x"], check=True, capture_output=True)
    xdotool("key", "a")  # Caps Lock is still on: the physical "a" types "A"
    arrives(output, text + "xA")
    print("PASS: Caps Lock is left on", flush=True)
    xdotool("key", "Caps_Lock")

    # A Shift held on the keyboard: the sender's letters stay as they are, and the Shift is
    # still held afterwards.
    xdotool("keydown", "shift")
    subprocess.run([desktop.sender, "ab"], check=True, capture_output=True)
    xdotool("key", "c")
    xdotool("keyup", "shift")
    xdotool("key", "d")
    arrives(output, text + "xA" + "abCd")
    print("PASS: a held Shift neither changes the sent letters nor is let go", flush=True)
    process.terminate()
    process.wait()



def check_panel(desktop):
    process, output, window = desktop.receiver("panel.txt", "--view")
    desktop.start_wendrel()
    expect("the receiver keeps the focus after the panel opened", xdotool("getwindowfocus"), window)

    for ch in "tge ":
        desktop.type_char(ch)
    arrives(output, "The ")
    print("PASS: t, g, e, Space types \"The \"", flush=True)

    # Options takes the focus while open and gives it back when it closes.
    desktop.tap("options")
    wait_for("the Options dialog focused", lambda: xdotool("getwindowfocus") != window)
    xdotool("key", "Escape")
    wait_for("the focus back in the receiver", lambda: xdotool("getwindowfocus") == window)
    print("PASS: the focus goes back to the receiver after the Options dialog", flush=True)

    # Every ASCII character and the popups' letters; the focus never leaves the receiver.
    taps_before = 0
    text = "The "
    for ch in ASCII:
        desktop.type_char(ch)
        taps_before += 1
    text += ASCII
    arrives(output, text)
    expect("the focus after %d characters tapped" % taps_before, xdotool("getwindowfocus"), window)
    # Long presses one right after another, each popup letter mapped on a spare keycode: none
    # of the taps may go astray while the programs read the changed keymap.
    for ch in POPUP_LETTERS[::5] + "€":
        desktop.type_char(ch)
        text += ch
    arrives(output, text)
    expect("the focus after the popups", xdotool("getwindowfocus"), window)
    print("PASS: every printable ASCII character and the popups' letters arrive", flush=True)

    # A correction: "qnd" is corrected to "and" as a whole word.
    desktop.tap("load")  # Esc: nothing in a text view, and a fresh start for the text target
    for ch in " qnd ":
        desktop.type_char(ch)
    text += " and "
    arrives(output, text)
    print("PASS: a correction arrives as a whole word", flush=True)

    # A candidate: "hel" and the first cell.
    for ch in "hel":
        desktop.type_char(ch)
    time.sleep(0.3)
    strip = [desktop_point(5 + 230 * (c + 0.5) / 3, 67) for c in range(3)]
    desktop.tap_at(*strip[0])
    time.sleep(0.5)
    now = read(output)
    word = now[len(text):].rstrip(" ")
    if not now.startswith(text) or not word.startswith("hel") or len(word) <= 3 or " " in word:
        raise Failure("a candidate for 'hel' arrived as %r" % now[len(text):])
    print("PASS: a candidate arrives as a whole word (%r)" % word, flush=True)

    # A held BackSpace deletes more than one character.
    before = read(output)
    x, y = desktop.keys[desktop.roles["backspace"]][3:]
    xdotool("mousemove", x, y, "mousedown", 1)
    time.sleep(1.6)
    xdotool("mouseup", 1)
    time.sleep(0.5)
    after = read(output)
    if not (before.startswith(after) and len(after) <= len(before) - 3):
        raise Failure("a held BackSpace left %r of %r" % (after[-30:], before[-30:]))
    print("PASS: a held BackSpace deletes %d characters" % (len(before) - len(after)), flush=True)

    # The slide on Space moves the caret left: "z" lands before the last two characters.
    for ch in "abc":
        desktop.type_char(ch)
    time.sleep(0.2)
    base = read(output)
    x, y = desktop.keys[desktop.roles["space"]][3:]
    xdotool("mousemove", x + 30, y, "mousedown", 1)
    for step in range(1, 9):
        xdotool("mousemove", x + 30 - step * 5, y)
        time.sleep(0.03)
    xdotool("mouseup", 1)
    time.sleep(0.2)
    desktop.type_char("z")
    time.sleep(0.3)
    slid = read(output)
    if slid.endswith("z") or sorted(slid) != sorted(base + "z"):
        raise Failure("after the slide on Space, z went to %r" % slid[-10:])
    print("PASS: the slide on Space moves the caret (%r)" % slid[-6:], flush=True)

    # Ctrl+A, then BackSpace: the whole text goes.
    desktop.tap("shortcut")
    desktop.type_char("a")
    desktop.tap("backspace")
    arrives(output, "")
    print("PASS: Ctrl+A then BackSpace empties the field", flush=True)
    expect("the focus after every tap", xdotool("getwindowfocus"), window)

    # Learning: a word typed into a text field is learned, one typed into a password field not.
    for ch in " apple ":
        desktop.type_char(ch)
    process.terminate()
    process.wait()
    secret, secret_out, secret_window = desktop.receiver("password.txt", "--password")
    time.sleep(0.8)  # the accessibility bus tells the field's role
    for ch in "kitten ":
        desktop.type_char(ch)
    wait_for("the password typed", lambda: "kitten" in read(secret_out).lower())
    desktop.tap("exit")
    desktop.wendrel.wait(10)
    learned = read(os.path.join(desktop.data, "wendrel", "learned-words.txt")).lower()
    if "apple" not in learned:
        raise Failure("the word typed into the text field was not learned: %r" % learned[:200])
    if "kitten" in learned:
        raise Failure("the word typed into the password field was learned")
    print("PASS: a text field's word is learned, a password field's word is not", flush=True)


def desktop_point(x, y):
    width, height = SCREEN
    scale = 1.0
    while 240 * (scale + 0.25) <= width and 263 * (scale + 0.25) <= height / 2:
        scale += 0.25
    return (round((width - round(240 * scale)) // 2 + x * scale), round(height - round(263 * scale) + (y - 57) * scale))


def main():
    desktop = Desktop(*sys.argv[1:4])
    try:
        check_sender(desktop)
        check_panel(desktop)
    except Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        if desktop.wendrel is not None and os.path.exists(desktop.log):
            print(read(desktop.log)[-3000:])
        return 1
    finally:
        desktop.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
