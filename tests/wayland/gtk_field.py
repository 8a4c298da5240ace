"""A GTK 3 window with one text field for the Wayland tests. Prints the field's text as a JSON
line whenever it changes. Options: --purpose NAME (password, terminal, email, url, number),
--text TEXT (the field's text at start, the caret at its end), --app-id ID, --button (a window
with a button only: no text field), --no-spellcheck (hints that ask for no spell checking)."""
import argparse
import json
import sys

import gi
gi.require_version('Gtk', '3.0')
from gi.repository import GLib, Gtk

parser = argparse.ArgumentParser()
parser.add_argument('--purpose', default='')
parser.add_argument('--text', default='')
parser.add_argument('--app-id', default='wendrel-gtk-field')
parser.add_argument('--button', action='store_true')
parser.add_argument('--no-spellcheck', action='store_true', help='hints: word completion, no spell checking')
args = parser.parse_args()

GLib.set_prgname(args.app_id)
window = Gtk.Window(title=args.app_id)
window.connect('destroy', Gtk.main_quit)
if args.button:
    window.add(Gtk.Button(label='No text here'))
else:
    entry = Gtk.Entry()
    purposes = {'password': Gtk.InputPurpose.PASSWORD, 'terminal': Gtk.InputPurpose.TERMINAL,
                'email': Gtk.InputPurpose.EMAIL, 'url': Gtk.InputPurpose.URL,
                'number': Gtk.InputPurpose.NUMBER}
    if args.purpose:
        entry.set_input_purpose(purposes[args.purpose])
        if args.purpose == 'password':
            entry.set_visibility(False)
    if args.no_spellcheck:
        entry.set_input_hints(Gtk.InputHints.WORD_COMPLETION | Gtk.InputHints.NO_SPELLCHECK)
    entry.set_text(args.text)

    def changed(field):
        print(json.dumps(field.get_text()), flush=True)

    entry.connect('changed', changed)
    window.add(entry)

    def caret_to_end():
        entry.grab_focus()
        entry.set_position(-1)
        return False

    GLib.idle_add(caret_to_end)
window.show_all()
print('"ready"', flush=True)
Gtk.main()
