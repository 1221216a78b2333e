"""The formats stations broadcast in today, in the real program: stations of the built-in tree
whose addresses (radio/station-hosts.txt points them at 127.0.0.1) are answered by servers that
behave like today's, one case a station through one driver. Each is heard on the null sink's
monitor; the status box 状态 says 正在连接… while a station connects, nothing once it plays and
无法播放 when nothing of it plays; a real Icecast server's title, changed through its admin
interface, reaches playerctl.

Started by live_formats_e2e.sh inside headless_desktop.sh (session bus, null sink).
"""
import http.server
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from desktop import Monitor, Peer, check, log, run_driver, tone_mp3, wait_until  # noqa: E402

CATEGORY = '网络电台'
PLAYER = ['playerctl', '-p', 'org.sonaro.Sonaro']
ICECAST_PASSWORD = 'sonaro-admin'


def playerctl(*args):
    return subprocess.run(PLAYER + list(args), capture_output=True, text=True,
                          timeout=10).stdout.strip()


class Files(http.server.ThreadingHTTPServer):
    """A station's web server: paths mapped to files of a folder (read at each request, as
    ffmpeg renews them), redirects, and a delay before answering; http or https."""

    def __init__(self, port, routes, tls=None, delay=0):
        self.routes = routes  # path -> ('file', path) | ('redirect', status, location)
        self.delay = delay
        self.requests = []
        self.heads = []  # each request's head, as text
        super().__init__(('127.0.0.1', port), Handler)
        if tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*tls)
            self.socket = context.wrap_socket(self.socket, server_side=True)
        threading.Thread(target=self.serve_forever, daemon=True).start()


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        self.server.requests.append(path)
        self.server.heads.append(self.requestline + '\r\n' + str(self.headers))
        time.sleep(self.server.delay)
        route = self.server.routes.get(path)
        if route is None and '/*' in self.server.routes:  # a folder's segments
            folder = self.server.routes['/*'][1]
            name = os.path.basename(path)
            route = ('file', os.path.join(folder, name)) if name else None
        try:
            if route and route[0] == 'redirect':
                self.send_response(route[1])
                self.send_header('Location', route[2])
                self.send_header('Content-Length', '0')
                self.end_headers()
                return
            with open(route[1], 'rb') as f:
                body = f.read()
        except (OSError, TypeError):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header('Content-Type', route[2] if len(route) > 2 else 'application/octet-stream')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def test_authority(work):
    """A certificate authority of the test's and a certificate for 127.0.0.1 it signed."""
    run = lambda *a: subprocess.run(a, cwd=work, check=True, capture_output=True)  # noqa: E731
    run('openssl', 'req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:P-256',
        '-nodes', '-days', '2', '-subj', '/CN=Sonaro test authority', '-keyout', 'ca.key',
        '-out', 'ca.pem')
    run('openssl', 'req', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:P-256', '-nodes',
        '-subj', '/CN=127.0.0.1', '-keyout', 'station.key', '-out', 'station.csr')
    with open(os.path.join(work, 'ext.cnf'), 'w') as f:
        f.write('subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n')
    run('openssl', 'x509', '-req', '-in', 'station.csr', '-CA', 'ca.pem', '-CAkey', 'ca.key',
        '-CAcreateserial', '-days', '2', '-extfile', 'ext.cnf', '-out', 'station.pem')
    return (os.path.join(work, 'ca.pem'),
            (os.path.join(work, 'station.pem'), os.path.join(work, 'station.key')))


def live_hls(work, frequency):
    """ffmpeg's HLS muxer as a live station: AAC in MPEG-TS, 2 s segments, a window of 5."""
    folder = os.path.join(work, 'hls%d' % frequency)
    os.makedirs(folder)
    proc = subprocess.Popen(
        ['ffmpeg', '-nostdin', '-loglevel', 'error', '-re', '-f', 'lavfi', '-i',
         'sine=frequency=%d:sample_rate=44100' % frequency, '-t', '600', '-c:a', 'aac',
         '-b:a', '64k', '-f', 'hls', '-hls_time', '2', '-hls_list_size', '5', '-hls_flags',
         'delete_segments', 'live.m3u8'], cwd=folder)
    return proc, folder


def media_sequence(folder):
    try:
        with open(os.path.join(folder, 'live.m3u8')) as f:
            for line in f:
                if line.startswith('#EXT-X-MEDIA-SEQUENCE:'):
                    return int(line.split(':')[1])
    except OSError:
        pass
    return -1


class Icecast:
    """Debian's icecast2 on a station's port, fed by ffmpeg with an MP3 tone."""

    def __init__(self, work, port, mount, frequency):
        self.port, self.mount = port, mount
        # Run as root it changes to nobody, who must reach its logs: not under the private work
        # folder (0700).
        folder = self.folder = tempfile.mkdtemp(prefix='sonaro-icecast-')
        os.chmod(folder, 0o777)
        config = os.path.join(folder, 'icecast.xml')
        with open(config, 'w') as f:
            f.write(f'''<icecast>
  <limits><sources>2</sources></limits>
  <authentication><source-password>{ICECAST_PASSWORD}</source-password>
    <admin-user>admin</admin-user><admin-password>{ICECAST_PASSWORD}</admin-password>
  </authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>{port}</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <fileserve>0</fileserve>
  <paths><logdir>{folder}</logdir><webroot>/usr/share/icecast2/web</webroot>
    <adminroot>/usr/share/icecast2/admin</adminroot></paths>
  <logging><errorlog>error.log</errorlog><loglevel>2</loglevel></logging>
  <security><chroot>0</chroot>{'<changeowner><user>nobody</user><group>nogroup</group></changeowner>' if os.getuid() == 0 else ''}</security>
</icecast>
''')
        self.server = subprocess.Popen(['icecast2', '-c', config], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        check(wait_until(self._answers, 10), 'icecast2 listens on %d' % port)
        self.source = subprocess.Popen(
            ['ffmpeg', '-nostdin', '-loglevel', 'error', '-re', '-f', 'lavfi', '-i',
             'sine=frequency=%d' % frequency, '-t', '600', '-c:a', 'libmp3lame', '-b:a', '128k',
             '-content_type', 'audio/mpeg', '-f', 'mp3',
             'icecast://source:%s@127.0.0.1:%d%s' % (ICECAST_PASSWORD, port, mount)])
        check(wait_until(lambda: self.set_title('…'), 10), 'ffmpeg feeds icecast2')

    def _answers(self):
        try:
            urllib.request.urlopen('http://127.0.0.1:%d/status-json.xsl' % self.port, timeout=1)
            return True
        except Exception:
            return False

    def set_title(self, title):
        """Changes the mount's title as a station's operator does, through the admin page."""
        query = urllib.parse.urlencode({'mount': self.mount, 'mode': 'updinfo', 'song': title})
        request = urllib.request.Request('http://127.0.0.1:%d/admin/metadata?%s'
                                         % (self.port, query))
        password = urllib.request.HTTPPasswordMgrWithDefaultRealm()
        password.add_password(None, 'http://127.0.0.1:%d/' % self.port, 'admin',
                              ICECAST_PASSWORD)
        opener = urllib.request.build_opener(urllib.request.HTTPBasicAuthHandler(password))
        try:
            return b'successful' in opener.open(request, timeout=2).read()
        except Exception:
            return False

    def close(self):
        for proc in (self.source, self.server):
            proc.kill()
            proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def drive(args, start):
    work = args.work
    authority, tls = test_authority(work)
    # The program trusts the test's authority as it would a system one (SSL_CERT_FILE).
    os.environ['SSL_CERT_FILE'] = authority
    hls, hls_folder = live_hls(work, 660)
    icecast = Icecast(work, 18020, '/voice', 500)  # 绿城网络电台 http://S20/voice
    tone = Peer(18099)
    tone.serve('/tone.mp3', tone_mp3(880, work), endless=True)
    with open(os.path.join(work, 'station.pls'), 'w') as f:
        f.write('[playlist]\nNumberOfEntries=2\nFile1=http://127.0.0.1:18098/gone.mp3\n'
                'Title1=Gone\nFile2=http://127.0.0.1:18099/tone.mp3\nTitle2=Live\n')
    with open(os.path.join(work, 'station.m3u'), 'w') as f:
        f.write('#EXTM3U\n#EXTINF:-1,声动调频\nhttp://127.0.0.1:18099/tone.mp3\n')
    servers = [
        # Ibox网络电台 http://S21/play/good.asx: the live HLS station's playlist, segments beside.
        Files(18021, {'/play/good.asx': ('file', os.path.join(hls_folder, 'live.m3u8')),
                      '/*': ('folder', hls_folder)}),
        # 青大在线网络电台 http://S27/radio.asx: redirected to https, where a PLS names a dead
        # stream and a live one.
        Files(18027, {'/radio.asx': ('redirect', 302, 'https://127.0.0.1:18127/station.pls')}),
        Files(18127, {'/station.pls': ('file', os.path.join(work, 'station.pls'),
                                       'audio/x-scpls')}, tls=tls),
        # 声动调频网络电台 http://S30/radio/001.asx: an M3U from a server that takes its time.
        Files(18030, {'/radio/001.asx': ('file', os.path.join(work, 'station.m3u'),
                                         'audio/x-mpegurl')}, delay=2.5),
    ]
    # 广东青少年网络电台 mms://S18/live: nothing answers there.
    check(wait_until(lambda: media_sequence(hls_folder) >= 5, 40),
          'the HLS station has replaced its first window of segments')
    monitor = Monitor()
    try:
        program = start()
        status = program.status_text
        program.expand(CATEGORY)
        cases = [
            ('绿城网络电台', 500, 'Icecast, MP3 with ICY titles'),
            ('Ibox网络电台', 660, 'live HLS, its first window gone'),
            ('青大在线网络电台', 880, 'a redirect to https, a PLS, its second entry'),
            ('声动调频网络电台', 880, 'an M3U from a slow server'),
            ('广东青少年网络电台', 0, 'nothing answers'),
        ]
        for station, hertz, what in cases:
            began = time.monotonic()
            program.select(station)
            check(wait_until(lambda: program.station_text() == station, 10),
                  '%s: the station box shows it' % station)
            if station == '声动调频网络电台':
                check(wait_until(lambda: status() == '正在连接…', 2.5),
                      '%s: 状态 says 正在连接… while it connects (saw %r)' % (station, status()))
            if hertz:
                check(monitor.wait_tone(hertz, 20) is not None, '%s (%s): heard' % (station, what))
                log('%s (%s): heard %.2f s after the click' % (station, what,
                                                                time.monotonic() - began))
                check(wait_until(lambda: status() == '', 5),
                      '%s: 状态 is empty while it plays (saw %r)' % (station, status()))
                check(wait_until(lambda: playerctl('status') == 'Playing', 5),
                      '%s: MPRIS says Playing' % station)
            else:
                check(wait_until(lambda: status() == '无法播放', 30),
                      '%s (%s): 状态 says 无法播放 (saw %r)' % (station, what, status()))
                check(playerctl('status') == 'Stopped', '%s: MPRIS does not say Playing' % station)
                check(monitor.wait_silence(5), '%s: silence' % station)
            if station == '绿城网络电台':
                for title in ('晚间音乐：夜色温柔', 'Morning Show'):
                    check(icecast.set_title(title), 'icecast2 takes the title %s' % title)
                    check(wait_until(lambda: playerctl('metadata', 'xesam:title') == title, 15),
                          'playerctl reads the title %s (got %r)'
                          % (title, playerctl('metadata', 'xesam:title')))
            if station == 'Ibox网络电台':
                time.sleep(10)  # past the window it started in
                check(monitor.wait_tone(660, 5) is not None, 'the HLS station plays on')
        check('/station.pls' in servers[2].requests, 'the PLS was fetched over https')
        check(not any(c['path'] == '/never' for c in tone.snapshot()), 'no entry after the one')
        program.close_checked()
    finally:
        monitor.close()
        icecast.close()
        hls.kill()
        hls.wait()
        for server in servers:
            server.shutdown()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'every format heard, status and titles right'))
