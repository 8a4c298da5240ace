#!/usr/bin/env python3
"""Keyboard mode on Wayland, end to end in a headless sway run as a user without privileges.

A virtual pointer taps the panel's keys. Receivers: a GTK text field and foot (text-input v3,
so Wendrel types through the input method) and a Qt 6.4 text field (no text-input v3: the
virtual keyboard). Checks: exact text with accents and the euro sign, the focus never leaving
the receiver, the panel shown and hidden with a text field's focus (in grim's screenshots), a
password field without candidates and learning nothing, no capital in a terminal, and the text
before the caret read from the field.

    keyboard_mode_test.py WENDREL WENDREL_TYPE WENDREL_TAP QT_FIELD
"""
import json
import os
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from sway_session import KEYS, SwaySession, Tapper, layout_to_output, panel_scale  # noqa: E402

WENDREL, WENDREL_TYPE, TAP, QT_FIELD = (os.path.abspath(p) for p in sys.argv[1:5])
BACKGROUND = (33, 22, 51)
failures = []


def check(condition, what):
    print(('PASS: ' if condition else 'FAIL: ') + what, flush=True)
    if not condition:
        failures.append(what)


def wait_for(predicate, timeout=6.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    return predicate()


class Receiver:
    """A program that prints its field's text as a JSON line at each change."""
    def __init__(self, session, args, app_id):
        self.lines = []
        self.process = session.spawn(args, stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self.read, daemon=True).start()
        if not wait_for(lambda: self.lines, 15) or not session.wait_focus(app_id, 10):
            raise RuntimeError(app_id + ' did not start or get the focus')

    def read(self):
        for line in self.process.stdout:
            self.lines.append(json.loads(line))

    def text(self):
        return self.lines[-1] if len(self.lines) > 1 else ''

    def wait_text(self, expected, timeout=5.0):
        wait_for(lambda: self.text() == expected, timeout)
        return self.text()

    def close(self):
        self.process.terminate()
        self.process.wait(5)


def popup_cells(layout_point):
    """The long-press popup's cells of the key at this layout point, from wendrel-type."""
    x, y = layout_point
    answer = subprocess.run([WENDREL_TYPE], input='press %s %s\nwait 800\nstate\n' % (x, y), text=True,
                            capture_output=True, check=True).stdout
    return {cell['text']: (cell['x'], cell['y']) for cell in json.loads(answer.splitlines()[-1])['popup']}


def long_press(tapper, session, key_point, cell_point):
    w, h = session.width, session.height
    tapper.command('press %.1f %.1f' % layout_to_output(*key_point, w, h))
    time.sleep(0.8)
    tapper.command('move %.1f %.1f' % layout_to_output(*cell_point, w, h))
    time.sleep(0.1)
    tapper.command('release')
    time.sleep(0.15)


def pixels(session, x, y, w, h):
    """The output's pixels in a rectangle (grim's PPM), as a list of (r, g, b)."""
    path = os.path.join(session.home, 'shot.ppm')
    result = session.run(['grim', '-t', 'ppm', '-g', '%d,%d %dx%d' % (x, y, w, h), path])
    if result.returncode != 0:
        raise RuntimeError('grim: ' + result.stderr)
    with open(path, 'rb') as f:
        data = f.read()
    parts = data.split(maxsplit=4)  # P6 width height maxval pixels
    raw = parts[4]
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


def panel_shown(session):
    """The panel's background colour along the bottom edge, left and right of the keys."""
    corner = pixels(session, 0, session.height - 4, 4, 4) + pixels(session, session.width - 4,
                                                                   session.height - 4, 4, 4)
    return all(abs(p[0] - BACKGROUND[0]) < 4 and abs(p[1] - BACKGROUND[1]) < 4 and abs(p[2] - BACKGROUND[2]) < 4
               for p in corner)


def strip_has_words(session):
    """Whether the candidate strip shows anything: its pixels are not all one colour."""
    s = panel_scale(session.width, session.height)
    x, y = layout_to_output(5, 57, session.width, session.height)
    colours = set(pixels(session, int(x) + 2, int(y) + 2, int(230 * s) - 4, int(20 * s) - 4))
    return len(colours) > 4


def start_wendrel(session, *options):
    log = open(os.path.join(session.root, 'wendrel.log'), 'a')
    # Wendrel chooses Qt's platform itself, as when started from a session's configuration.
    return session.spawn([WENDREL, '--keyboard'] + list(options), stderr=log, env={'QT_QPA_PLATFORM': ''})


def stop(process):
    process.terminate()
    process.wait(10)


def main():
    session = SwaySession(720, 1280)
    try:
        config = os.path.join(session.env['XDG_CONFIG_HOME'], 'wendrel')
        os.makedirs(config)
        with open(os.path.join(config, 'config.dat'), 'w') as f:
            f.write('0111')  # no sound, visual response, completion and correction on
        for folder in (session.env['XDG_CONFIG_HOME'], config):
            os.chown(folder, *session.ids) if session.as_nobody else None
        os.chown(os.path.join(config, 'config.dat'), *session.ids) if session.as_nobody else None
        learned = os.path.join(session.env['XDG_DATA_HOME'], 'wendrel', 'learned-words.txt')

        gtk = [sys.executable if sys.executable.startswith('/usr/bin') else '/usr/bin/python3',
               os.path.join(HERE, 'gtk_field.py')]
        field = Receiver(session, gtk, 'wendrel-gtk-field')
        wendrel = start_wendrel(session)
        check(wait_for(lambda: panel_shown(session), 10), 'the panel appears when a GTK text field has the focus')
        tapper = Tapper(session, TAP)
        time.sleep(1.0)  # the words and the decoder load after the first frame

        tapper.type(['t', 'g', 'e', ' '], 0.15)
        check(field.wait_text('The ') == 'The ', 'GTK field: t, g, e, Space type "The " (got %r)' % field.text())
        check(session.focused() == 'wendrel-gtk-field', 'the focus stayed in the GTK field')
        e_cells = popup_cells(KEYS['e'])
        long_press(tapper, session, KEYS['e'], e_cells['é'])
        four = (70.5, 116.5)
        long_press(tapper, session, four, popup_cells(four)['€'])
        check(field.wait_text('The é€') == 'The é€', 'accented letter and euro sign arrive (got %r)' % field.text())
        # The input method deletes bytes of UTF-8: € is three, é two.
        tapper.type(['BackSpace', 'BackSpace'], 0.15)
        check(field.wait_text('The ') == 'The ', 'two BackSpaces take back the euro sign and the é (got %r)' % field.text())

        # A window without a text field takes the focus: the panel goes, and comes back with the field.
        button = Receiver(session, gtk + ['--button', '--app-id', 'wendrel-gtk-button'], 'wendrel-gtk-button')
        check(wait_for(lambda: not panel_shown(session), 5), 'the panel disappears when a window without a text field has the focus')
        button.close()
        session.wait_focus('wendrel-gtk-field')
        check(wait_for(lambda: panel_shown(session), 5), 'the panel comes back with the text field')
        field.close()

        # The text before the caret is the field's own.
        late = Receiver(session, gtk + ['--text', 'It was late. '], 'wendrel-gtk-field')
        time.sleep(0.3)
        tapper.type(['t', 'h', 'e'], 0.15)
        check(late.wait_text('It was late. The') == 'It was late. The',
              'a field holding "It was late. " gets "The" (got %r)' % late.text())
        late.close()

        # A field whose hints leave out spell checking and automatic capitals: no correction and
        # no capital there.
        plain_hints = Receiver(session, gtk + ['--no-spellcheck', '--app-id', 'wendrel-gtk-nospell'],
                               'wendrel-gtk-nospell')
        time.sleep(0.3)
        tapper.type(['t', 'g', 'e', ' '], 0.15)
        check(plain_hints.wait_text('tge ') == 'tge ',
              'no correction and no capital where the hints ask for neither (got %r)' % plain_hints.text())
        plain_hints.close()

        # A terminal: no capital at a command's start, no correction.
        out = os.path.join(session.home, 'foot.out')
        session.spawn(['foot', '-a', 'wendrel-foot', 'sh', '-c', 'stty raw -echo; exec cat > ' + out])
        session.wait_focus('wendrel-foot')
        wait_for(lambda: os.path.exists(out), 10)
        time.sleep(0.5)
        tapper.type(['t', 'g', 'e', ' '], 0.15)
        read = lambda: open(out, encoding='utf-8').read()
        check(wait_for(lambda: read() == 'tge ', 5) and read() == 'tge ', 'foot: the same taps type "tge " (got %r)' % read())
        check(session.focused() == 'wendrel-foot', 'the focus stayed in foot')

        # A password field: no candidates, nothing learned. A text field beside it learns.
        secret = Receiver(session, gtk + ['--purpose', 'password', '--app-id', 'wendrel-gtk-password'],
                          'wendrel-gtk-password')
        time.sleep(0.3)
        tapper.type(['z', 'e', 'b', 'r'], 0.15)
        check(not strip_has_words(session), 'a password field gets no candidates')
        tapper.type(['a', ' '], 0.15)
        check(secret.wait_text('zebra ') == 'zebra ', 'the password arrives as typed (got %r)' % secret.text())
        secret.close()
        plain = Receiver(session, gtk + ['--app-id', 'wendrel-gtk-plain'], 'wendrel-gtk-plain')
        time.sleep(0.3)
        tapper.type(['q', 'u', 'o', 'k', 'k', 'a', ' '], 0.15)
        tapper.type(['t', 'h'], 0.15)
        check(strip_has_words(session), 'a text field gets candidates')
        plain.close()
        stop(wendrel)
        words = open(learned, encoding='utf-8').read() if os.path.exists(learned) else ''
        check('zebra' not in words, 'nothing typed in the password field is learned')
        check('quokka' in words, 'a word typed in a text field is learned')

        # Qt 6.4 speaks no text-input v3: with --keep-shown the panel stays, and the virtual
        # keyboard types.
        wendrel = start_wendrel(session, '--keep-shown')
        check(wait_for(lambda: panel_shown(session), 10), '--keep-shown: the panel is shown without a text field')
        qt = Receiver(session, [QT_FIELD], 'wendrel-qt-field')
        time.sleep(0.5)
        tapper.type(['h', 'i', ' '], 0.15)
        long_press(tapper, session, KEYS['e'], e_cells['é'])
        long_press(tapper, session, four, popup_cells(four)['€'])
        check(qt.wait_text('Hi é€') == 'Hi é€', 'Qt field: text, accented letter and euro sign arrive (got %r)' % qt.text())
        check(session.focused() == 'wendrel-qt-field', 'the focus stayed in the Qt field')
        qt.close()
        stop(wendrel)

        # A compositor without the layer shell and the input method (weston): keyboard mode says
        # which protocols are missing and ends with status 1.
        weston = session.spawn(['weston', '--backend=headless-backend.so', '--socket=wendrel-weston', '--idle-time=0'],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists(os.path.join(session.runtime, 'wendrel-weston')), 10)
        refused = session.run([WENDREL, '--keyboard'], env={'WAYLAND_DISPLAY': 'wendrel-weston'}, timeout=30)
        check(refused.returncode == 1 and 'zwlr_layer_shell_v1' in refused.stderr
              and 'zwp_input_method_manager_v2' in refused.stderr,
              'under weston, --keyboard names the missing protocols and ends with status 1 (%d: %s)'
              % (refused.returncode, refused.stderr.strip()))
        weston.terminate()
    finally:
        session.stop()
    if failures:
        print('%d check(s) failed' % len(failures))
        sys.exit(1)


if __name__ == '__main__':
    main()
