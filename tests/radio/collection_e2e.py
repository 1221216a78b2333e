"""Finding and keeping stations, end to end, as a new user does it: search the station
directory (a loopback server answering in the directory's documented JSON), play a result
(heard, the play counted), keep it; restart the program and choose it under 我的电台 (heard);
add a station by its address (a PLS file), rename one, export 我的电台, remove a station,
import the export, and find it back.

Started by collection_e2e.sh inside headless_desktop.sh.
"""
import json
import os
import subprocess
import sys
import time

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (Failure, Monitor, Peer, check, choose_from_body_menu, log,  # noqa: E402
                     run_driver, tone_mp3, wait_until, walk, window_id, xdotool)
from directory_e2e import DIRECTORY_PORT, entry  # noqa: E402
from live_formats_e2e import Files  # noqa: E402

STREAM_PORT = 18711
FOUND = '星河之声'      # the directory's working entry, in simplified characters
BROKEN = '星河之聲測試'  # an entry the directory's own check found broken
ADDED = '我的流'         # added by its address
RENAMED = '夜航电台'
KEPT_FILE = os.path.join(os.environ.get('HOME', '/tmp'), '.local', 'share', 'sonaro',
                         'kept-stations.m3u')


def node(program, name, roles=None, timeout=30):
    """The program's showing widget called name (of one of roles, if given)."""
    def wanted(n):
        return (n.name == name and (roles is None or n.getRole() in roles) and
                n.getState().contains(pyatspi.STATE_SHOWING))
    try:
        return program._wait_for(wanted, timeout)
    except Failure:
        shown = sorted({(n.name, n.getRoleName()) for n in walk(program.app)
                        if n.name and n.getState().contains(pyatspi.STATE_SHOWING)})
        raise Failure('no widget %s is shown; shown: %s' % (name, shown))


def gone(program, name):
    return not any(n.name == name and n.getState().contains(pyatspi.STATE_SHOWING)
                   for n in walk(program.app))


def click(n, button=1, double=False):
    e = n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool('mousemove', e.x + min(e.width, 120) // 2, e.y + e.height // 2)
    time.sleep(0.15)
    if double:
        xdotool('click', '--repeat', '2', '--delay', '80', button)
    else:
        xdotool('click', button)


def text_of(n):
    t = n.queryText()
    return t.getText(0, t.characterCount)


def fill(program, box, text):
    n = node(program, box, (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY))
    n.queryEditableText().setTextContents(text)
    check(wait_until(lambda: text_of(n) == text, 5), '%s holds %r' % (box, text))


def says(program, label, wanted, timeout):
    """Waits until the label's text holds wanted; the last text seen."""
    n = node(program, label)
    seen = []

    def holds():
        # A box's text, or what a label's description says.
        text = text_of(n) if 'Text' in n.get_interfaces() else ''
        seen[:] = [text + ' ' + (n.description or '')]
        return wanted in seen[0]
    check(wait_until(holds, timeout), '%s says %s (saw %r)' % (label, wanted, seen))


def file_dialog(program, title, path, closes=True):
    """Writes path into the name box of the file dialog titled title and accepts it (without a
    window manager the dialog gets no keyboard focus: the box is set and the button clicked)."""
    dialog = node(program, title)

    def inside(predicate):
        return program._wait_for(lambda n: predicate(n) and any(
            a == dialog for a in ancestors(n)), 10)
    box = inside(lambda n: n.getRole() == pyatspi.ROLE_TEXT and (n.name or '').startswith(
        'File name') and n.getState().contains(pyatspi.STATE_SHOWING))
    box.queryEditableText().setTextContents(path)
    # A file of the folder the dialog shows is named by its name alone.
    check(wait_until(lambda: text_of(box) in (path, os.path.basename(path)), 5),
          'the %s dialog names %s (holds %r)' % (title, path, text_of(box)))
    click(inside(lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name in ('Save', 'Open')))
    if closes:
        check(wait_until(lambda: gone(program, title), 10), 'the %s dialog closes' % title)


def ancestors(n):
    n = n.parent
    while n is not None:
        yield n
        n = n.parent


def kept_text():
    try:
        with open(KEPT_FILE, encoding='utf-8') as f:
            return f.read()
    except OSError:
        return ''


def tree_menu(program, station, item):
    """Chooses item from the right-click menu of a station in the tree (删除, 重命名), with the
    keyboard as choose_from_body_menu does."""
    x, y = program._bring_into_view(station)
    xdotool('mousemove', x, y)
    time.sleep(0.15)
    xdotool('click', '3')
    time.sleep(0.5)
    for _ in range(['删除', '重命名'].index(item) + 1):
        xdotool('key', 'Down')
    xdotool('key', 'Return')


def screenshot(window, name):
    """Writes the window (an X id, or the title of a shown one) to $SONARO_SCREENSHOT_DIR."""
    folder = os.environ.get('SONARO_SCREENSHOT_DIR')
    if not folder:
        return
    os.makedirs(folder, exist_ok=True)
    if not str(window).isdigit():
        window = xdotool('search', '--onlyvisible', '--name', window).split()[0]
    subprocess.run(['import', '-window', str(window), os.path.join(folder, name)], check=True)


def drive(args, start):
    work = args.work
    stream = 'http://127.0.0.1:%d/xinghe' % STREAM_PORT
    own = 'http://127.0.0.1:%d/mine' % STREAM_PORT
    peer = Peer(STREAM_PORT)
    peer.serve('/xinghe', tone_mp3(550, work), endless=True)
    peer.serve('/mine', tone_mp3(880, work), endless=True)
    peer.serve('/mine.pls', ('[playlist]\nFile1=%s\nTitle1=mine\nNumberOfEntries=1\n'
                             'Version=2\n' % own).encode(), 'audio/x-scpls')
    answers = os.path.join(work, 'answers')
    os.makedirs(answers)
    with open(os.path.join(answers, 'search.json'), 'w') as f:
        json.dump([entry('broken-1', BROKEN, 'http://127.0.0.1:18712/gone', 'TW', 0, 900),
                   entry('xinghe-1', FOUND, stream, 'CN', 1, 40)], f, ensure_ascii=False)
    with open(os.path.join(answers, 'click.json'), 'w') as f:
        json.dump({'ok': True, 'message': 'retrieved station url', 'stationuuid': 'xinghe-1',
                   'name': FOUND, 'url': stream}, f, ensure_ascii=False)
    directory = Files(DIRECTORY_PORT, {
        '/json/stations/search': ('file', os.path.join(answers, 'search.json'),
                                  'application/json'),
        '/json/stations/bytag': ('file', os.path.join(answers, 'search.json'),
                                 'application/json'),
        '/json/url/xinghe-1': ('file', os.path.join(answers, 'click.json'),
                               'application/json')})
    monitor = Monitor()
    try:
        # Search, play a result, keep it.
        program = start()
        choose_from_body_menu(program, '搜索电台…')
        node(program, '搜索电台')
        fill(program, '搜索电台名称', '星河之聲')
        click(node(program, '搜索'))
        says(program, '搜索状态', '找到', 30)
        check(any('/json/stations/search' in h.split(' ')[1] for h in directory.heads),
              'the directory was searched')
        result = node(program, FOUND, (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_LIST_ITEM), 10)
        screenshot('搜索电台', 'search-results.png')
        click(result, double=True)
        check(monitor.wait_tone(550, 20) is not None, 'a result double-clicked is heard')
        check(wait_until(lambda: program.station_text() == FOUND, 5),
              'the station box names it (saw %r)' % program.station_text())
        check(wait_until(lambda: '/json/url/xinghe-1' in directory.requests, 10),
              'the play was counted at the directory')
        click(result)
        click(node(program, '收藏'))
        says(program, '搜索状态', '已收藏', 10)
        check(stream in kept_text(), 'the kept list file holds its address')
        program.close_checked()

        # Restart: it is under 我的电台, and plays from there.
        program = start()
        program.expand('我的电台')
        check(wait_until(lambda: program.item(FOUND) is not None, 10),
              '我的电台 lists the kept station after a restart')
        program.select(FOUND)
        check(monitor.wait_tone(550, 20) is not None, 'chosen under 我的电台, it is heard')

        # A station of one's own, by the address of its PLS file: tried, heard, kept.
        choose_from_body_menu(program, '添加电台…')
        fill(program, '电台名称', ADDED)
        fill(program, '电台地址', 'http://127.0.0.1:%d/mine.pls' % STREAM_PORT)
        click(node(program, '确定'))
        check(monitor.wait_tone(880, 20) is not None, 'the added address is tried and heard')
        says(program, '添加状态', '已添加', 20)
        check(wait_until(lambda: program.item(ADDED) is not None, 10), '我的电台 lists it')
        screenshot('添加电台', 'add-station.png')
        screenshot(window_id(program.proc.pid, 'panel'), 'my-stations.png')
        click(node(program, '取消'))
        check(wait_until(lambda: gone(program, '添加状态'), 10), '取消 puts the window away')

        tree_menu(program, FOUND, '重命名')
        fill(program, '电台名称', RENAMED)
        click(node(program, '确定'))
        check(wait_until(lambda: program.item(RENAMED) is not None and
                         program.item(FOUND) is None, 10), 'renamed in the tree')

        exported = os.path.join(work, 'exported.m3u')
        choose_from_body_menu(program, '导出电台…')
        file_dialog(program, '导出电台', exported)
        check(wait_until(lambda: os.path.exists(exported), 10), 'the export is written')
        with open(exported, encoding='utf-8') as f:
            text = f.read()
        check(text.startswith('#EXTM3U') and RENAMED in text and stream in text and
              ADDED in text, 'the export lists both stations by name (%r)' % text)

        tree_menu(program, RENAMED, '删除')
        check(wait_until(lambda: program.item(RENAMED) is None, 10), 'removed from the tree')
        check(wait_until(lambda: stream not in kept_text(), 5), 'and from the kept list file')

        choose_from_body_menu(program, '导入电台…')
        file_dialog(program, '导入电台', exported, closes=False)
        # The import's message: one added, the other kept already.
        message = program._wait_for(lambda n: '已添加 1 个' in (n.name or ''), 20)
        log('import says:', message.name)
        check('1 个已经有了' in message.name, 'the station kept already is counted as such')
        xdotool('key', 'Return')
        check(wait_until(lambda: program.item(RENAMED) is not None, 10),
              'imported back under its name')
        check(stream in kept_text(), 'and kept again')
        order = [line for line in kept_text().splitlines() if line.startswith('http')]
        check(order == ['http://127.0.0.1:%d/mine.pls' % STREAM_PORT, stream] or
              order == [own, stream], 'kept in the order kept (%r)' % order)
        program.close_checked()
    finally:
        monitor.close()
        directory.shutdown()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'stations found, played, kept, added, exported and imported'))
