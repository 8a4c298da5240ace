"""A GTK text field that reports what it receives, for keyboard mode's checks and benchmark.
Usage: /usr/bin/python3 text_receiver.py OUTPUT [--password] [--view]
Writes the field's whole text to OUTPUT after every change (replaced atomically), and appends
"<CLOCK_MONOTONIC seconds> <keyval name>" to OUTPUT.keys for every key press it gets.
--password: an entry that hides its text (a password field as AT-SPI reports it);
--view: a multi-line text view instead of an entry (Return makes a line break)."""
import os
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

output = sys.argv[1]
password = "--password" in sys.argv
multi_line = "--view" in sys.argv
keys = open(output + ".keys", "a", buffering=1)


def write(text):
    with open(output + ".tmp", "w", encoding="utf-8") as part:
        part.write(text)
    os.replace(output + ".tmp", output)


def on_key(widget, event):
    keys.write("%.6f %s\n" % (time.clock_gettime(time.CLOCK_MONOTONIC), Gdk.keyval_name(event.keyval)))
    return False


# A still caret: the benchmark waits for the screen to stop changing.
Gtk.Settings.get_default().set_property("gtk-cursor-blink", False)
window = Gtk.Window(title=os.path.basename(output))  # the window found by this name
window.set_default_size(500, 200)
window.move(0, 0)
if multi_line:
    field = Gtk.TextView()
    field.get_buffer().connect("changed", lambda b: write(b.get_text(b.get_start_iter(), b.get_end_iter(), True)))
else:
    field = Gtk.Entry()
    field.set_visibility(not password)
    field.connect("changed", lambda e: write(e.get_text()))
field.connect("key-press-event", on_key)
window.add(field)
window.connect("destroy", Gtk.main_quit)
write("")
window.show_all()
field.grab_focus()
Gtk.main()
