"""A headless sway for the Wayland tests and benchmarks, run as a user without privileges.

sway refuses to run as root: as root, every program of the session (sway, the receivers,
Wendrel, the tap helper, grim) runs as "nobody" with a private XDG_RUNTIME_DIR and home.
"""
import json
import os
import pwd
import shutil
import subprocess
import tempfile
import time

# Where a point of the 240 x 320 layout lies on a W x H output (the panel's geometry).
def panel_scale(width, height):
    s = 1.0
    while 240 * (s + 0.25) <= width and 263 * (s + 0.25) <= height / 2:
        s += 0.25
    return s


def layout_to_output(x, y, width, height):
    s = panel_scale(width, height)
    return ((width - round(240 * s)) // 2 + x * s, height - round(263 * s) + (y - 57) * s)


# Centres of the keys the tests tap, in layout coordinates.
KEYS = {
    'q': (12, 193.5), 'w': (36, 193.5), 'e': (60, 193.5), 'r': (84, 193.5), 't': (108, 193.5),
    'y': (132, 193.5), 'u': (156, 193.5), 'i': (180, 193.5), 'o': (204, 193.5), 'p': (228, 193.5),
    'a': (18, 220.5), 's': (42, 220.5), 'd': (66, 220.5), 'f': (90, 220.5), 'g': (114, 220.5),
    'h': (138, 220.5), 'j': (162, 220.5), 'k': (186, 220.5), 'l': (210, 220.5),
    'z': (24, 247.5), 'x': (48, 247.5), 'c': (72, 247.5), 'v': (96, 247.5), 'b': (120, 247.5),
    'n': (144, 247.5), 'm': (168, 247.5), ',': (192, 247.5), '.': (216, 247.5),
    ' ': (148, 276), 'Enter': (219, 276), 'Shift': (82, 276), 'Fn': (13.5, 276),
    'BackSpace': (195.5, 163.5), '1': (70.5, 141.5), '2': (95.5, 141.5), '3': (120.5, 141.5),
    'cand1': (43, 67), 'cand2': (120, 67), 'cand3': (197, 67),
}


class SwaySession:
    def __init__(self, width=720, height=1280, scale=1):
        """width, height: the output's logical size; scale: its scale factor."""
        self.width, self.height = width, height
        self.root = tempfile.mkdtemp(prefix='wendrel-sway-')
        os.chmod(self.root, 0o755)
        self.as_nobody = os.getuid() == 0
        self.home = os.path.join(self.root, 'home')
        self.runtime = os.path.join(self.root, 'run')
        os.mkdir(self.home, 0o700)
        os.mkdir(self.runtime, 0o700)
        if self.as_nobody:
            nobody = pwd.getpwnam('nobody')
            for d in (self.home, self.runtime):
                os.chown(d, nobody.pw_uid, nobody.pw_gid)
            self.ids = (nobody.pw_uid, nobody.pw_gid)
        config = os.path.join(self.root, 'sway.conf')
        with open(config, 'w') as f:
            f.write(f'output HEADLESS-1 resolution {width * scale}x{height * scale} scale {scale} position 0 0\n'
                    'focus_follows_mouse no\n'
                    'default_border none\n'
                    'seat * hide_cursor 0\n')
        self.env = {
            'PATH': os.environ.get('PATH', '/usr/bin:/bin'), 'HOME': self.home,
            'XDG_RUNTIME_DIR': self.runtime, 'XDG_CONFIG_HOME': os.path.join(self.home, 'config'),
            'XDG_DATA_HOME': os.path.join(self.home, 'data'), 'XDG_STATE_HOME': os.path.join(self.home, 'state'),
            'XDG_CACHE_HOME': os.path.join(self.home, 'cache'), 'LANG': 'C.UTF-8', 'LC_ALL': 'C.UTF-8',
            'WLR_BACKENDS': 'headless', 'WLR_LIBINPUT_NO_DEVICES': '1', 'WLR_RENDERER': 'pixman',
            'NO_AT_BRIDGE': '1', 'GTK_A11Y': 'none',
        }
        self.log = open(os.path.join(self.root, 'sway.log'), 'w')
        self.processes = []
        self.sway = self.spawn(['sway', '-c', config], stdout=self.log, stderr=subprocess.STDOUT, track=False)
        deadline = time.time() + 20
        while time.time() < deadline:
            names = os.listdir(self.runtime)
            sockets = [n for n in names if n.startswith('wayland-') and not n.endswith('.lock')]
            ipc = [n for n in names if n.startswith('sway-ipc.')]
            if sockets and ipc:
                self.env['WAYLAND_DISPLAY'] = sockets[0]
                self.env['SWAYSOCK'] = os.path.join(self.runtime, ipc[0])
                break
            if self.sway.poll() is not None:
                raise RuntimeError('sway ended at start:\n' + open(self.log.name).read())
            time.sleep(0.05)
        else:
            raise RuntimeError('sway did not start:\n' + open(self.log.name).read())
        # Xwayland's display is not wanted: Qt and GTK take Wayland.
        self.env['QT_QPA_PLATFORM'] = 'wayland'
        self.env['GDK_BACKEND'] = 'wayland'
        time.sleep(0.3)

    def preexec(self):
        if self.as_nobody:
            uid, gid = self.ids
            os.setgroups([])
            os.setgid(gid)
            os.setuid(uid)

    def spawn(self, args, env=None, track=True, **kwargs):
        full = dict(self.env)
        full.update(env or {})
        process = subprocess.Popen(args, env=full, preexec_fn=self.preexec, cwd=self.root, **kwargs)
        if track:
            self.processes.append(process)
        return process

    def run(self, args, env=None, timeout=20):
        full = dict(self.env)
        full.update(env or {})
        return subprocess.run(args, env=full, preexec_fn=self.preexec, cwd=self.root, capture_output=True,
                              text=True, timeout=timeout)

    def tree(self):
        return json.loads(self.run(['swaymsg', '-r', '-t', 'get_tree']).stdout)

    def focused(self):
        """The app_id (or X11 class) of the focused window, or None."""
        def walk(node):
            if node.get('focused') and node.get('type') in ('con', 'floating_con'):
                return node.get('app_id') or (node.get('window_properties') or {}).get('class') or node.get('name')
            for child in node.get('nodes', []) + node.get('floating_nodes', []):
                found = walk(child)
                if found:
                    return found
            return None
        return walk(self.tree())

    def wait_focus(self, app_id, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.focused() == app_id:
                return True
            time.sleep(0.05)
        return False

    def screenshot(self, path=None):
        """The output as a QImage-free list of rows: returns the PNG's path."""
        path = path or os.path.join(self.home, 'shot-%d.png' % time.monotonic_ns())
        result = self.run(['grim', path])
        if result.returncode != 0:
            raise RuntimeError('grim: ' + result.stderr)
        return path

    def layer_surfaces(self):
        """The namespaces of the layer surfaces on the output."""
        result = self.run(['swaymsg', '-r', '-t', 'get_outputs'])
        return json.loads(result.stdout)

    def stop(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
        for p in reversed(self.processes):
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        if self.sway.poll() is None:
            self.sway.terminate()
            try:
                self.sway.wait(5)
            except subprocess.TimeoutExpired:
                self.sway.kill()
        self.log.close()
        if not os.environ.get('WENDREL_KEEP_SESSION'):
            shutil.rmtree(self.root, ignore_errors=True)


class Tapper:
    """The virtual pointer (wendrel-tap) that taps the panel's keys."""
    def __init__(self, session, program):
        self.session = session
        self.process = session.spawn([program, str(session.width), str(session.height)],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        if self.process.stdout.readline().strip() != 'ready':
            raise RuntimeError('wendrel-tap did not start')

    def command(self, line):
        self.process.stdin.write(line + '\n')
        self.process.stdin.flush()
        answer = self.process.stdout.readline().strip()
        if answer != 'ok':
            raise RuntimeError('wendrel-tap: ' + answer)

    def tap_point(self, x, y):
        self.command('tap %.1f %.1f' % (x, y))

    def tap(self, key, pause=0.06):
        x, y = layout_to_output(*KEYS[key], self.session.width, self.session.height)
        self.tap_point(x, y)
        time.sleep(pause)

    def type(self, keys, pause=0.06):
        for key in keys:
            self.tap(key, pause)
