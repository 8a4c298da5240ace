#!/usr/bin/env python3
"""Wendrel's keyboard mode on Wayland beside wvkbd and squeekboard, one run under a headless sway.

For each keyboard, in a sway of its own (720 x 1280, run as "nobody" when started as root):
  - tap to character: a virtual pointer taps the "t" key 20 times while foot has the focus; foot
    runs a reader that notes when each byte arrives (CLOCK_MONOTONIC, the same clock as ours);
  - peak resident memory (VmHWM) after start and those 20 taps;
  - panel shown: the time from focusing a GTK text field (after a window without one) until the
    keyboard's pixels are on the output (grim polled; wvkbd shows itself always and is left out).

    wayland_keyboards.py WENDREL WENDREL_TAP [--runs N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'wayland'))
from sway_session import KEYS, SwaySession, Tapper, layout_to_output  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument('wendrel')
parser.add_argument('tap')
parser.add_argument('--taps', type=int, default=20)
parser.add_argument('--focus-runs', type=int, default=5)
args = parser.parse_args()
WENDREL, TAP = os.path.abspath(args.wendrel), os.path.abspath(args.tap)
GTK_FIELD = os.path.join(HERE, '..', 'tests', 'wayland', 'gtk_field.py')

READER = r'''
import os, sys, time
out = open(sys.argv[1], "w")
while True:
    data = os.read(0, 64)
    if not data:
        break
    now = time.monotonic()
    for _ in data:
        out.write("%.6f\n" % now)
    out.flush()
'''


def chown_tree(session, path):
    if not session.as_nobody:
        return
    for root, dirs, files in os.walk(path):
        for name in dirs + files:
            os.chown(os.path.join(root, name), *session.ids)
    os.chown(path, *session.ids)


def pixels(session, x, y, w, h):
    path = os.path.join(session.home, 'probe.ppm')
    session.run(['grim', '-t', 'ppm', '-g', '%d,%d %dx%d' % (x, y, w, h), path])
    with open(path, 'rb') as f:
        return f.read().split(maxsplit=4)[4]


def find_pid(name, parent=None):
    for pid in os.listdir('/proc'):
        if not pid.isdigit():
            continue
        try:
            with open('/proc/%s/comm' % pid) as f:
                if f.read().strip() == name:
                    return int(pid)
        except OSError:
            pass
    return None


def peak_kib(pid):
    with open('/proc/%d/status' % pid) as f:
        for line in f:
            if line.startswith('VmHWM:'):
                return int(line.split()[1])
    return None


# Each keyboard: how to start it, the point of its "t" key on a 720 x 1280 output, and the
# process whose memory counts.
def keyboards(session):
    glib = os.path.join(session.env['XDG_CONFIG_HOME'], 'glib-2.0', 'settings')
    os.makedirs(glib, exist_ok=True)
    with open(os.path.join(glib, 'keyfile'), 'w') as f:  # squeekboard shows only when this is on
        f.write('[org/gnome/desktop/a11y/applications]\nscreen-keyboard-enabled=true\n')
    chown_tree(session, session.env['XDG_CONFIG_HOME'])
    return {
        'wendrel': ([WENDREL, '--keyboard'], {}, layout_to_output(*KEYS['t'], session.width, session.height), 'wendrel'),
        'wvkbd': (['wvkbd-mobintl'], {}, (343, 1140), 'wvkbd-mobintl'),
        'squeekboard': (['dbus-run-session', '--', 'squeekboard'], {'GSETTINGS_BACKEND': 'keyfile'}, (323, 1106),
                        'squeekboard'),
    }


def measure(name):
    session = SwaySession(720, 1280)
    try:
        command, env, t_key, process_name = keyboards(session)[name]
        result = {}
        # Panel shown after a text field gets the focus.
        field = session.spawn(['/usr/bin/python3', GTK_FIELD, '--app-id', 'bench-field'], stdout=subprocess.DEVNULL)
        session.wait_focus('bench-field')
        button = session.spawn(['/usr/bin/python3', GTK_FIELD, '--button', '--app-id', 'bench-button'],
                               stdout=subprocess.DEVNULL)
        session.wait_focus('bench-button')
        keyboard = session.spawn(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(3)
        probe = (0, session.height - 60, session.width, 8)
        if name != 'wvkbd':
            times = []
            for _ in range(args.focus_runs):
                session.run(['swaymsg', '[app_id=bench-button] focus'])
                time.sleep(1.0)
                hidden = pixels(session, *probe)
                start = time.monotonic()
                session.run(['swaymsg', '[app_id=bench-field] focus'])
                while time.monotonic() - start < 5 and pixels(session, *probe) == hidden:
                    pass
                times.append((time.monotonic() - start) * 1000)
            result['shown_ms'] = statistics.median(times)
        field.terminate()
        button.terminate()

        # Tap to character in foot.
        out = os.path.join(session.home, 'arrivals')
        reader = os.path.join(session.home, 'reader.py')
        with open(reader, 'w') as f:
            f.write(READER)
        session.spawn(['foot', '-a', 'bench-foot', 'sh', '-c', 'stty raw -echo; exec /usr/bin/python3 -u %s %s'
                       % (reader, out)], stderr=subprocess.DEVNULL)
        session.wait_focus('bench-foot')
        deadline = time.time() + 10
        while not os.path.exists(out) and time.time() < deadline:
            time.sleep(0.05)
        time.sleep(1.5)
        tapper = Tapper(session, TAP)
        latencies = []
        lost = 0
        arrived = 0
        for i in range(args.taps):
            # A motion onto the key first: wvkbd finds the key from the last motion, not from
            # the pointer's entering the surface.
            tapper.command('move %.1f %.1f' % (t_key[0] + 1, t_key[1]))
            start = time.monotonic()
            tapper.tap_point(*t_key)
            while time.monotonic() - start < 1:
                with open(out) as f:
                    lines = f.read().split()
                if len(lines) > arrived:
                    latencies.append((float(lines[arrived]) - start) * 1000)
                    arrived = len(lines)
                    break
                time.sleep(0.0005)
            else:
                lost += 1
            time.sleep(0.15)
        result['lost'] = lost
        result['tap_ms'] = statistics.median(latencies) if latencies else None
        result['taps_arrived'] = len(latencies)
        pid = keyboard.pid if name != 'squeekboard' else find_pid(process_name)
        result['peak_mib'] = (peak_kib(pid) or 0) / 1024 if pid else None
        keyboard.terminate()
        return result
    finally:
        session.stop()


def main():
    results = {name: measure(name) for name in ('wendrel', 'wvkbd', 'squeekboard')}
    print('%-12s %14s %12s %16s %8s' % ('keyboard', 'tap->char ms', 'peak MiB', 'shown after ms', 'taps'))
    for name, r in results.items():
        print('%-12s %14s %12s %16s %8s' % (
            name, '%.2f' % r['tap_ms'] if r.get('tap_ms') is not None else '-',
            '%.1f' % r['peak_mib'] if r.get('peak_mib') else '-',
            '%.0f' % r['shown_ms'] if 'shown_ms' in r else '-', r.get('taps_arrived')))
    w, v, s = results['wendrel'], results['wvkbd'], results['squeekboard']
    if w.get('tap_ms') and v.get('tap_ms'):
        allowed = max(2 * v['tap_ms'], v['tap_ms'] + 2)
        print('tap to character: Wendrel / wvkbd = %.2f (goal: within %.2f ms, %s)' % (
            w['tap_ms'] / v['tap_ms'], allowed, 'met' if w['tap_ms'] <= allowed else 'NOT met'))
    if w.get('peak_mib') and s.get('peak_mib'):
        print('peak memory: Wendrel / squeekboard = %.2f (goal <= 1)' % (w['peak_mib'] / s['peak_mib']))
    if w.get('shown_ms') and s.get('shown_ms'):
        print('panel shown: Wendrel / squeekboard = %.2f (goal <= 1.5)' % (w['shown_ms'] / s['shown_ms']))


if __name__ == '__main__':
    main()
