"""A directory build, end to end: the built-in list's stations found in the public station
directory. The directory here is a loopback server that answers in the directory's documented
JSON (the real one cannot be reached from a test machine); the station it names is a live HLS
station made by ffmpeg.

1. 中国之声: looked up (a broken entry, one of another region, and a working one in
   traditional characters), heard, the play counted at /json/url/<uuid>, the address kept in
   the cache;
   and 青檬音乐台, off the air: 状态 says 电台已停播 and nothing is asked of the directory;
2. the program again with the directory gone: 中国之声 heard from the cache at once, and
   美国之音中文广播 (no cache, no directory): 状态 says 无法连接电台目录.
Click-to-sound figures are printed for the cold and the warm cache.

Started by directory_e2e.sh inside headless_desktop.sh.
"""
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Monitor, check, log, run_driver, wait_until  # noqa: E402
from live_formats_e2e import Files, live_hls, media_sequence  # noqa: E402

DIRECTORY_PORT = 18700  # the directory build of the tests asks http://127.0.0.1:18700
HLS_PORT = 18701
CATEGORY = '精彩电台'


def entry(uuid, name, url, country, check_ok, votes):
    return {'changeuuid': 'c-' + uuid, 'stationuuid': uuid, 'name': name, 'url': url,
            'url_resolved': url, 'homepage': '', 'favicon': '', 'tags': 'news',
            'country': '', 'countrycode': country, 'state': '', 'language': 'chinese',
            'languagecodes': 'zh', 'votes': votes, 'codec': 'AAC', 'bitrate': 64, 'hls': 1,
            'lastcheckok': check_ok, 'clickcount': 12, 'clicktrend': 0}


def drive(args, start):
    work = args.work
    hls, folder = live_hls(work, 660)
    station = 'http://127.0.0.1:%d/cnr1/live.m3u8' % HLS_PORT
    answers = os.path.join(work, 'answers')
    os.makedirs(answers)
    with open(os.path.join(answers, 'search.json'), 'w') as f:
        json.dump([entry('dead-1', '中国之声', 'http://127.0.0.1:18702/gone', 'CN', 0, 900),
                   entry('cnr-1', '中國之聲', station, 'CN', 1, 40),
                   entry('other', '中国之声', 'http://127.0.0.1:18703/x', 'TW', 1, 300)], f,
                  ensure_ascii=False)
    with open(os.path.join(answers, 'click.json'), 'w') as f:
        json.dump({'ok': True, 'message': 'retrieved station url', 'stationuuid': 'cnr-1',
                   'name': '中國之聲', 'url': station}, f)
    directory = Files(DIRECTORY_PORT, {
        '/json/stations/search': ('file', os.path.join(answers, 'search.json'),
                                  'application/json'),
        '/json/url/cnr-1': ('file', os.path.join(answers, 'click.json'), 'application/json')})
    hls_server = Files(HLS_PORT, {'/cnr1/live.m3u8': ('file', os.path.join(folder, 'live.m3u8'),
                                                      'application/vnd.apple.mpegurl'),
                                  '/*': ('folder', folder)})
    check(wait_until(lambda: media_sequence(folder) >= 1, 30), 'the HLS station broadcasts')
    cache = os.path.join(os.environ['HOME'], '.cache', 'sonaro', 'station-addresses')
    monitor = Monitor()
    try:
        program = start()
        status = program.status_text
        program.expand(CATEGORY)
        began = time.monotonic()
        program.select('中国之声')
        check(monitor.wait_tone(660, 20) is not None, '中国之声 is heard from the directory\'s address')
        cold = time.monotonic() - began
        check(any(p == '/json/stations/search' for p in directory.requests),
              'the directory was searched')
        heads = directory.heads
        check(all('User-Agent: Sonaro/2.0' in h for h in heads), 'every request names Sonaro')
        check(wait_until(lambda: '/json/url/cnr-1' in directory.requests, 10),
              'the play was counted at /json/url/<stationuuid> of the chosen entry')
        check(wait_until(lambda: os.path.exists(cache), 5), 'the address was kept in the cache')
        with open(cache) as f:
            check(station in f.read(), 'the cache holds the working entry\'s address')
        asked = len(directory.requests)
        program.select('青檬音乐台')
        check(wait_until(lambda: status() == '电台已停播', 5),
              'a station off the air: 状态 says 电台已停播 (saw %r)' % status())
        check(monitor.wait_silence(5), 'and the station before it stops')
        time.sleep(1)
        check(len(directory.requests) == asked, 'nothing is asked of the directory for it')
        program.close_checked()

        directory.shutdown()
        directory.server_close()
        program = start()
        status = program.status_text
        program.expand(CATEGORY)
        began = time.monotonic()
        program.select('中国之声')
        check(monitor.wait_tone(660, 20) is not None, 'heard again from the cache, no directory')
        warm = time.monotonic() - began

        program.select('美国之音中文广播')
        check(wait_until(lambda: status() == '无法连接电台目录', 30),
              'no cache, no directory: 状态 says 无法连接电台目录 (saw %r)' % status())
        check(monitor.wait_silence(5), 'and silence')
        program.close_checked()
        log('click to first sound: cold cache %.2f s, warm cache %.2f s' % (cold, warm))
    finally:
        monitor.close()
        hls.kill()
        hls.wait()
        hls_server.shutdown()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'the directory build plays, counts, caches and says what fails'))
