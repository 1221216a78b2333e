"""Station start-up time and memory of the whole program, against Goodvibes and mpv in the
same run.

Started by player_bench.sh in a private headless desktop (virtual X server, accessibility
bus, PulseAudio null sink). Measures, in alternating rounds:
  - sonaro: from the click on 绿城网络电台 in the Station panel (an MP3 stream from icecast2,
    fed by ffmpeg) to the first audible 10 ms block on the null sink's monitor;
  - goodvibes (running, its window shown): from the MPRIS 2 OpenUri call with the same stream
    (as the desktop's media controls send it) to the same block;
  - mpv --no-config --no-video: from starting it on the same stream to the same block;
  - an ASX station, 青大在线网络电台: its address answers an ASX playlist naming the same MP3
    stream; sonaro's click, against goodvibes' time on the stream itself;
  - an HLS station (ffmpeg's live muxer, AAC in MPEG-TS) behind Ibox网络电台: sonaro's click
    against mpv started on the same playlist address.
For each sonaro click it prints where the time went: the stages the program notes in
SONARO_STAGE_LOG (click handled, Player page written, old view closed, view created, page loaded,
appendItem received, first stream bytes, first decoded audio) and the first audible block,
medians from the click. And the peak memory (RSS and PSS summed over the process tree, the browser's processes
included) of sonaro with the player and the advert box alive, against goodvibes' and mpv's.
--smoke: one round, for CI; the figures are only printed.
"""
import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

from gi.repository import Gio, GLib

TESTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests')
sys.path[:0] = [os.path.join(TESTS, 'support'), os.path.join(TESTS, 'radio')]
import desktop as e2e  # noqa: E402
from stations_e2e import HTTP_STATION_PORT  # noqa: E402
from live_formats_e2e import Files, Icecast, live_hls, media_sequence  # noqa: E402

ROUNDS = 7
STAGES = ['click', 'page written', 'old view closed', 'view created', 'page loaded', 'appendItem',
          'stream bytes', 'decoded']
LOUD = 1000  # rms of a 10 ms block counted as audible

# The Station panel's tree: its place in the panel and its rows (as the program lays them
# out on the headless desktop); rows counted with only 网络电台 expanded.
TREE = (9, 56)
ROW = 18
ROW_NETWORK = 1  # 网络电台
ROW_LVCHENG = 13  # 绿城网络电台 (http, 127.0.0.1:18020/voice)
ROW_HUAKAI = 6  # 花开网络电台 (mms on the same server, which cannot play it: silence)
ROW_IBOX = 9  # Ibox网络电台 (http, 127.0.0.1:18021/play/good.asx: the HLS station here)
ROW_QINGDA = 16  # 青大在线网络电台 (http, 127.0.0.1:18027/radio.asx: the ASX station here)


class Program:
    """The program as users run it: no accessibility bridge, driven by the pointer only."""

    def __init__(self, path, work):
        self.stage_log = os.path.join(work, 'stages.log')
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='0', QT_ACCESSIBILITY='0',
                   NO_AT_BRIDGE='1', SONARO_STAGE_LOG=self.stage_log)
        self.out = open(os.path.join(work, 'program.log'), 'w')
        self.proc = subprocess.Popen([path], stdout=self.out, stderr=subprocess.STDOUT, env=env)
        self.panel = None
        deadline = time.monotonic() + 60
        while self.panel is None and time.monotonic() < deadline:
            time.sleep(0.2)
            try:
                windows = e2e.xdotool('search', '--onlyvisible', '--pid', self.proc.pid).split()
            except subprocess.CalledProcessError:
                continue
            for window in windows:
                g = dict(line.split('=') for line in
                         e2e.xdotool('getwindowgeometry', '--shell', window).split())
                if g['WIDTH'] == '240' and g['HEIGHT'] == '530':
                    self.panel = (int(g['X']), int(g['Y']))
        if self.panel is None:
            raise e2e.Failure('the Station panel did not appear')
        time.sleep(2)  # the player page and the advert box load

    def row(self, index):
        return (self.panel[0] + TREE[0] + 60, self.panel[1] + TREE[1] + 1 + index * ROW + ROW // 2)

    def click(self, index, double=False):
        x, y = self.row(index)
        e2e.xdotool('mousemove', x, y)
        time.sleep(0.15)
        if double:
            e2e.xdotool('click', '--repeat', '2', '--delay', '80', '1')
        else:
            e2e.xdotool('click', '1')

    def stages_since(self, clicked):
        """{stage: ms from clicked} for the first time each stage was noted after it."""
        found = {}
        try:
            with open(self.stage_log) as f:
                for line in f:
                    at, name = line.rstrip('\n').split(' ', 1)
                    at = int(at) / 1e9
                    if at >= clicked and name not in found:
                        found[name] = (at - clicked) * 1000
        except OSError:
            pass
        return found

    def close(self):
        self.proc.terminate()
        return self.proc.wait(timeout=30)


class Goodvibes:
    """Goodvibes as users run it (its window shown), told what to play over MPRIS 2."""

    NAME = 'org.mpris.MediaPlayer2.Goodvibes'

    def __init__(self, work, clear_of):
        self.out = open(os.path.join(work, 'goodvibes.log'), 'w')
        self.proc = subprocess.Popen(['goodvibes'], stdout=self.out, stderr=subprocess.STDOUT,
                                     env=dict(os.environ, NO_AT_BRIDGE='1'))
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        window = None
        deadline = time.monotonic() + 30
        while not (window and self._owned()) and time.monotonic() < deadline:
            time.sleep(0.2)
            try:
                window = e2e.xdotool('search', '--onlyvisible', '--pid', self.proc.pid).split()
            except subprocess.CalledProcessError:
                pass
        if not (window and self._owned()):
            raise e2e.Failure('goodvibes did not start')
        # No window manager places it: keep it off the Station panel that the clicks go to.
        e2e.xdotool('windowmove', window[0], clear_of[0] + 260, clear_of[1])

    def _owned(self):
        reply = self.bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus',
                                   'org.freedesktop.DBus', 'NameHasOwner',
                                   GLib.Variant('(s)', (self.NAME,)), None,
                                   Gio.DBusCallFlags.NONE, 5000, None)
        return reply.unpack()[0]

    def player(self, method, *args):
        self.bus.call_sync(self.NAME, '/org/mpris/MediaPlayer2', 'org.mpris.MediaPlayer2.Player',
                           method, GLib.Variant('(s)', args) if args else None, None,
                           Gio.DBusCallFlags.NONE, 5000, None)

    def close(self):
        self.proc.terminate()
        return self.proc.wait(timeout=30)


def first_audible(monitor, start_index, timeout):
    """Seconds of monitor samples from start_index to the first audible 10 ms block."""
    block = monitor.RATE // 100
    at = start_index
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        while at + block <= monitor.count():
            if monitor.measure(at, block)[0] > LOUD:
                return (at - start_index) / monitor.RATE
            at += block
        time.sleep(0.005)
    return None


def tree_of(pid):
    """pid and all its descendants."""
    children = {}
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open('/proc/%s/stat' % entry) as f:
                fields = f.read().rsplit(')', 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except OSError:
            pass
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


def process_table(pid):
    """[(kind, rss, pss)] in KiB for the process and each descendant; kind is 'main' or the
    browser engine's process type."""
    rows = []
    for p in tree_of(pid):
        try:
            with open('/proc/%d/cmdline' % p) as f:
                args = f.read().replace('\0', ' ').split()  # the engine's helper joins its own
        except OSError:
            continue
        kind = next((a.split('=', 1)[1] for a in args if a.startswith('--type=')),
                    'main' if p == pid else os.path.basename(args[0]) if args else '?')
        rss, pss = memory_of([p])
        rows.append((kind, rss, pss))
    return rows


def memory_of(pids):
    """(rss, pss) in KiB summed over the processes."""
    rss = pss = 0
    for p in pids:
        try:
            with open('/proc/%d/smaps_rollup' % p) as f:
                for line in f:
                    if line.startswith('Rss:'):
                        rss += int(line.split()[1])
                    elif line.startswith('Pss:'):
                        pss += int(line.split()[1])
        except OSError:
            pass
    return rss, pss


class PeakMemory:
    def __init__(self, pid):
        self.pid = pid
        self.peak = (0, 0)
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while self.running:
            rss, pss = memory_of(tree_of(self.pid))
            self.peak = (max(self.peak[0], rss), max(self.peak[1], pss))
            time.sleep(0.1)

    def stop(self):
        self.running = False
        self.thread.join()
        return self.peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--program', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--rounds', type=int, default=ROUNDS)
    parser.add_argument('--smoke', action='store_true', help='one round, for CI')
    args = parser.parse_args()
    if args.smoke:
        args.rounds = 1

    # As stations broadcast: Debian's icecast2, with its default burst on connect (64 KB, about
    # 4 s of this stream: the players' buffers fill at once, as from a real station).
    station = Icecast(args.work, HTTP_STATION_PORT, '/voice', 440)
    fed = time.monotonic()
    advert = e2e.Peer(8760)  # the service host's advert page for the Station panel's box
    advert.serve('/gg/gg/gg.html', b'<html><body style="background:#8cf">'
                 b'<marquee>Sonaro advert</marquee></body></html>', content_type='text/html')
    url = 'http://127.0.0.1:%d/voice' % HTTP_STATION_PORT
    hls, hls_folder = live_hls(args.work, 440)
    hls_server = Files(18021, {'/play/good.asx': ('file', os.path.join(hls_folder, 'live.m3u8')),
                               '/*': ('folder', hls_folder)})
    hls_url = 'http://127.0.0.1:18021/play/good.asx'
    asx = os.path.join(args.work, 'radio.asx')
    with open(asx, 'w', encoding='utf-8') as f:
        f.write('<asx version="3.0"><entry><title>青大在线</title><ref href="%s"/></entry></asx>'
                % url)
    asx_server = Files(18027, {'/radio.asx': ('file', asx, 'video/x-ms-asf')})
    if not e2e.wait_until(lambda: media_sequence(hls_folder) >= 1, 30):
        raise e2e.Failure('the HLS station did not start')
    time.sleep(max(0, 5 - (time.monotonic() - fed)))  # the burst's worth of the stream is there

    monitor = e2e.Monitor()
    program = Program(args.program, args.work)
    goodvibes = None
    memory = PeakMemory(program.proc.pid)
    times = {'sonaro': [], 'goodvibes': [], 'mpv': [], 'sonaro-asx': [], 'sonaro-hls': [],
             'mpv-hls': []}
    stages = {'sonaro': [], 'sonaro-asx': [], 'sonaro-hls': []}
    mpv_peaks = []
    try:
        goodvibes = Goodvibes(args.work, program.panel)
        gv_memory = PeakMemory(goodvibes.proc.pid)
        program.click(ROW_NETWORK, double=True)
        time.sleep(0.5)
        def silence_first(what):
            # An unplayable station replaces the page: the sound before goes.
            program.click(ROW_HUAKAI)
            if not monitor.wait_silence(10):
                raise e2e.Failure('no silence before ' + what)

        def click_station(row, kind):
            x, y = program.row(row)
            e2e.xdotool('mousemove', x, y)
            time.sleep(0.2)
            start = monitor.count()
            clicked = time.monotonic()
            e2e.xdotool('click', '1')
            heard = first_audible(monitor, start, 15)
            noted = program.stages_since(clicked)
            if heard is not None:
                noted['audible'] = heard * 1000
            stages[kind].append(noted)
            return heard

        def start_mpv(address):
            start = monitor.count()
            mpv = subprocess.Popen(['mpv', '--no-config', '--no-video', '--really-quiet', address],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return mpv, first_audible(monitor, start, 15)

        for _ in range(args.rounds):
            silence_first('the round')
            times['sonaro'].append(click_station(ROW_LVCHENG, 'sonaro'))

            silence_first('goodvibes')
            start = monitor.count()
            goodvibes.player('OpenUri', url)
            times['goodvibes'].append(first_audible(monitor, start, 15))
            goodvibes.player('Stop')
            if not monitor.wait_silence(10):
                raise e2e.Failure('no silence before mpv')
            mpv, heard = start_mpv(url)
            times['mpv'].append(heard)
            time.sleep(1.0)
            mpv_peaks.append(memory_of(tree_of(mpv.pid)))
            mpv.terminate()
            mpv.wait()

            # ASX: a playlist naming the same stream; one more request on the way.
            silence_first('the ASX round')
            times['sonaro-asx'].append(click_station(ROW_QINGDA, 'sonaro-asx'))

            # HLS: the same live playlist, sonaro's click against mpv.
            silence_first('the HLS round')
            times['sonaro-hls'].append(click_station(ROW_IBOX, 'sonaro-hls'))
            silence_first('mpv on HLS')
            mpv, heard = start_mpv(hls_url)
            times['mpv-hls'].append(heard)
            mpv.terminate()
            mpv.wait()
        # Each player playing at its peak: goodvibes once more, then sonaro with the advert box.
        goodvibes.player('OpenUri', url)
        time.sleep(2)
        goodvibes.player('Stop')
        gv_peak = gv_memory.stop()
        program.click(ROW_LVCHENG)
        time.sleep(10)  # the player and the advert box both alive, settled
        table = process_table(program.proc.pid)
        peaks = {'sonaro': memory.stop(), 'goodvibes': gv_peak,
                 'mpv': (max(p[0] for p in mpv_peaks), max(p[1] for p in mpv_peaks))}
        goodvibes.close()
        program.close()
    finally:
        monitor.close()
        hls.kill()
        hls.wait()
        hls_server.shutdown()
        asx_server.shutdown()
        station.close()
        for proc in (program.proc, goodvibes and goodvibes.proc):
            if proc and proc.poll() is None:
                proc.kill()

    if any(None in values for values in times.values()):
        print('no sound in some round: %s' % times)
        return 1
    medians = {name: statistics.median(values) * 1000 for name, values in times.items()}
    print()
    print('Station start-up, request to first audible block (median of %d; ms):' % args.rounds)
    for name, values in times.items():
        print('  %-9s %7.1f   %s' % (name, medians[name],
                                     ' '.join('%.0f' % (v * 1000) for v in values)))
    print('Where sonaro\'s time goes, ms from the click (xdotool\'s) to each stage (median):')
    print('  %-14s %9s %9s %9s' % ('stage', 'http', 'ASX', 'HLS'))
    for stage in STAGES + ['audible']:
        cells = []
        for kind in ('sonaro', 'sonaro-asx', 'sonaro-hls'):
            values = [noted[stage] for noted in stages[kind] if stage in noted]
            cells.append('%.0f' % statistics.median(values) if values else '-')
        print('  %-14s %9s %9s %9s' % (stage, *cells))
    print('Peak memory of the process tree (MiB; sonaro with the player and advert box alive):')
    for name, (rss, pss) in peaks.items():
        print('  %-9s RSS %7.1f  PSS %7.1f' % (name, rss / 1024, pss / 1024))
    print('Sonaro after 10 s of playing, per process (MiB):')
    for kind, rss, pss in table:
        print('  %-9s RSS %7.1f  PSS %7.1f' % (kind, rss / 1024, pss / 1024))
    print('  %-9s RSS %7.1f  PSS %7.1f' % ('total', sum(r[1] for r in table) / 1024,
                                           sum(r[2] for r in table) / 1024))
    print('Ratios, sonaro / reference (target <= 1.00 for start-up; memory figures only):')
    for ref in ('goodvibes', 'mpv'):
        print('  %-9s start-up %5.2f   RSS %5.2f   PSS %5.2f'
              % (ref, medians['sonaro'] / medians[ref], peaks['sonaro'][0] / peaks[ref][0],
                 peaks['sonaro'][1] / peaks[ref][1]))
    print('  ASX: sonaro\'s ASX station / goodvibes on its stream, start-up %5.2f (target <= 1.20);'
          ' / sonaro on the stream itself %5.2f'
          % (medians['sonaro-asx'] / medians['goodvibes'],
             medians['sonaro-asx'] / medians['sonaro']))
    print('  HLS: sonaro / mpv on the same live playlist, start-up %5.2f (target <= 1.00)'
          % (medians['sonaro-hls'] / medians['mpv-hls']))
    print('Settled sonaro / goodvibes peak: RSS %.2f  PSS %.2f (target PSS <= 2.0)'
          % (sum(r[1] for r in table) / peaks['goodvibes'][0],
             sum(r[2] for r in table) / peaks['goodvibes'][1]))
    return 0


if __name__ == '__main__':
    sys.exit(main())
