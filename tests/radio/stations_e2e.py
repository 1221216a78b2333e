"""Drives the real program under a virtual X server and checks station selection end to end.

Started by stations_e2e.sh, which provides the X server, the accessibility bus and a
PulseAudio null sink. The stations used are four whose server keys radio/station-hosts.txt
points at 127.0.0.1 with ports of their own; servers on those ports stand in for them.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from desktop import (Monitor, Peer, check, log, run_driver, tone_mp3, wait_until,  # noqa: E402
                     walk)

HTTP_STATION_PORT = 18020  # S20: 绿城网络电台, http://.../voice
ASX_STATION_PORT = 18034  # S34: WOXY英文音乐台, http://.../stream/mpg128.asx
ASX_STREAM_PORT = 18035  # the stream the WOXY playlist names
DEAD_PORT = 18036  # named first in the playlist; nothing listens here
CRI_PORT = 18002  # S2: CRI Hit FM 88.7 and CRI Hit Fm, mms://.../fm887
CNR_PORT = 18007  # S7: 中国之声, mms://.../cnr001


def drive(args, start):
    tone440 = tone_mp3(440, args.work)
    tone880 = tone_mp3(880, args.work)
    http_station = Peer(HTTP_STATION_PORT)
    http_station.serve('/voice', tone440, endless=True)
    asx_station = Peer(ASX_STATION_PORT)
    asx_stream = Peer(ASX_STREAM_PORT)
    asx_stream.serve('/woxy?s=1&t=2', tone880, endless=True)
    # Lenient ASX as stations wrote them: mixed-case tags, a bare '&', a dead first ref, and
    # a Content-Type that does not say playlist.
    asx = ('<ASX version="3.0">\r\n<Title>WOXY & friends</Title>\r\n<Entry>\r\n'
           '<Ref href="http://127.0.0.1:%d/gone"/>\r\n'
           '<REF HREF="http://127.0.0.1:%d/woxy?s=1&t=2"/>\r\n</entry>\r\n</asx>\r\n'
           % (DEAD_PORT, ASX_STREAM_PORT)).encode()
    asx_station.serve('/stream/mpg128.asx', asx, content_type='text/html')
    cri = Peer(CRI_PORT)
    cnr = Peer(CNR_PORT)
    all_peers = [http_station, asx_station, asx_stream, cri, cnr]

    monitor = Monitor()
    try:
        check(monitor.count() > 0, 'the null sink\'s monitor delivers samples')
        program = start()
        if args.dump:
            for node in walk(program.app):
                log(node.getRole(), repr(node.name))
            return 0
        run_checks(program, monitor, http_station, asx_station, asx_stream, cri, cnr, all_peers)
        program.close_checked()
    finally:
        monitor.close()


def connections(peers):
    return sum(len(p.snapshot()) for p in peers)


def run_checks(program, monitor, http_station, asx_station, asx_stream, cri, cnr, peers):
    check(program.station_text() == '', 'the station box starts empty')
    check(monitor.wait_silence(3), 'the program starts silent')

    # An http station: its name at once, then its sound.
    program.expand('网络电台')
    check(program.station_text() == '', 'selecting a category changes nothing')
    program.select('绿城网络电台')
    check(wait_until(lambda: program.station_text() == '绿城网络电台', 5),
          'the station box shows 绿城网络电台')
    heard = monitor.wait_tone(440, 15)
    check(heard is not None, 'the http station is heard (rms %s)' % (heard,))
    log('heard rms %.0f at %.0f Hz' % heard)
    check([c['path'] for c in http_station.snapshot()] == ['/voice'],
          'the station was asked for /voice once')

    # The server drops the stream: it comes back by itself.
    http_station.drop()
    check(monitor.wait_silence(6), 'the drop is heard as silence')
    check(monitor.wait_tone(440, 10) is not None, 'the dropped stream comes back by itself')
    check(len(http_station.snapshot()) == 2, 'the player asked for the stream again')

    # An .asx station: the old stream's connection ends, the playlist's stream plays.
    program.select('WOXY英文音乐台')
    check(wait_until(lambda: program.station_text() == 'WOXY英文音乐台', 5),
          'the station box shows WOXY英文音乐台')
    check(wait_until(lambda: not any(c['open'] for c in http_station.snapshot()), 5),
          'the player closed the first station\'s connection')
    heard = monitor.wait_tone(880, 15)
    check(heard is not None, 'the stream the playlist names is heard')
    check([c['path'] for c in asx_station.snapshot()] == ['/stream/mpg128.asx'],
          'the playlist was fetched once')
    check([c['path'] for c in asx_stream.snapshot()] == ['/woxy?s=1&t=2'],
          'its stream was asked for with the address as written')

    # A category and an item without a row change nothing.
    before = connections(peers)
    program.expand('精彩电台')
    check(wait_until(lambda: program.item('芒果Radio网络电台') is not None, 5),
          'the tree shows 芒果Radio网络电台, an item without a row')
    program.select('芒果Radio网络电台')
    time.sleep(1.5)
    check(program.station_text() == 'WOXY英文音乐台', 'a category leaves the station box alone')
    check(monitor.wait_tone(880, 5) is not None, 'and the sound goes on')
    check(connections(peers) == before, 'and no server is asked for anything')

    # mms: tried as mmsh, then mmst; two rows, one server and path, two names.
    program.select('CRI Hit FM 88.7')
    check(wait_until(lambda: program.station_text() == 'CRI Hit FM 88.7', 5),
          'the station box shows CRI Hit FM 88.7')
    check(wait_until(lambda: len(cri.snapshot()) >= 2, 15), 'the CRI server was tried twice')
    first = cri.snapshot()
    check(first[0]['path'] == '/fm887', 'first as mmsh: GET /fm887')
    check(first[1]['path'] is None and first[1]['head'][4:8] == b'\xce\xfa\x0b\xb0',
          'then as mmst')
    program.select('中国之声')
    check(wait_until(lambda: program.station_text() == '中国之声', 5),
          'the station box shows 中国之声')
    check(wait_until(lambda: len(cnr.snapshot()) >= 2, 15), 'the CNR server was tried twice')
    seen = cnr.snapshot()
    check(seen[0]['path'] == '/cnr001' and seen[0]['head'].find(b'Pragma') >= 0,
          '中国之声 first as mmsh')
    check(seen[1]['path'] is None and seen[1]['head'][4:8] == b'\xce\xfa\x0b\xb0',
          '中国之声 then as mmst')
    check(monitor.wait_silence(5), 'a station that cannot be played is silence')

    program.expand('精彩电台')  # collapse again
    program.expand('中央广播电台')
    program.select('CRI Hit Fm')
    check(wait_until(lambda: program.station_text() == 'CRI Hit Fm', 5),
          'the station box shows CRI Hit Fm')
    check(wait_until(lambda: len(cri.snapshot()) >= 4, 15), 'the CRI server was tried again')
    check([c['path'] for c in cri.snapshot()][2] == '/fm887',
          'CRI Hit Fm asks the same server for the same path')


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'all end-to-end checks passed',
                        [('--dump', {'action': 'store_true',
                                     'help': 'print the widget tree and stop'})]))
