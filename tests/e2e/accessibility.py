"""Wendrel through a screen reader's eyes: the real program on Xvfb, read and driven over
AT-SPI as Orca would. Every key is a push button named by its current caption, pressing one
types, the text area is an editable text named "Text", and the Options and Shortcut dialogs
offer named controls in their keyboard order with the first one focused at every opening.
Run inside a D-Bus session of its own:
    dbus-run-session -- /usr/bin/python3 accessibility.py WENDREL"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_session import start_xvfb  # noqa: E402

warnings.filterwarnings("ignore", category=DeprecationWarning)  # older and newer Atspi names differ


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=10.0):
    """Polls probe() until it answers something true; returns that answer."""
    deadline = time.monotonic() + timeout
    while True:
        answer = probe()
        if answer:
            return answer
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def expect(what, got, wanted):
    if got != wanted:
        raise Failure("%s: got %r, expected %r" % (what, got, wanted))
    print("PASS: %s" % what)


def descendants(node, depth=0):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is None:
            continue
        yield child
        if depth < 12:
            yield from descendants(child, depth + 1)


def has_state(node, state):
    return node.get_state_set().contains(state)


def accessibility_bus_ready():
    """Whether the bus launcher serves the accessibility bus's address on the session bus."""
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                              "NameHasOwner", GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                              Gio.DBusCallFlags.NONE, -1, None)
    return reply.unpack()[0]


class Program:
    def __init__(self, wendrel):
        self.folder = tempfile.mkdtemp(prefix="wendrel-atspi-")
        self.processes = []
        # A Start Menu of its own with one program, so that the Shortcut dialog's Add is enabled.
        start_menu = os.path.join(self.folder, "data", "wendrel", "Start Menu")
        os.makedirs(start_menu)
        with open(os.path.join(start_menu, "Notes.lnk"), "w") as lnk:
            lnk.write("9#/bin/true")
        xvfb, self.display = start_xvfb((800, 600))
        self.processes.append(xvfb)
        os.environ["DISPLAY"] = self.display
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for("the accessibility bus", accessibility_bus_ready)
        self.log = os.path.join(self.folder, "wendrel.log")
        self.wendrel = self.start([wendrel], stderr=open(self.log, "w"), env=dict(
            os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            XDG_CONFIG_HOME=os.path.join(self.folder, "config"), XDG_DATA_HOME=os.path.join(self.folder, "data"),
            XDG_STATE_HOME=os.path.join(self.folder, "state")))

    def start(self, command, **options):
        options.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, start_new_session=True, **options)
        self.processes.append(process)
        return process

    def application(self):
        if self.wendrel.poll() is not None:
            with open(self.log, errors="replace") as log:
                raise Failure("wendrel ended with status %d: %s" % (self.wendrel.returncode, log.read()[-3000:]))
        desktop = Atspi.get_desktop(0)
        desktop.clear_cache()  # no event loop runs here to bring the list up to date
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == "wendrel":
                return app
        return None

    def key(self, keysym):
        subprocess.run(["xdotool", "key", keysym], check=True)

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


class Keyboard:
    """The keyboard window as a screen reader sees it."""

    def __init__(self, program):
        self.program = program
        self.app = wait_for("Wendrel on the accessibility bus", program.application, 30)
        self.window = wait_for("the keyboard window", lambda: self.windows().get("Wendrel"))
        self.keys = wait_for("66 keys", lambda: self.buttons() if len(self.buttons()) == 66 else None)
        self.text = wait_for("the text area", lambda: next(
            (n for n in descendants(self.window) if n.get_role() == Atspi.Role.TEXT), None))

    def windows(self):
        self.app.clear_cache()
        return {w.get_name(): w for w in (self.app.get_child_at_index(i) for i in range(self.app.get_child_count()))
                if w is not None}

    def buttons(self):
        return [n for n in descendants(self.window) if n.get_role() == Atspi.Role.PUSH_BUTTON]

    def captions(self):
        self.window.clear_cache()
        return [key.get_name() for key in self.keys]

    def press(self, caption):
        names = self.captions()
        if caption not in names:
            raise Failure("no key named %r among %r" % (caption, names))
        key = self.keys[names.index(caption)]
        for i in range(key.get_n_actions()):
            if key.get_action_name(i) in ("Press", "press", "click"):
                key.do_action(i)
                break
        else:
            raise Failure("key %r has no press action" % caption)
        time.sleep(0.25)  # the key's click and the character it posts

    def content(self):
        self.text.clear_cache()
        return self.text.get_text(0, -1)


def dialog_controls(dialog):
    """The dialog's keyboard-reachable controls: (role, name)."""
    return [n for n in descendants(dialog) if has_state(n, Atspi.StateType.FOCUSABLE)
            and has_state(n, Atspi.StateType.SHOWING) and n.get_role() in CONTROL_ROLES]


CONTROL_ROLES = {Atspi.Role.PUSH_BUTTON, Atspi.Role.COMBO_BOX, Atspi.Role.CHECK_BOX, Atspi.Role.TREE_TABLE,
                 Atspi.Role.TABLE, Atspi.Role.LIST, Atspi.Role.TREE, Atspi.Role.LIST_BOX}


def spoken_name(node):
    """What a screen reader says a control is: its name, but for a combo box (whose name is
    its current item) the label it is labelled by."""
    if node.get_role() != Atspi.Role.COMBO_BOX:
        return node.get_name()
    for relation in node.get_relation_set():
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY and relation.get_n_targets():
            return relation.get_target(0).get_name()
    return node.get_name()


def focused(dialog):
    dialog.clear_cache()
    for node in dialog_controls(dialog):
        if has_state(node, Atspi.StateType.FOCUSED):
            return spoken_name(node)
    return None


def keyboard_order(program, dialog, count):
    """The names of the controls that Tab visits, starting with the focused one."""
    order = [wait_for("a focused control", lambda: focused(dialog))]
    for _ in range(count - 1):
        previous = order[-1]
        program.key("Tab")
        order.append(wait_for("the focus to move on from " + previous,
                              lambda: (lambda now: now if now != previous else None)(focused(dialog))))
    return order


def open_dialog(keyboard, key):
    keyboard.press(key)
    return wait_for("the dialog of " + key, lambda: next(
        (w for w in (keyboard.app.get_child_at_index(i) for i in range(keyboard.app.get_child_count()))
         if w is not None and w.get_role() == Atspi.Role.DIALOG and has_state(w, Atspi.StateType.SHOWING)), None))


def close_dialog(program, keyboard, dialog):
    program.key("Escape")
    wait_for("the dialog to close", lambda: not has_state(dialog, Atspi.StateType.SHOWING)
             or (dialog.clear_cache() or not has_state(dialog, Atspi.StateType.SHOWING)))
    wait_for("the keys back", lambda: (keyboard.window.clear_cache() or True)
             and has_state(keyboard.keys[0], Atspi.StateType.SHOWING))


def check(program):
    keyboard = Keyboard(program)
    captions = keyboard.captions()
    expect("66 keys, each a push button with a name", (len(captions), all(captions)), (66, True))
    expect("keys named by their captions", [c for c in ("q", "a", "7", "Save", "Load", "Fn", "Exit") if c in captions],
           ["q", "a", "7", "Save", "Load", "Fn", "Exit"])

    expect("the text area's name", keyboard.text.get_name(), "Text")
    expect("the text area is editable", has_state(keyboard.text, Atspi.StateType.EDITABLE), True)
    for caption in ("h", "i", "Space", "7"):
        keyboard.press(caption)
    expect("keys pressed over AT-SPI type", wait_for("the typed text", lambda: keyboard.content() == "Hi 7" and "Hi 7"
                                                     or None, 5), "Hi 7")

    keyboard.press("Shift")
    expect("names follow Shift", [c in keyboard.captions() for c in ("Q", "&", "q")], [True, True, False])
    keyboard.press("Shift")
    keyboard.press("Caps")
    expect("names follow Caps", [c in keyboard.captions() for c in ("Q", "7", "q")], [True, True, False])
    keyboard.press("Caps")
    keyboard.press("Fn")
    expect("names follow Fn", [c in keyboard.captions() for c in ("Copy", "Paste", "Save")], [True, True, False])
    keyboard.press("Fn")
    expect("Fn released", [c in keyboard.captions() for c in ("Save", "Load")], [True, True])

    options = open_dialog(keyboard, "Options")
    controls = [(n.get_role_name(), spoken_name(n)) for n in dialog_controls(options)]
    expect("Options dialog: every control named", controls,
           [("combo box", "Keypress Sound:"), ("check box", "Visual response for keypress"),
            ("check box", "Word completion"), ("check box", "Swipe typing"), ("check box", "Correct typing errors"),
            ("push button", "OK")])
    # Swipe typing's box is disabled while word completion is off (a fresh start): Tab passes it.
    expect("Options dialog: keyboard order from the first control", keyboard_order(program, options, 6),
           ["Keypress Sound:", "Visual response for keypress", "Word completion", "Correct typing errors", "OK",
            "Keypress Sound:"])
    close_dialog(program, keyboard, options)

    shortcut_order = ["Key:", "Shortcuts", "Letter", "Add", "Delete", "Program:", "Close"]
    shortcuts = open_dialog(keyboard, "Shortcut")
    names = sorted(spoken_name(n) for n in dialog_controls(shortcuts))
    expect("Shortcut dialog: every control named", names, sorted(shortcut_order))
    expect("Shortcut dialog: keyboard order from the first control", keyboard_order(program, shortcuts, 7),
           shortcut_order)
    program.key("shift+Tab")
    program.key("shift+Tab")  # the focus now on Delete
    wait_for("the focus on Delete", lambda: focused(shortcuts) == "Delete")
    close_dialog(program, keyboard, shortcuts)
    shortcuts = open_dialog(keyboard, "Shortcut")
    expect("Shortcut dialog: the first control focused again at the next opening",
           wait_for("a focused control", lambda: focused(shortcuts)), "Key:")
    close_dialog(program, keyboard, shortcuts)
    expect("the text kept through the dialogs", keyboard.content(), "Hi 7")
    check_popup(keyboard)


def check_popup(keyboard):
    """A long press on "e" with the pointer: its popup is a menu of the alternates while held."""
    key = keyboard.keys[keyboard.captions().index("e")]
    extents = key.get_extents(Atspi.CoordType.SCREEN)
    centre = (extents.x + extents.width // 2, extents.y + extents.height // 2)
    subprocess.run(["xdotool", "mousemove", str(centre[0]), str(centre[1]), "mousedown", "1"], check=True)

    def open_menu():
        keyboard.window.clear_cache()
        return next((n for n in descendants(keyboard.window)
                     if n.get_role() == Atspi.Role.POPUP_MENU and n.get_child_count() > 0), None)

    try:
        menu = wait_for("the long press's popup", open_menu, 5)
        items = [menu.get_child_at_index(i) for i in range(menu.get_child_count())]
        expect("the popup's items: menu items named by what they type",
               ([i.get_role() for i in items if i.get_role() != Atspi.Role.MENU_ITEM],
                "\u00e8" in [i.get_name() for i in items], "\u00e9" in [i.get_name() for i in items]),
               ([], True, True))
    finally:
        subprocess.run(["xdotool", "mouseup", "1"], check=True)


def main():
    program = Program(sys.argv[1])
    try:
        check(program)
    except Failure as failure:
        print("FAIL:", failure)
        return 1
    finally:
        program.stop()
    print("PASS: Wendrel over AT-SPI")
    return 0


if __name__ == "__main__":
    sys.exit(main())
