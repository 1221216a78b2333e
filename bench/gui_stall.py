"""The longest the GUI thread stays busy while the service host is slow, silent or gone, against
the same run with a quick host.

For each kind of host on 127.0.0.1:8760 (tests/support/stall_probe.py) the real program is
started afresh; from 3 s after its Main window shows, accessibility round trips (answered on
the GUI thread) are timed for 25 s, which covers the board's refreshes at about 10 s and 20 s
after start, and 8 s in 检查更新 is chosen from the Main window's menu. The slowest round trip
is the longest stall the probe saw (to within its 20 ms pause between rounds).
  - quick: answers every request at once (the reference);
  - silent: accepts and never answers;
  - trickle: sends a header, then one byte a second;
  - refused: nothing listens.
Run in a headless desktop with a window manager and no tray:
  cmake --build build --target bench_gui_stall
  bash tests/support/headless_desktop.sh --wm bench/gui_stall.py build/app/sonaro [--smoke]
--smoke runs one short round against the silent host and reports it without comparing.
"""
import argparse
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests',
                                'support'))
from desktop import (Program, choose_from_body_menu, log, shown, wait_until,  # noqa: E402
                     window_id, xdotool)
from stall_probe import SERVICE, Probe, ServiceHost  # noqa: E402

SETTLE = 3.0  # s after the Main window shows: the browser engine's start is past


def descendants(pid):
    """Pids of every process below pid (the browser engine's processes)."""
    parent = {}
    for entry in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open('/proc/%s/stat' % entry) as f:
                parent[int(entry)] = int(f.read().rsplit(')', 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            pass  # gone meanwhile
    below, grew = set(), True
    while grew:
        more = {p for p, pp in parent.items() if (pp == pid or pp in below) and p not in below}
        below |= more
        grew = bool(more)
    return below


def end(program):
    """Ends the program and waits for its browser processes, so that none runs into the next
    round."""
    pids = descendants(program.proc.pid)
    program.proc.terminate()
    try:
        program.proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        program.proc.kill()
        program.proc.wait()
    deadline = time.monotonic() + 10
    while pids and time.monotonic() < deadline:
        pids = {p for p in pids if os.path.exists('/proc/%d' % p)}
        time.sleep(0.1)
    for p in pids:
        try:
            os.kill(p, 9)
        except ProcessLookupError:
            pass


def one_round(args, kind, probed, update_at):
    """Runs the program against one host; (worst, 99th percentile, median, round trips, paths)."""
    if kind == 'refused':
        with socket.socket() as s:
            if s.connect_ex(SERVICE) == 0:
                raise SystemExit('something listens on %s:%d: cannot measure a refusing host'
                                 % SERVICE)
    host = ServiceHost(kind)
    started = time.monotonic()
    program = Program(args.program, args.work)
    try:
        pid = program.proc.pid
        if not wait_until(lambda: 'main' in shown(pid), 20):
            raise SystemExit('%s: the Main window did not show' % kind)
        time.sleep(SETTLE)
        probe = Probe(program.app, started)
        until = time.monotonic() + probed
        probe.start()
        try:
            time.sleep(update_at)
            choose_from_body_menu(program, '检查更新')
            if wait_until(lambda: 'update' in shown(pid), 5):
                xdotool('windowmove', window_id(pid, 'update'), 700, 600)
            else:
                log('%s: no Update window' % kind)  # a quick host may answer before it shows
            time.sleep(max(0.0, until - time.monotonic()))
        finally:
            probe.stop()
        log('%s host:' % kind)
        probe.report()
        times = sorted(ms for _, ms, _ in probe.trips)
        return (times[-1], times[int(len(times) * 0.99)], times[len(times) // 2], len(times),
                sorted(set(host.paths())))
    finally:
        end(program)
        host.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--program', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--smoke', action='store_true', help='one short round, no comparison')
    args = parser.parse_args()
    if args.smoke:
        worst, p99, median, count, paths = one_round(args, 'silent', 9.0, 3.0)
        print('smoke (silent host, 9 s): worst round trip %.1f ms, 99th percentile %.1f ms, '
              'median %.2f ms over %d; host saw %s' % (worst, p99, median, count, paths))
        return 0
    results = {kind: one_round(args, kind, 25.0, 8.0)
               for kind in ('quick', 'silent', 'trickle', 'refused')}
    reference = results['quick'][0]
    print('\nworst accessibility round trip (= longest GUI-thread stall seen) over 25 s with two '
          'board refreshes and an update check:')
    print('%-9s %9s %9s %9s %7s %9s  %s' % ('host', 'worst ms', 'p99 ms', 'median', 'trips',
                                           'vs quick', 'requests seen'))
    for kind, (worst, p99, median, count, paths) in results.items():
        print('%-9s %9.1f %9.1f %9.2f %7d %8.2fx  %s' % (kind, worst, p99, median, count,
                                                        worst / reference, ' '.join(paths)))
    print('target: every host within 100 ms, like the quick one')
    return 0


if __name__ == '__main__':
    sys.exit(main())
