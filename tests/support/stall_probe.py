"""Shared by the desktop test and the GUI-stall benchmark: stand-in service hosts on
127.0.0.1:8760 that answer at once, slowly, never or not at all, and a probe that times
accessibility round trips to the program. The program answers those on its GUI thread, so the
slowest round trip bounds the longest time the GUI thread was busy.
"""
import socket
import threading
import time

import pyatspi

from desktop import MAIN_TITLE, log, read_head

SERVICE = ('127.0.0.1', 8760)
FEED = '/gg/diangatai1/xmlxianshi.asp'
UPDATE_PAGE = '/gengxin.html'


def _feed(records):
    items = ''.join(
        '<diange><chenghu>朋友</chenghu><diangezhe>听众%d</diangezhe><beichenghu>同学'
        '</beichenghu><beidiangezhe>小%d</beidiangezhe><geming>歌%d</geming><gequdizhi>'
        'http://127.0.0.1:18990/%d.mp3</gequdizhi><zhufuyu>祝福%d</zhufuyu></diange>'
        % (i, i, i, i, i) for i in range(records))
    return ('<?xml version="1.0" encoding="gbk"?><xml>%s</xml>' % items).encode('gbk')


# What the quick host answers: a feed, an announcement, an update page naming no newer version.
PAGES = {
    FEED: _feed(50),
    '/gonggao.txt': '公告：欢迎收听'.encode('gbk'),
    UPDATE_PAGE: ('<html><body>////开始<p>最新版=2.0</p><p>下载地址=http://127.0.0.1/x.exe</p>'
                  '<p>下载方式=下载文件</p>////结束</body></html>').encode('gbk'),
}


class ServiceHost:
    """The service host in one of four kinds: 'quick' answers at once from PAGES, 'silent'
    accepts and never answers, 'trickle' sends a header and then one byte a second, 'refused'
    listens nowhere. Records the path of every request and keeps every connection it gets."""

    KINDS = ('quick', 'silent', 'trickle', 'refused')

    def __init__(self, kind):
        assert kind in self.KINDS
        self.kind = kind
        self.requests = []  # (path, socket)
        self.lock = threading.Lock()
        self.sock = None
        if kind == 'refused':
            return
        deadline = time.monotonic() + 90
        while True:  # another test's host may have just left the port
            try:
                self.sock = socket.create_server(SERVICE, reuse_port=False)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(1)
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return  # closed
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        head = read_head(conn)
        path = head.split(b' ')[1].decode('latin-1') if head.count(b' ') >= 2 else ''
        with self.lock:
            self.requests.append((path, conn))
        try:
            if self.kind == 'quick':
                body = PAGES.get(path)
                conn.sendall(b'HTTP/1.0 404 Not Found\r\n\r\n' if body is None else
                             b'HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n' % len(body) + body)
                conn.close()
            elif self.kind == 'trickle':
                conn.sendall(b'HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n')
                while True:
                    time.sleep(1)
                    conn.sendall(b' ')
        except OSError:
            conn.close()  # the program gave up

    def paths(self):
        with self.lock:
            return [path for path, _ in self.requests]

    def waiting(self, path):
        """Whether a request for path is still open at the program's end."""
        with self.lock:
            conns = [conn for p, conn in self.requests if p == path]
        for conn in conns:
            try:
                if conn.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT) != b'':
                    return True
            except BlockingIOError:
                return True
            except OSError:
                pass
        return False

    def close(self):
        if self.sock:
            self.sock.shutdown(socket.SHUT_RDWR)  # wakes the accepting thread, which holds it
            self.sock.close()
        with self.lock:
            for _, conn in self.requests:
                conn.close()


class Probe:
    """Times, in a thread of its own, round trips to the program's accessible tree: the
    application's child count and the Main window's extents (neither is cached by the
    accessibility library), one round every PAUSE seconds. While it runs no other thread may
    use pyatspi."""

    PAUSE = 0.02

    def __init__(self, app, origin):
        self.app = app
        self.origin = origin  # times are reported from here (the program's start)
        self.main = next(app.getChildAtIndex(i) for i in range(app.childCount)
                         if (app.getChildAtIndex(i).name or '').startswith(MAIN_TITLE))
        self.trips = []  # (seconds since origin, milliseconds, what)
        self.errors = []
        self.running = threading.Event()
        self.thread = None

    def start(self):
        self.running.set()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def stop(self):
        self.running.clear()
        self.thread.join()
        return self.worst()

    def _trip(self, what, call):
        began = time.monotonic()
        try:
            call()
        except Exception as error:  # a reply that timed out counts with its waiting time
            self.errors.append('%s: %s' % (what, error))
        self.trips.append((began - self.origin, (time.monotonic() - began) * 1000, what))

    def _run(self):
        while self.running.is_set():
            self._trip('child count', lambda: self.app.childCount)
            self._trip('Main window extents',
                       lambda: self.main.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))
            time.sleep(self.PAUSE)

    def worst(self):
        return max(ms for _, ms, _ in self.trips)

    def percentile(self, fraction):
        times = sorted(ms for _, ms, _ in self.trips)
        return times[min(len(times) - 1, int(len(times) * fraction))]

    def report(self, top=3):
        """Logs the count, the median, the 99th percentile and the slowest round trips with when
        they began."""
        log('%d round trips over %.1f s, median %.2f ms, 99th percentile %.1f ms, worst %.1f ms'
            % (len(self.trips), self.trips[-1][0] - self.trips[0][0], self.percentile(0.5),
               self.percentile(0.99), self.worst()))
        for at, ms, what in sorted(self.trips, key=lambda t: -t[1])[:top]:
            log('  %.1f ms (%s) at %.2f s after start' % (ms, what, at))
        for error in self.errors[:3]:
            log('  error:', error)
