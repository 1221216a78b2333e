"""Drives the real program's dedication service end to end under a virtual X server.

Started by dedication_e2e.sh inside headless_desktop.sh. The program's service host is
127.0.0.1:8760 in the default build; this driver serves that address itself:
  - without --host: a fixture host with a fixed feed (repeated wishes, markup-like texts), an
    announcement and a dedication page whose form records what it receives;
  - with --host <sonaro-host>: the real service host, started here with an empty data folder,
    for the whole loop: a dedication submitted from the Request form comes back on the board
    and its song plays;
  - with --host and --tls: a program built for https://127.0.0.1:18843, which is nginx with the
    TLS configuration of docs/host.md and a certificate of the test's own authority, in front of
    the real host. Trusting another authority, the program shows nothing from the host; trusting
    the test's (SSL_CERT_FILE for the program's fetches, the NSS database in HOME for its
    browser), it reads the board and submits a dedication through nginx.
"""
import html
import http.server
import os
import re
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'radio'))
from desktop import (Failure, Monitor, Peer, check, run_driver, tone_mp3,  # noqa: E402
                     wait_until, walk, xdotool)
from live_formats_e2e import test_authority  # noqa: E402

SERVICE = ('127.0.0.1', 8760)
TLS_SERVICE = ('127.0.0.1', 18843)  # the TLS test program's service host
SONG_PORT = 18990
DIANGE = (269 + 45, 235 + 33)  # the board toggle, in the Main window (clear of its neighbour)
MAIN_AT = (520, 40)  # room on the left for the card, below for the board
REFRESH = 10.0

# The Request form's boxes (window-relative rectangles) and the page fields they fill.
FORM_BOXES = [
    ('beichenghu', (163, 48, 64, 16)),
    ('beiname', (324, 48, 128, 16)),
    ('geming', (163, 88, 210, 16)),
    ('dizhi', (163, 131, 284, 16)),
    ('neirong', (100, 171, 352, 128)),
    ('dianchenghu', (224, 313, 64, 16)),
    ('dianname', (383, 313, 64, 16)),
]
FORM_OK = (376 + 36, 400 + 12)
WISHES_BOX = (100, 171)


# --- the fixture host ------------------------------------------------------------------------

FIELDS = ['chenghu', 'diangezhe', 'beichenghu', 'beidiangezhe', 'geming', 'gequdizhi', 'zhufuyu']


def record(dedication):
    """One feed record, every text escaped as the host escapes it."""
    return '<diange>' + ''.join('<%s>%s</%s>' % (k, html.escape(dedication[k]), k)
                                for k in FIELDS) + '</diange>'


DEDICATION_PAGE = '''<html><head><meta http-equiv="Content-Type" content="text/html; charset=gbk">
<title>点歌台</title></head><body>
<form method="post" action="/gg/diangatai1/index.asp">
<input type="hidden" name="beichenghu" value="hidden-trap">
称呼<input type="text" name="beichenghu"> 名字<input type="text" name="beiname">
歌名<input type="text" name="geming"> 地址<input type="text" name="dizhi">
<textarea name="neirong"></textarea>
<input type="text" name="dianname"> <input type="text" name="dianchenghu">
<input type="submit" value="提交留言">
</form>%s</body></html>'''


class FixtureHost:
    def __init__(self, feed, announcement):
        self.feed = feed
        self.announcement = announcement
        self.submissions = []
        self.requests = []
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = 'HTTP/1.0'

            def _answer(self, body, content_type='text/html; charset=gbk'):
                self.send_response(200)
                self.send_header('Content-Type', content_type)
                self.send_header('Content-Length', str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def do_GET(self):
                owner.requests.append((time.monotonic(), self.path))
                if self.path == '/gg/diangatai1/xmlxianshi.asp':
                    self._answer(owner.feed, 'text/xml')
                elif self.path == '/gonggao.txt':
                    self._answer(owner.announcement, 'text/plain')
                elif self.path.startswith('/gg/diangatai1/index.asp'):
                    self._answer((DEDICATION_PAGE % '').encode('gbk'))
                else:
                    self.send_error(404)

            def do_POST(self):
                length = int(self.headers.get('Content-Length', '0'))
                body = self.rfile.read(length)
                owner.submissions.append(urllib.parse.parse_qs(body.decode('ascii'),
                                                               encoding='gbk'))
                self._answer((DEDICATION_PAGE % '<p>谢谢</p>').encode('gbk'))

            def log_message(self, *args):
                pass

        socketserver.ThreadingTCPServer.allow_reuse_address = True
        self.server = bind_patiently(lambda: socketserver.ThreadingTCPServer(SERVICE, Handler))
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def bind_patiently(make, timeout=90):
    """Another test's host may have just left the port in TIME_WAIT without SO_REUSEADDR."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            return make()
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(1)


class RealHost:
    def __init__(self, binary, work, service=SERVICE, options=()):
        self.service = service
        self.data = os.path.join(work, 'host-data')
        self.log = open(os.path.join(work, 'host.log'), 'w')
        self.proc = subprocess.Popen(
            [binary, '--listen', '%s:%d' % service, '--data', self.data, '--submit-interval',
             '0'] + list(options), stdout=self.log, stderr=subprocess.STDOUT)
        check(wait_until(self._up, 30), 'sonaro-host serves its feed')

    def _up(self):
        try:
            return self.feed() is not None
        except OSError:
            return False

    def feed(self):
        import urllib.request
        with urllib.request.urlopen('http://%s:%d/gg/diangatai1/xmlxianshi.asp' % self.service,
                                    timeout=5) as answer:
            return answer.read()

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


class TlsFront:
    """nginx ending TLS in front of one host, configured by docs/host.md's balancer block."""

    def __init__(self, work, host_port, certificate):
        docs = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'docs',
                            'host.md')
        with open(docs, encoding='utf-8') as f:
            found = re.search(r'# nginx balancer: begin\n(.*?)# nginx balancer: end', f.read(),
                              re.S)
        check(found is not None, 'docs/host.md has the balancer configuration')
        conf = found.group(1).replace('10.0.0.11:8760', '127.0.0.1:%d' % host_port)
        conf = re.sub(r'\n *server 10\.0\.0\.12:8760;', '', conf)
        conf = re.sub(r'\n *listen 80;', '', conf)
        conf = conf.replace('listen 443 ssl;', 'listen %s:%d ssl;' % TLS_SERVICE)
        conf = re.sub(r'ssl_certificate .*;', 'ssl_certificate %s;' % certificate[0], conf)
        conf = re.sub(r'ssl_certificate_key .*;', 'ssl_certificate_key %s;' % certificate[1], conf)
        check('listen %s:%d ssl;' % TLS_SERVICE in conf, 'the balancer ends TLS')
        folder = os.path.join(work, 'nginx')
        os.makedirs(os.path.join(folder, 'temp'))
        self.access_log = os.path.join(folder, 'access.log')
        self.error_log = os.path.join(folder, 'error.log')
        temps = ''.join('%s_temp_path %s/temp/%s;\n' % (kind, folder, kind)
                        for kind in ('client_body', 'proxy', 'fastcgi', 'uwsgi', 'scgi'))
        with open(os.path.join(folder, 'nginx.conf'), 'w') as f:
            f.write('daemon off;\nworker_processes 1;\npid %s/nginx.pid;\n'
                    'error_log %s info;\nevents { worker_connections 256; }\n'
                    'http {\naccess_log %s;\n%s%s}\n'
                    % (folder, self.error_log, self.access_log, temps, conf))
        nginx = '/usr/sbin/nginx' if os.path.exists('/usr/sbin/nginx') else 'nginx'
        self.proc = subprocess.Popen([nginx, '-c', os.path.join(folder, 'nginx.conf'), '-p', folder],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        check(wait_until(self._up, 30), 'nginx listens on %s:%d' % TLS_SERVICE)

    def _up(self):
        try:
            socket.create_connection(TLS_SERVICE, timeout=1).close()
            return True
        except OSError:
            return False

    def get(self, path, authority):
        import urllib.request
        context = ssl.create_default_context(cafile=authority)
        with urllib.request.urlopen('https://%s:%d%s' % (TLS_SERVICE + (path,)), timeout=5,
                                    context=context) as answer:
            return answer.read()

    def requests(self):
        with open(self.access_log) as f:
            return f.read().splitlines()

    def refused_handshakes(self):
        with open(self.error_log) as f:
            return f.read().count('while SSL handshaking')

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


# --- the program's windows -------------------------------------------------------------------

def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def click(x, y, double=False):
    xdotool('mousemove', x, y)
    time.sleep(0.15)
    if double:
        xdotool('click', '--repeat', '2', '--delay', '80', '1')
    else:
        xdotool('click', '1')
    time.sleep(0.2)


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


class Dedications:
    def __init__(self, program):
        self.program = program
        self.app = program.app

    def main_window(self):
        window = xdotool('search', '--onlyvisible', '--name', 'SonaroQuillboard').split()[0]
        geometry = dict(line.split('=') for line in
                        xdotool('getwindowgeometry', '--shell', window).split())
        return window, int(geometry['X']), int(geometry['Y'])

    def move_main(self, x, y):
        window, _, _ = self.main_window()
        xdotool('windowmove', window, x, y)
        check(wait_until(lambda: self.main_window()[1:] == (x, y), 5),
              'the Main window moved to %d,%d' % (x, y))

    def show_board(self):
        _, mx, my = self.main_window()
        click(mx + DIANGE[0], my + DIANGE[1])

    def board_list(self):
        for node in walk(self.app):
            try:
                if node.getRoleName() == 'tree' and any(
                        node.getChildAtIndex(i).name == '点歌者' for i in range(node.childCount)):
                    return node
            except Exception:
                pass
        return None

    def rows(self):
        """The board's rows as lists of their ten cell texts."""
        tree = self.board_list()
        if tree is None:
            return []
        cells = [tree.getChildAtIndex(i) for i in range(tree.childCount)]
        cells = [c for c in cells if c is not None and c.getRoleName() == 'table cell']
        return [[c.name for c in cells[i:i + 10]] for i in range(0, len(cells) - 9, 10)]

    def click_row(self, dedicator):
        tree = self.board_list()
        for i in range(tree.childCount):
            cell = tree.getChildAtIndex(i)
            if cell.getRoleName() == 'table cell' and cell.name == dedicator:
                e = extents(cell)
                check(e.width > 0, 'the row of %s is on screen' % dedicator)
                click(e.x + e.width // 2, e.y + e.height // 2)
                return
        raise Failure('no row of %s' % dedicator)

    def labels(self):
        names = []
        for node in walk(self.app):
            try:
                if node.getRoleName() == 'label' and node.name:
                    names.append(node.name)
            except Exception:
                pass
        return names

    def find_text(self, width, height, near=None):
        for node in walk(self.app):
            try:
                if node.getRoleName() != 'text':
                    continue
                e = extents(node)
                if (e.width, e.height) == (width, height) and (
                        near is None or (abs(e.x - near[0]) < 3 and abs(e.y - near[1]) < 3)):
                    return node, e
            except Exception:
                pass
        return None, None

    def card_wishes(self):
        return self.find_text(264, 166)

    def request_form_origin(self):
        box, e = self.find_text(352, 128)
        if box is None:
            return None
        return e.x - WISHES_BOX[0], e.y - WISHES_BOX[1]


def board_request_button(ded):
    for node in walk(ded.app):
        try:
            if node.getRoleName() == 'push button':
                e = extents(node)
                if (e.width, e.height) == (117, 24):
                    return e
        except Exception:
            pass
    raise Failure('no 按钮1 on the board')


def fill_request_form(ded, values):
    e = board_request_button(ded)
    click(e.x + e.width // 2, e.y + e.height // 2)
    check(wait_until(lambda: ded.request_form_origin() is not None, 15),
          'the Request form opens from the board')
    ox, oy = ded.request_form_origin()
    # The hidden browser loads the dedication page; give it a moment.
    time.sleep(3)
    for field, (x, y, w, h) in FORM_BOXES:
        node, _ = ded.find_text(w, h, (ox + x, oy + y))
        check(node is not None, 'the Request form has its box for %s' % field)
        # xdotool types other scripts by remapping a spare key code on the fly, which can drop
        # a character when the machine is busy: type again until the box holds the text.
        for _ in range(4):
            click(ox + x + min(w // 2, 30), oy + y + h // 2)
            xdotool('key', 'ctrl+a', 'BackSpace')
            xdotool('type', '--delay', '40', values[field])
            if wait_until(lambda: text_of(node) == values[field], 1.5):
                break
        check(wait_until(lambda: text_of(node) == values[field], 5),
              'box for %s holds %r' % (field, values[field]))
    click(ox + FORM_OK[0], oy + FORM_OK[1])
    return ox, oy


def form_boxes_empty(ded, origin):
    ox, oy = origin
    for _, (x, y, w, h) in FORM_BOXES:
        node, _ = ded.find_text(w, h, (ox + x, oy + y))
        if node is None or text_of(node) != '':
            return False
    return True


def check_card(ded, monitor, dedication, pitch):
    """Clicks the dedication's row; the card shows its texts and its song is heard."""
    ded.click_row(dedication['diangezhe'])
    expected = ['你的%s：%s' % (dedication['chenghu'], dedication['diangezhe']),
                '%s%s:' % (dedication['beichenghu'], dedication['beidiangezhe']),
                dedication['geming']]
    check(wait_until(lambda: all(t in ded.labels() for t in expected), 10),
          'the card shows %s' % ' / '.join(expected))
    wishes, _ = ded.card_wishes()
    check(wishes is not None and text_of(wishes) == dedication['zhufuyu'],
          'the card\'s wishes read %r' % dedication['zhufuyu'])
    check(wait_until(lambda: ded.program.station_text() ==
                     dedication['diangezhe'] + '点播的歌曲', 5),
          'the station box says whose song plays')
    heard = monitor.wait_tone(pitch, 30)
    check(heard is not None, 'the dedicated song is heard at %d Hz (%s)' % (pitch, heard))


# --- the two runs ----------------------------------------------------------------------------

FIXTURE_RECORDS = [
    dict(chenghu='朋友', diangezhe='小明', beichenghu='亲爱的', beidiangezhe='小红',
         geming='月亮代表我的心', gequdizhi='http://127.0.0.1:%d/song660' % SONG_PORT,
         zhufuyu='生日快乐，天天开心！'),
    dict(chenghu='同学', diangezhe='阿强', beichenghu='老', beidiangezhe='王',
         geming='<b>粗体</b> & 歌', gequdizhi='http://127.0.0.1:%d/song990' % SONG_PORT,
         zhufuyu='<i>不是标记</i>'),
    # The same wishes again: listed once, the first stays.
    dict(chenghu='朋友', diangezhe='重复者', beichenghu='亲爱的', beidiangezhe='小红',
         geming='别的歌', gequdizhi='http://127.0.0.1:%d/song660' % SONG_PORT,
         zhufuyu='生日快乐，天天开心！'),
]
ANNOUNCEMENT = '公告：欢迎点歌，祝大家快乐！'


def as_row(d):
    return [d['chenghu'], d['diangezhe'], d['beichenghu'], '为', d['beidiangezhe'], d['geming'],
            '点播了一首歌曲', d['gequdizhi'], d['zhufuyu'], '<详情点击查看>']


def run_fixture(program, monitor, host, started):
    ded = Dedications(program)
    ded.move_main(*MAIN_AT)
    ded.show_board()
    check(wait_until(lambda: ded.rows(), 3 * REFRESH), 'the board fills')
    first_feed = min(t for t, p in host.requests if p == '/gg/diangatai1/xmlxianshi.asp')
    check(first_feed - started > REFRESH - 1.5,
          'the first feed request came %.1f s after start' % (first_feed - started))
    expected = [as_row(FIXTURE_RECORDS[0]), as_row(FIXTURE_RECORDS[1])]
    check(ded.rows() == expected, 'one row per wishes text, texts as sent (markup as text)')
    check(ANNOUNCEMENT in ded.labels(), 'the announcement shows')
    feeds = len([p for _, p in host.requests if p.endswith('xmlxianshi.asp')])
    check(wait_until(lambda: len([p for _, p in host.requests
                                  if p.endswith('xmlxianshi.asp')]) >= feeds + 1, 2 * REFRESH),
          'the board refreshes again')
    time.sleep(1)
    check(ded.rows() == expected, 'still one row per wishes text after another refresh')

    check_card(ded, monitor, FIXTURE_RECORDS[0], 660)
    check_card(ded, monitor, FIXTURE_RECORDS[1], 990)

    # The card's text is read-only: typing, deleting and pasting change nothing.
    wishes, e = ded.card_wishes()
    before = text_of(wishes)
    click(e.x + 20, e.y + 10)
    xdotool('type', '--delay', '30', 'abc')
    xdotool('key', 'BackSpace', 'Delete', 'Return', 'ctrl+a', 'BackSpace', 'ctrl+v')
    time.sleep(0.5)
    check(text_of(wishes) == before, 'typing into the card changes nothing')

    values = {'beichenghu': '亲爱的', 'beiname': 'Lily', 'geming': '甜蜜蜜',
              'dizhi': 'http://127.0.0.1:%d/song660' % SONG_PORT, 'neirong': '天天快乐 & <好>',
              'dianchenghu': 'pal', 'dianname': '小李'}
    origin = fill_request_form(ded, values)
    check(wait_until(lambda: host.submissions, 15), 'the dedication page receives the form')
    got = host.submissions[0]
    want = {k: [v] for k, v in values.items()}
    want['beichenghu'] = ['hidden-trap', values['beichenghu']]  # the hidden input is skipped
    check(got == want, 'the page gets every field by name in GBK, the hidden one untouched')
    check(len(host.submissions) == 1, 'one submission')
    check(wait_until(lambda: form_boxes_empty(ded, origin), 5), 'the seven boxes are empty')


def run_loop(program, monitor, host):
    ded = Dedications(program)
    ded.move_main(*MAIN_AT)
    ded.show_board()
    check(ded.rows() == [], 'the board starts empty against an empty host')
    values = {'beichenghu': '亲爱的', 'beiname': '莉莉', 'geming': '月亮河',
              'dizhi': 'http://127.0.0.1:%d/song770' % SONG_PORT, 'neirong': '祝你快乐 <3 & 好',
              'dianchenghu': '老朋友', 'dianname': '小汤'}
    origin = fill_request_form(ded, values)
    check(wait_until(lambda: '小汤'.encode('gbk') in host.feed(), 15),
          'sonaro-host stored the dedication')
    check(wait_until(lambda: form_boxes_empty(ded, origin), 5), 'the seven boxes are empty')
    dedication = dict(chenghu='老朋友', diangezhe='小汤', beichenghu='亲爱的', beidiangezhe='莉莉',
                      geming='月亮河', gequdizhi=values['dizhi'], zhufuyu='祝你快乐 <3 & 好')
    check(wait_until(lambda: ded.rows() == [as_row(dedication)], 2.5 * REFRESH),
          'the next refresh lists the submitted dedication')
    check_card(ded, monitor, dedication, 770)


def trust_in_browser(authority):
    """Adds an authority to the NSS database in HOME, where the embedded browser looks."""
    nssdb = 'sql:' + os.path.join(os.environ['HOME'], '.pki', 'nssdb')
    os.makedirs(nssdb[4:], exist_ok=True)
    if not os.path.exists(os.path.join(nssdb[4:], 'cert9.db')):
        subprocess.run(['certutil', '-N', '-d', nssdb, '--empty-password'], check=True)
    subprocess.run(['certutil', '-A', '-d', nssdb, '-n', authority, '-t', 'C,,', '-i', authority],
                   check=True)


def run_tls(args, start):
    authorities = {}
    for name in ('ours', 'other'):
        os.makedirs(os.path.join(args.work, name))
        authorities[name] = test_authority(os.path.join(args.work, name))
    host = RealHost(args.host, args.work, ('127.0.0.1', free_port()), ['--trust-forwarded-for'])
    front = TlsFront(args.work, host.service[1], authorities['ours'][1])
    try:
        import urllib.parse
        import urllib.request
        seeded = dict(chenghu='老师', diangezhe='小周', beichenghu='亲爱的', beidiangezhe='阿美',
                      geming='茉莉花', gequdizhi='http://127.0.0.1:%d/song660' % SONG_PORT,
                      zhufuyu='加密的祝福')
        form = dict(beichenghu=seeded['beichenghu'], beiname=seeded['beidiangezhe'],
                    geming=seeded['geming'], dizhi=seeded['gequdizhi'],
                    neirong=seeded['zhufuyu'], dianchenghu=seeded['chenghu'],
                    dianname=seeded['diangezhe'])
        urllib.request.urlopen('http://%s:%d/gg/diangatai1/index.asp' % host.service,
                               urllib.parse.urlencode(form, encoding='gbk').encode(), 5).read()
        ours = authorities['ours'][0]
        check(front.get('/gg/diangatai1/xmlxianshi.asp', ours) == host.feed(),
              'nginx serves the host\'s feed over TLS')
        announcement = front.get('/gonggao.txt', ours).decode('gbk').strip()

        # Trusting another authority: every fetch and page load is refused, none reaches the host,
        # and nothing is shown.
        trust_in_browser(authorities['other'][0])
        os.environ['SSL_CERT_FILE'] = authorities['other'][0]
        checked = len(front.requests())
        program = start()
        ded = Dedications(program)
        ded.move_main(*MAIN_AT)
        ded.show_board()
        e = board_request_button(ded)
        click(e.x + e.width // 2, e.y + e.height // 2)
        time.sleep(2.5 * REFRESH)  # two refreshes of the board
        check(front.refused_handshakes() >= 3,
              'the program\'s TLS handshakes are refused (%d)' % front.refused_handshakes())
        check(front.requests()[checked:] == [],
              'no request reaches nginx: %r' % front.requests()[checked:][:3])
        check(ded.rows() == [], 'the board shows nothing')
        check(announcement not in [t.strip() for t in ded.labels()], 'the announcement is not shown')
        program.close_checked()

        # Trusting the test's authority: the board, then a dedication through nginx.
        trust_in_browser(ours)
        os.environ['SSL_CERT_FILE'] = ours
        program = start()
        ded = Dedications(program)
        ded.move_main(*MAIN_AT)
        ded.show_board()
        check(wait_until(lambda: ded.rows() == [as_row(seeded)], 3 * REFRESH),
              'the board lists the host\'s dedication, read over TLS')
        check(wait_until(lambda: announcement in [t.strip() for t in ded.labels()], 5),
              'the announcement shows')
        values = {'beichenghu': '亲爱的', 'beiname': '莉莉', 'geming': '月亮河',
                  'dizhi': 'http://127.0.0.1:%d/song770' % SONG_PORT, 'neirong': '经由 TLS 的祝福',
                  'dianchenghu': '老朋友', 'dianname': '小汤'}
        fill_request_form(ded, values)
        check(wait_until(lambda: '小汤'.encode('gbk') in host.feed(), 15),
              'sonaro-host stored the dedication submitted over TLS')
        check(any('"POST /gg/diangatai1/index.asp' in line for line in front.requests()),
              'the form was posted through nginx')
        submitted = dict(chenghu='老朋友', diangezhe='小汤', beichenghu='亲爱的', beidiangezhe='莉莉',
                         geming='月亮河', gequdizhi=values['dizhi'], zhufuyu='经由 TLS 的祝福')
        check(wait_until(lambda: ded.rows() == [as_row(seeded), as_row(submitted)],
                         2.5 * REFRESH), 'the next refresh lists it')
        program.close_checked()
    finally:
        front.close()
        host.close()


def drive(args, start):
    if args.tls:
        return run_tls(args, start)
    songs = Peer(SONG_PORT)
    for pitch in (660, 770, 990):
        songs.serve('/song%d' % pitch, tone_mp3(pitch, args.work), endless=True)
    if args.host:
        host = RealHost(args.host, args.work)
    else:
        feed = ('<?xml version="1.0" encoding="GBK"?>\r\n<diangetai>' +
                ''.join(record(d) for d in FIXTURE_RECORDS) + '</diangetai>')
        host = FixtureHost(feed.encode('gbk'), ANNOUNCEMENT.encode('gbk'))

    monitor = Monitor()
    started = time.monotonic()
    try:
        program = start()
        if args.host:
            run_loop(program, monitor, host)
        else:
            run_fixture(program, monitor, host, started)
        program.close_checked()
    finally:
        monitor.close()
        host.close()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'all end-to-end checks passed', [
        ('--host', {'help': 'a sonaro-host binary: run the whole loop against it'}),
        ('--tls', {'action': 'store_true',
                   'help': 'the program is built for https://127.0.0.1:18843: nginx ends TLS'})]))
