"""Drives the real program with the demo stream service beside it, as the README's run command
starts them, and checks that the built-in stations play out of the box.

Started by demo_stations_e2e.sh, which provides the X server, the accessibility bus and a
PulseAudio null sink. Stations from all six categories and of all three kinds of address (mms,
http, an .asx playlist) are selected in the tree one after another; each must be heard on the
sink at the pitch the service gives its row, which differs from the station before.
"""
import os
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from desktop import Monitor, check, log, run_driver, wait_until  # noqa: E402

# (category, station) in the order they are selected. Neighbours differ in pitch by at least
# 8 % (checked below against the service's own list).
TOUR = [
    ('精彩电台', '江苏经典流行音乐'),  # http, a key with a port of the table's (8000)
    ('精彩电台', 'CRI Hit FM 88.7'),  # mms
    ('网络电台', '绿城网络电台'),  # http
    ('网络电台', 'WOXY英文音乐台'),  # asx
    ('网络电台', '黑皮驴声'),  # mms on the table's port 8088
    ('网络电台', '青大在线网络电台'),  # asx
    ('中央广播电台', '音乐之声'),  # mms
    ('北京广播电台', '新闻广播'),  # mms
    ('天津广播电台', '天津音乐广播'),  # mms
    ('广东广播电台', '宝安广播缤纷'),  # mms, 8080 /live under S48
    ('广东广播电台', '宝安广播流连'),  # mms, 8080 /live under S49: a different stream
    ('广东广播电台', '广东城市之声'),  # mms
]
CATEGORIES = {'精彩电台', '网络电台', '中央广播电台', '北京广播电台', '天津广播电台', '广东广播电台'}


class Streams:
    """The demo stream service, started as tools/run.sh starts it; its log is kept."""

    def __init__(self, path):
        self.lines = []
        self.proc = subprocess.Popen([path], stderr=subprocess.PIPE, text=True)
        threading.Thread(target=self._read, daemon=True).start()
        check(wait_until(lambda: any('serving' in l for l in self.lines), 15),
              'the demo stream service is serving (%s)' % ' | '.join(self.lines))

    def _read(self):
        for line in self.proc.stderr:
            log('streams:', line.rstrip())
            self.lines.append(line.rstrip())

    def skipped(self, address):
        host = address.split('://', 1)[1].split('/', 1)[0]
        if ':' not in host:
            host += ':80'
        return any(l.find('skipped ' + host + ' ') >= 0 for l in self.lines)

    def stop(self):
        self.proc.terminate()
        return self.proc.wait(timeout=20)


def read_list(path):
    """label -> (row, kind, pitch, address) of the first row with that label."""
    out = subprocess.run([path, '--list'], check=True, capture_output=True, text=True).stdout
    rows = {}
    for line in out.splitlines():
        row, kind, pitch, address, label = line.split('\t')
        entry = (int(row), kind, int(pitch), address)
        if label not in rows or rows[label][0] > entry[0]:
            rows[label] = entry
    return rows


def drive(args, start):
    rows = read_list(args.streams)
    tour = [(category, name) + rows[name] for category, name in TOUR]
    check({t[0] for t in tour} == CATEGORIES, 'the tour visits all six categories')
    check({t[3] for t in tour} == {'mms', 'http', 'asx'}, 'and all three kinds of address')
    for before, after in zip(tour, tour[1:]):
        ratio = max(before[4], after[4]) / min(before[4], after[4])
        check(ratio >= 1.08, '%s (%d Hz) and %s (%d Hz) tell apart' %
              (before[1], before[4], after[1], after[4]))

    streams = Streams(args.streams)
    try:
        for _, name, _, _, _, address in tour:
            check(not streams.skipped(address), 'the service serves %s' % address)
        monitor = Monitor()
        try:
            check(monitor.count() > 0, 'the null sink\'s monitor delivers samples')
            program = start()
            run_tour(program, monitor, tour)
            program.close_checked()
        finally:
            monitor.close()
    finally:
        streams.stop()


def run_tour(program, monitor, tour):
    check(monitor.wait_silence(3), 'the program starts silent')
    open_category = None
    for category, name, row, kind, pitch, address in tour:
        if category != open_category:
            if open_category:
                program.expand(open_category)  # collapse it again: a short tree scrolls less
            program.expand(category)
            open_category = category
        program.select(name)
        check(wait_until(lambda: program.station_text() == name, 5),
              'the station box shows %s' % name)
        heard = monitor.wait_tone(pitch, 20)
        check(heard is not None, '%s (row %d, %s, %s) is heard at %d Hz' %
              (name, row, kind, address, pitch))
        log('heard rms %.0f at %.0f Hz' % heard)


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'all demo station checks passed',
                        [('--streams', {'required': True})]))
