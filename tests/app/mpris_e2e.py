"""Drives the real program with playerctl as the desktop's media controls (MPRIS 2 on the
session bus): Stopped at start; a station selected plays, with the title its stream sends (GBK)
and the station's name; stop ends the sound, play brings it back as a new track.

Started by mpris_e2e.sh inside headless_desktop.sh, which gives the session bus and the null
sink. The station is 绿城网络电台, whose host radio/station-hosts.txt points at 127.0.0.1:18020.
"""
import os
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from desktop import Monitor, Peer, check, log, run_driver, tone_mp3, wait_until  # noqa: E402

STATION_PORT = 18020
STATION = '绿城网络电台'
TITLE = '晚间音乐：夜色温柔'
PLAYER = ['playerctl', '-p', 'org.sonaro.Sonaro']


def playerctl(*args):
    return subprocess.run(PLAYER + list(args), capture_output=True, text=True,
                          timeout=10).stdout.strip()


class Follower:
    """playerctl --follow: each status it prints, which it learns from PropertiesChanged."""

    def __init__(self):
        self.statuses = []
        self.proc = subprocess.Popen(PLAYER + ['--follow', 'status'], stdout=subprocess.PIPE,
                                     text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.statuses.append(line.strip())

    def close(self):
        self.proc.kill()


def drive(args, start):
    station = Peer(STATION_PORT)
    station.serve('/voice', tone_mp3(440, args.work), endless=True, icy_title=TITLE)
    monitor = Monitor()
    follower = None
    try:
        program = start()
        check(wait_until(lambda: playerctl('status') == 'Stopped', 10),
              'playerctl finds the program, Stopped')
        follower = Follower()

        program.expand('网络电台')
        program.select(STATION)
        check(wait_until(lambda: playerctl('status') == 'Playing', 5), 'a station plays: Playing')
        check(monitor.wait_tone(440, 15) is not None, 'the station is heard')
        check(b'\r\nicy-metadata: 1\r\n' in station.snapshot()[0]['head'].lower(),
              'the stream is asked for its metadata')
        check(wait_until(lambda: playerctl('metadata', 'xesam:title') == TITLE, 10),
              'xesam:title is the stream\'s title %s (got %r)'
              % (TITLE, playerctl('metadata', 'xesam:title')))
        check(playerctl('metadata', 'xesam:album') == STATION, 'xesam:album is %s' % STATION)
        check(playerctl('metadata', 'xesam:artist') == STATION, 'xesam:artist is %s' % STATION)
        first = playerctl('metadata', 'mpris:trackid')  # printed as a quoted object path
        check(first.strip("'").startswith('/org/sonaro/Sonaro/track/'),
              'mpris:trackid is a track path (%s)' % first)

        playerctl('stop')
        check(wait_until(lambda: playerctl('status') == 'Stopped', 5), 'stop: Stopped')
        check(monitor.wait_silence(5), 'and silence')
        check(wait_until(lambda: not any(c['open'] for c in station.snapshot()), 5),
              'the stream\'s connection is closed')

        playerctl('play')
        check(wait_until(lambda: playerctl('status') == 'Playing', 5), 'play: Playing again')
        check(monitor.wait_tone(440, 15) is not None, 'the station is heard again')
        again = playerctl('metadata', 'mpris:trackid')
        check(again.strip("'").startswith('/org/sonaro/Sonaro/track/') and again != first,
              'a new mpris:trackid (%s)' % again)
        check(wait_until(lambda: playerctl('metadata', 'xesam:title') == TITLE, 10),
              'the new stream brings its title')
        check(wait_until(lambda: follower.statuses[-3:] == ['Playing', 'Stopped', 'Playing'], 5),
              'the changes reach a follower (saw %s)' % follower.statuses)
        program.close_checked()
    finally:
        if follower:
            follower.close()
        monitor.close()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'all MPRIS checks passed'))
