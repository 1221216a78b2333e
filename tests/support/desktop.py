"""Shared pieces of the end-to-end drivers: logging and checks, the ear on the null sink's
monitor, the pointer, the program's windows read from X, and the real program found and driven
over accessibility.

Drivers run inside headless_desktop.sh and import this module from tests/support.
"""
import argparse
import math
import os
import re
import socket
import struct
import subprocess
import sys
import threading
import time

import pyatspi

MAIN_TITLE = 'SonaroQuillboard'
CLOSE_BUTTON = (344 + 14, 24 + 9)  # 关闭按钮, centre, in the Main window
MINIMISE = (306 + 9, 24 + 9)       # zuixiao, centre, in the Main window
BODY = (120, 60)                   # a point of the Main window's body with no control on it
# The Main window's menu: the tray icon's, or where no tray shows one, the Main window's own.
MENU_LABELS = ['显示主窗口', '关于Nocturo', '提交建议', '检查更新', '我要点歌', '搜索电台…', '添加电台…',
               '导入电台…', '导出电台…', '退出']


def log(*args):
    print('[e2e %7.2f]' % (time.monotonic() - START), *args, flush=True)


START = time.monotonic()


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    log('ok:', message)


# --- stand-in servers ----------------------------------------------------------------------

ICY_INTERVAL = 8192  # sound bytes between two metadata blocks


def icy_wire(body, title):
    """The body as a server that sends metadata loops it: after every ICY_INTERVAL bytes of
    sound a block with StreamTitle in GBK, as Chinese stations send it. (wire, sound length)"""
    text = b"StreamTitle='" + title.encode('gbk') + b"';"
    text += b'\0' * (-len(text) % 16)
    block = bytes([len(text) // 16]) + text
    sound = len(body) // ICY_INTERVAL * ICY_INTERVAL  # whole intervals keep the cadence looping
    return b''.join(body[i:i + ICY_INTERVAL] + block
                    for i in range(0, sound, ICY_INTERVAL)), sound


class Peer:
    """A TCP server on 127.0.0.1:port that records every connection's greeting and serves
    HTTP GETs from a table of routes; endless routes are sent at a radio stream's pace, with
    an icy_title in metadata blocks to a client that asks for them."""

    def __init__(self, port):
        self.port = port
        self.routes = {}
        self.connections = []  # dicts: head (bytes), path (str or None), open (bool)
        self.lock = threading.Lock()
        self.live = []  # sockets of endless streams being sent
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(('127.0.0.1', port))
        self.sock.listen(16)
        threading.Thread(target=self._accept, daemon=True).start()

    def serve(self, path, body, content_type='audio/mpeg', endless=False, rate=16000,
              icy_title=None):
        self.routes[path] = (body, content_type, endless, rate, icy_title)

    def snapshot(self):
        with self.lock:
            return [dict(c) for c in self.connections]

    def drop(self):
        with self.lock:
            for s in self.live:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def _accept(self):
        while True:
            conn, _ = self.sock.accept()
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        conn.settimeout(5)
        head = read_head(conn, only_http=True)
        path = head.split(b' ')[1].decode('latin-1') if head.startswith(b'GET ') else None
        record = {'head': head, 'path': path, 'open': True, 'at': time.monotonic()}
        with self.lock:
            self.connections.append(record)
        try:
            if path is None:
                return
            route = self.routes.get(path)
            if route is None:
                conn.sendall(b'HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n')
                return
            body, content_type, endless, rate, icy_title = route
            if not endless:
                conn.sendall(b'HTTP/1.0 200 OK\r\nContent-Type: ' + content_type.encode() +
                             b'\r\nContent-Length: %d\r\n\r\n' % len(body) + body)
                return
            with self.lock:
                self.live.append(conn)
            icy = b''
            if icy_title and b'\r\nicy-metadata: 1\r\n' in head.lower():
                body, sound = icy_wire(body, icy_title)
                rate = rate * len(body) // sound  # the sound keeps its pace
                icy = b'icy-metaint: %d\r\n' % ICY_INTERVAL
            conn.sendall(b'HTTP/1.0 200 OK\r\nContent-Type: ' + content_type.encode() + b'\r\n' +
                         icy + b'\r\n')
            began = time.monotonic()
            sent = 0
            position = 0
            conn.setblocking(False)
            while True:
                due = int((1.0 + time.monotonic() - began) * rate)
                while sent < due:
                    piece = body[position:position + min(due - sent, 4096)]
                    try:
                        n = conn.send(piece)
                    except BlockingIOError:
                        break
                    sent += n
                    position = (position + n) % len(body)
                try:
                    if conn.recv(1) == b'':
                        return  # the client closed the connection
                except BlockingIOError:
                    pass
                time.sleep(0.02)
        except OSError:
            pass
        finally:
            with self.lock:
                if conn in self.live:
                    self.live.remove(conn)
                record['open'] = False
            conn.close()


def read_head(conn, only_http=False):
    """A request's head, read up to its blank line (or the peer's end or error); with only_http,
    reading also stops once the bytes do not start as a GET or a HEAD."""
    head = b''
    try:
        while b'\r\n\r\n' not in head and len(head) < 65536:
            chunk = conn.recv(4096)
            if not chunk:
                break
            head += chunk
            if only_http and not head.startswith((b'GET ', b'HEAD ')):
                break
    except OSError:
        pass
    return head


def tone_mp3(frequency, work):
    path = os.path.join(work, 'tone%d.mp3' % frequency)
    subprocess.run(['sox', '-n', '-r', '44100', '-c', '1', '-C', '128', path, 'synth', '6',
                    'sine', str(frequency), 'gain', '-3'], check=True)
    with open(path, 'rb') as f:
        return f.read()


# --- the ear on the null sink --------------------------------------------------------------

class Monitor:
    RATE = 44100

    def __init__(self):
        self.samples = []
        self.lock = threading.Lock()
        self.proc = subprocess.Popen(
            ['parec', '-d', 'nullsink.monitor', '--raw', '--format=s16le', '--rate=44100',
             '--channels=1', '--latency-msec=20'], stdout=subprocess.PIPE)
        threading.Thread(target=self._read, daemon=True).start()
        deadline = time.monotonic() + 8
        while self.count() < self.RATE // 10 and time.monotonic() < deadline:
            time.sleep(0.05)

    def _read(self):
        fd = self.proc.stdout.fileno()
        pending = b''
        while True:
            data = os.read(fd, 8192)
            if not data:
                return
            pending += data
            n = len(pending) // 2
            values = struct.unpack('<%dh' % n, pending[:2 * n])
            pending = pending[2 * n:]
            with self.lock:
                self.samples.extend(values)

    def count(self):
        with self.lock:
            return len(self.samples)

    def measure(self, start, count):
        with self.lock:
            chunk = self.samples[start:start + count]
        if not chunk:
            return 0.0, 0.0
        rms = math.sqrt(sum(v * v for v in chunk) / len(chunk))
        # Zero crossings with a dead band, so that faint noise does not count.
        crossings = 0
        state = 0
        for v in chunk:
            side = 1 if v > 300 else -1 if v < -300 else 0
            if side and side != state:
                crossings += state != 0
                state = side
        return rms, crossings / 2.0 / (len(chunk) / self.RATE)

    def wait_tone(self, frequency, timeout, min_rms=1000):
        """Waits for a 400 ms stretch, heard from now on, of this tone; its (rms, hz) or None."""
        window = self.RATE * 2 // 5
        at = self.count()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while at + window <= self.count():
                rms, hz = self.measure(at, window)
                if rms > min_rms and abs(hz - frequency) < frequency * 0.05:
                    return rms, hz
                at += window // 4
            time.sleep(0.05)
        return None

    def wait_silence(self, timeout, max_rms=100):
        window = self.RATE * 3 // 10
        at = self.count()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while at + window <= self.count():
                if self.measure(at, window)[0] < max_rms:
                    return True
                at += window // 6
            time.sleep(0.05)
        return False

    def close(self):
        self.proc.kill()


# --- the program through accessibility and the pointer -------------------------------------

def xdotool(*args):
    return subprocess.run(['xdotool'] + [str(a) for a in args], check=True,
                          capture_output=True, text=True).stdout


# Window sizes from the catalogue; each names one window of the program.
SIZES = {
    'main': (400, 300),
    'panel': (240, 530),
    'board': (381, 251),
    'details': (450, 529),
    'animation': (219, 101),
    'update': (286, 207),
}


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True).stdout


def geometry(window):
    """(x, y, width, height, viewable) of a window from xwininfo, or None once it is gone."""
    out = run('xwininfo', '-id', window)
    values = {}
    for key, name in (('x', 'Absolute upper-left X'), ('y', 'Absolute upper-left Y'),
                      ('w', 'Width'), ('h', 'Height')):
        m = re.search(r'%s:\s+(-?\d+)' % name, out)
        if not m:
            return None
        values[key] = int(m.group(1))
    return (values['x'], values['y'], values['w'], values['h'], 'IsViewable' in out)


def _windows_by_name(pid):
    """{name: (window id, geometry)}: the viewable window of each size, else a hidden one."""
    found = {}
    try:
        ids = xdotool('search', '--pid', pid).split()
    except subprocess.CalledProcessError:
        ids = []
    for window in ids:
        g = geometry(window)
        if g is None:
            continue
        for name, size in SIZES.items():
            if (g[2], g[3]) == size and (name not in found or g[4]):
                found[name] = (window, g)
    return found


def windows_of(pid):
    """The program's windows by name: (x, y) of the viewable one of each size, else the
    position of a hidden one with the flag False; names without a window are left out."""
    return {name: (g[0], g[1], g[4]) for name, (_, g) in _windows_by_name(pid).items()}


def window_id(pid, name):
    """The X id of the program's window of that name, or None."""
    return _windows_by_name(pid).get(name, (None,))[0]


def iconic(window):
    """Whether the window manager keeps the window iconic (minimised to the taskbar)."""
    return 'window state: Iconic' in run('xprop', '-id', window, 'WM_STATE')


def shown(pid):
    return {name: (x, y) for name, (x, y, viewable) in windows_of(pid).items() if viewable}


def click_at(x, y, button=1):
    xdotool('mousemove', x, y)
    time.sleep(0.15)
    xdotool('click', button)


def click_in_main(program, point, button=1):
    mx, my = shown(program.proc.pid)['main']
    click_at(mx + point[0], my + point[1], button)


def choose_from_body_menu(program, label):
    """Pops up the menu with a right click on the Main window's body (it is there only where no
    tray shows the icon) and chooses label with the keyboard."""
    click_in_main(program, BODY, button=3)
    time.sleep(0.5)
    for _ in range(MENU_LABELS.index(label) + 1):
        xdotool('key', 'Down')
    xdotool('key', 'Return')


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


class Program:
    def __init__(self, path, work):
        self.out = open(os.path.join(work, 'program.log'), 'w')
        self.proc = subprocess.Popen([path], stdout=self.out, stderr=subprocess.STDOUT)
        self.app = None
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and self.app is None:
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == self.proc.pid:
                    self.app = app
            time.sleep(0.2)
        check(self.app is not None, 'the program appears on the accessibility bus')
        self.tree = self._wait_for(self._is_station_tree)
        self.station_box = self._wait_for(self._is_station_box)

    def _wait_for(self, predicate, timeout=90):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for node in walk(self.app):
                try:
                    if predicate(node):
                        return node
                except Exception:  # nodes may go away while we look
                    pass
            time.sleep(0.2)
        raise Failure('no such widget in the program')

    @staticmethod
    def _is_station_tree(node):
        if node.getRole() not in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE):
            return False
        return any(node.getChildAtIndex(i).name == '精彩电台' for i in range(node.childCount))

    @staticmethod
    def _is_station_box(node):
        # diantaim: the Main window's wide edit box (136 x 32); 状态 is 67 x 20.
        if node.getRole() != pyatspi.ROLE_TEXT:
            return False
        extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return extents.width == 136 and extents.height == 32

    def find_text_box(self, width, height):
        """A text box of the program by its size (the Main window's are told apart by it)."""
        def is_box(node):
            if node.getRole() != pyatspi.ROLE_TEXT:
                return False
            extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            return extents.width == width and extents.height == height
        return self._wait_for(is_box)

    def status_text(self):
        """What the Main window's status box 状态 (67 x 20) says."""
        if getattr(self, 'status_box', None) is None:
            self.status_box = self.find_text_box(67, 20)
        text = self.status_box.queryText()
        return text.getText(0, text.characterCount)

    def station_text(self):
        text = self.station_box.queryText()
        return text.getText(0, text.characterCount)

    def item(self, name):
        # The shown rows of the tree are its direct children.
        for i in range(self.tree.childCount):
            node = self.tree.getChildAtIndex(i)
            if node is not None and node.name == name:
                return node
        return None

    def _tree_box(self):
        e = self.tree.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def _centre(self, node):
        e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x + min(e.width, 120) // 2, e.y + e.height // 2, e

    def _bring_into_view(self, name):
        tx, ty, tw, th = self._tree_box()
        for _ in range(60):
            node = self.item(name)
            if node is None:
                raise Failure('no tree item %s' % name)
            x, y, e = self._centre(node)
            if os.environ.get('E2E_DEBUG'):
                log('item', name, e.x, e.y, e.width, e.height, 'tree', tx, ty, tw, th)
            if ty - 2 <= e.y and e.y + e.height <= ty + th + 2 and e.height > 0:
                return x, y
            # Scroll with the wheel: no selection changes on the way. (No --sync: a pointer
            # already in place sends no motion to wait for.)
            xdotool('mousemove', tx + tw // 2, ty + th // 2)
            xdotool('click', '5' if e.y + e.height > ty + th + 2 else '4')
            time.sleep(0.2)
        raise Failure('tree item %s cannot be scrolled into view' % name)

    def expand(self, category):
        """Double-clicks a category (which also selects it)."""
        x, y = self._bring_into_view(category)
        xdotool('mousemove', x, y)
        time.sleep(0.1)
        xdotool('click', '--repeat', '2', '--delay', '80', '1')
        time.sleep(0.5)

    def select(self, name):
        x, y = self._bring_into_view(name)
        xdotool('mousemove', x, y)
        time.sleep(0.1)
        xdotool('click', '1')

    def close_checked(self):
        """Closes the program with its close button; it must end with exit code 0."""
        code = self.close()
        check(code == 0, 'the program ends with exit code 0 (got %s)' % code)

    def fail(self, failure):
        """Reports a failed check, ends the program and shows the end of its output."""
        log('FAIL:', failure)
        self.proc.kill()
        self.out.flush()
        with open(self.out.name) as f:
            sys.stdout.write(f.read()[-4000:])

    def close(self):
        window = xdotool('search', '--onlyvisible', '--name', MAIN_TITLE).split()[0]
        geometry = dict(line.split('=') for line in
                        xdotool('getwindowgeometry', '--shell', window).split())
        x = int(geometry['X']) + CLOSE_BUTTON[0]
        y = int(geometry['Y']) + CLOSE_BUTTON[1]
        xdotool('mousemove', x, y)
        time.sleep(0.1)
        xdotool('click', '1')
        return self.proc.wait(timeout=30)


def wait_until(predicate, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def run_driver(drive, passed, options=()):
    """The drivers' main: parses --program, --work and the driver's own options (a sequence of
    (flag, add_argument keywords)) and calls drive(args, start), where start() starts the
    program and keeps it for the failure report. The exit status is drive's own if it returns
    one; 1 after a failed check or any other error, shown with the output of the program
    started last; else 0, with the line passed logged."""
    parser = argparse.ArgumentParser()
    for flag, keywords in [('--program', {'required': True}),
                           ('--work', {'required': True})] + list(options):
        parser.add_argument(flag, **keywords)
    args = parser.parse_args()
    programs = []

    def start():
        programs.append(Program(args.program, args.work))
        return programs[-1]

    try:
        status = drive(args, start)
    except Exception as failure:  # a failed check, a bus error, a program that does not end, ...
        if programs:
            programs[-1].fail(failure)
        else:
            log('FAIL:', failure)
        return 1
    if status is None:
        log(passed)
    return status or 0
