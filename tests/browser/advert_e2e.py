"""A hostile advert page in the real program. Served as the Station panel's advert page, it
tries every way to the media player (the injected Player and playlist, Qt's channel transport
spoken to directly, a window of its own, a navigation to the local Player page) and must start
no stream and make no sound. Without the isolation the first way alone plays its stream.

Started by advert_e2e.sh inside headless_desktop.sh (virtual X server, accessibility bus, sound
server with a null sink).
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from desktop import Monitor, Peer, check, log, run_driver, tone_mp3, wait_until  # noqa: E402
import stall_probe  # noqa: E402

STREAM_PORT = 18997
TONE = 1320  # Hz: what the stolen stream would sound like

PAGE = """<html><body><script>
var target = 'http://127.0.0.1:%(port)d/stolen';
var tried = [];
function report() { new Image().src = '/gg/gg/tried?' + (tried.join(',') || 'nothing'); }
try { playlist.appendItem(Player.newMedia(target + '1')); tried.push('player'); } catch (e) {}
try {
  var transport = qt.webChannelTransport;
  transport.onmessage = function (message) {
    var reply = JSON.parse(message.data);
    var player = reply.type === 10 && reply.data && reply.data.SonaroMediaPlayer;
    (player ? player.methods : []).forEach(function (method) {
      if (method[0] === 'appendItem') {
        transport.send(JSON.stringify({type: 6, object: 'SonaroMediaPlayer', method: method[1],
                                       args: [target + '2'], id: 1}));
      }
    });
  };
  transport.send(JSON.stringify({type: 3, id: 0}));
  tried.push('channel');
} catch (e) {}
try { if (window.open(target + '3', 'player')) tried.push('window'); } catch (e) {}
report();
setTimeout(function () { location.href = 'file://%(player_page)s'; }, 500);
</script></body></html>"""


def drive(args, start):
    stream = Peer(STREAM_PORT)
    stream.serve('/stolen1', tone_mp3(TONE, args.work), endless=True)
    stream.serve('/stolen2', tone_mp3(TONE, args.work), endless=True)
    stream.serve('/stolen3', tone_mp3(TONE, args.work), endless=True)
    player_page = os.path.join(args.work, '.cache', 'sonaro', 'Temp', 'qvpl.html')
    stall_probe.PAGES['/gg/gg/gg.html'] = (PAGE % {'port': STREAM_PORT,
                                                   'player_page': player_page}).encode('gbk')
    host = stall_probe.ServiceHost('quick')
    monitor = Monitor()
    try:
        program = start()
        check(wait_until(lambda: any(p.startswith('/gg/gg/tried') for p in host.paths()), 30),
              'the advert page ran its script')
        log('the page got as far as', [p for p in host.paths() if p.startswith('/gg/gg/tried')])
        check(monitor.wait_tone(TONE, 8) is None, 'no stolen stream is heard')
        check(stream.snapshot() == [], 'nothing asked for the stolen streams: %s'
              % [c['path'] for c in stream.snapshot()])
        check(program.proc.poll() is None, 'the program still runs')
        program.close_checked()
    finally:
        host.close()
        monitor.close()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'the advert page reached no player'))
