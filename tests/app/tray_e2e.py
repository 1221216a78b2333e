"""Drives the real program with a real tray host and a compositing manager and checks the Main
window, its docked windows and the tray icon end to end.

Started by tray_e2e.sh inside headless_desktop.sh (virtual X server, accessibility bus, sound
server). This driver adds a plain coloured root, xcompmgr (so per-pixel alpha shows) and
trayer, an XEmbed tray host; with no StatusNotifierWatcher on the bus Qt docks its icon there.
Windows are found by the program's pid and told apart by size; positions are read from X.
"""
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
import pyatspi  # noqa: E402
from desktop import (BODY, CLOSE_BUTTON, MINIMISE, Failure, check, click_at,  # noqa: E402
                     click_in_main, log, run, run_driver, shown, wait_until, windows_of, xdotool)

ROOT_COLOUR = (0x3a, 0x6e, 0xa5)

# Button centres in the Main window, from the catalogue.
STATIONS = (279 + 45, 211 + 20)  # diantaidaohang
REQUEST = (269 + 45, 235 + 20)   # diange
BOARD_LIST = (18 + 171, 83 + 64)  # the board's list, in the board


def pixel(image, x, y):
    out = run('convert', image, '-crop', '1x1+%d+%d' % (x, y), '-depth', '8', 'txt:-')
    m = re.search(r'\((\d+),(\d+),(\d+)', out.splitlines()[-1])
    return tuple(int(v) for v in m.groups())


class TrayHost:
    """trayer at the top right of the screen; restartable."""

    def __init__(self):
        self.proc = None
        self.start()

    def start(self):
        self.proc = subprocess.Popen(
            ['trayer', '--edge', 'top', '--align', 'right', '--widthtype', 'request',
             '--height', '24', '--SetDockType', 'true', '--transparent', 'false'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        check(wait_until(lambda: self.windows(), 10), 'trayer maps its tray window')

    def stop(self):
        self.proc.kill()
        self.proc.wait()

    def windows(self):
        try:
            return xdotool('search', '--pid', self.proc.pid).split()
        except subprocess.CalledProcessError:
            return []

    def icon(self, pid):
        """(x, y, width, height) of the icon window of process pid docked in the tray, or None."""
        for top in self.windows():
            for line in run('xwininfo', '-tree', '-id', top).splitlines():
                m = re.match(r'\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)',
                             line)
                if not m:
                    continue
                owner = run('xprop', '-id', m.group(1), '_NET_WM_PID')
                if re.search(r'= %d$' % pid, owner.strip()):
                    w, h, x, y = (int(v) for v in m.group(2, 3, 4, 5))
                    return (x, y, w, h)
        return None


def accessible_texts(app, roles):
    """Names of the nodes of these roles under the program's top-level windows."""
    names = []

    def visit(node, depth):
        try:
            if node.getRole() in roles and node.name:
                names.append(node.name)
            if depth < 3:
                for i in range(node.childCount):
                    child = node.getChildAtIndex(i)
                    if child is not None:
                        visit(child, depth + 1)
        except Exception:  # nodes may go away while we look
            pass

    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None:
            visit(window, 0)
    return names


def tip_shown(program, tray):
    """Hovers the icon and waits for its tooltip; the tooltip's text or None."""
    x, y, w, h = tray.icon(program.proc.pid)
    xdotool('mousemove', x + w // 2 - 3, y + h // 2 - 3)
    time.sleep(0.1)
    xdotool('mousemove', x + w // 2, y + h // 2)
    texts = []
    wait_until(lambda: texts.extend(accessible_texts(program.app, (pyatspi.ROLE_TOOL_TIP,)))
               or texts, 6, step=0.3)
    xdotool('mousemove', 640, 900)  # away, so the tip goes
    return texts[0] if texts else None


def drag_main(program, dx, dy):
    mx, my = shown(program.proc.pid)['main']
    x, y = mx + BODY[0], my + BODY[1]
    xdotool('mousemove', x, y)
    time.sleep(0.15)
    xdotool('mousedown', 1)
    for step in range(1, 6):
        xdotool('mousemove', x + dx * step // 5, y + dy * step // 5)
        time.sleep(0.05)
    xdotool('mouseup', 1)
    check(wait_until(lambda: shown(program.proc.pid).get('main') == (mx + dx, my + dy), 5),
          'the Main window was dragged to (%d, %d)' % (mx + dx, my + dy))
    return mx + dx, my + dy


def docked(program, names):
    """Whether the named windows sit where the Main window's docking puts them."""
    seen = shown(program.proc.pid)
    mx, my = seen['main']
    # The details dock on the left, or on the right where more than half would be off screen.
    details_left = mx - 450 + 9 if mx - 450 + 9 >= -225 else mx + 400 - 9
    places = {
        'panel': (mx + 400 - 11, my + 10),
        'board': (mx + 10, my + 300 - 11),
        'details': (details_left, my + 10),
        'animation': (mx + 18, my + 175),
    }
    return all(seen.get(name) == places[name] for name in names)


def first_run(program, tray, work):
    pid = program.proc.pid
    # Start-up: the Main window with the panel docked at its right edge, the board hidden,
    # the animation over the window, and the icon in the tray with its tip.
    check(wait_until(lambda: {'main', 'panel', 'animation'} <= shown(pid).keys(), 20),
          'the Main window, the Station panel and the animation are shown')
    seen = shown(pid)
    mx, my = seen['main']
    log('windows', seen)
    check(seen['panel'] == (mx + 389, my + 10), 'the panel is docked at (M.left + 389, '
          'M.top + 10)')
    check(seen['animation'] == (mx + 18, my + 175), 'the animation is at (M.left + 18, '
          'M.top + 175)')
    board = windows_of(pid).get('board')
    check(board is not None and not board[2] and board[:2] == (mx, my + 289),
          'the board exists hidden, flush under the Main window as created')
    check(wait_until(lambda: tray.icon(pid) is not None, 10), 'the icon is docked in the tray')
    check(tip_shown(program, tray) == '收音机', 'the icon\'s tip is 收音机')

    # Per-pixel alpha: the transparent margin shows the root, the panel inside does not.
    shot = os.path.join(work, 'start.png')
    time.sleep(0.5)
    run('import', '-window', 'root', shot)
    root = pixel(shot, 1270, 1010)
    check(root == ROOT_COLOUR, 'the root shows its colour %s (got %s)' % (ROOT_COLOUR, root))
    check(pixel(shot, mx + 1, my + 1) == root, 'the Main window\'s corner lets the root show')
    check(pixel(shot, mx + 200, my + 30) != root, 'the Main window\'s face covers the root')

    # The board and the details join the set.
    click_in_main(program, REQUEST)
    check(wait_until(lambda: 'board' in shown(pid), 5), 'diange shows the board')
    bx, by = shown(pid)['board']
    click_at(bx + BOARD_LIST[0], by + BOARD_LIST[1])
    check(wait_until(lambda: 'details' in shown(pid), 10), 'a click in the list shows the '
          'details')
    check(docked(program, ['details']), 'the details sit at (M.left + 391, M.top + 10): on the '
          'left they would be mostly off screen')
    check(shown(pid)['details'] == (mx + 391, my + 10), 'the details moved to the right')

    # Dragging the Main window drags the panel, the board and the details along.
    drag_main(program, 430, 20)
    check(wait_until(lambda: docked(program, ['panel', 'board', 'details', 'animation']), 5),
          'the panel, the board, the details and the animation followed: %s' % shown(pid))
    if os.environ.get('SONARO_SCREENSHOT_DIR'):
        time.sleep(0.5)
        mx, my = shown(pid)['main']
        os.makedirs(os.environ['SONARO_SCREENSHOT_DIR'], exist_ok=True)
        run('import', '-window', 'root', '-crop', '1100x570+%d+%d' % (mx - 451, my - 10),
            '+repage', os.path.join(os.environ['SONARO_SCREENSHOT_DIR'], 'docked-set.png'))

    # A hidden panel moves too and comes back docked at the new place.
    click_in_main(program, STATIONS)
    check(wait_until(lambda: 'panel' not in shown(pid), 5), 'diantaidaohang hides the panel')
    drag_main(program, -300, 40)
    check('panel' not in shown(pid), 'the hidden panel stays hidden through the drag')
    click_in_main(program, STATIONS)
    check(wait_until(lambda: 'panel' in shown(pid) and docked(program, ['panel']), 5),
          'the panel reappears docked at the new place')

    # Minimise: the four windows and the animation go, the balloon tells how to come back.
    where = shown(pid)['main']
    click_in_main(program, MINIMISE)
    check(wait_until(lambda: not shown(pid).keys() & {'main', 'panel', 'board', 'details',
                                                      'animation'}, 5),
          'zuixiao hides the Main window, the panel, the board, the details and the animation')
    texts = []
    check(wait_until(lambda: texts.extend(accessible_texts(
        program.app, (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC))) or
        {'窗口最小化', '左键单击恢复窗口'} <= set(texts), 5, step=0.3),
        'the balloon 窗口最小化 / 左键单击恢复窗口 is shown')
    check(tray.icon(pid) is not None, 'the icon stays in the tray')

    # A left click on the icon brings back the Main window alone, with its animation.
    x, y, w, h = tray.icon(pid)
    click_at(x + w // 2, y + h // 2)
    check(wait_until(lambda: 'main' in shown(pid) and 'animation' in shown(pid), 5),
          'a left click on the icon shows the Main window and its animation')
    time.sleep(0.5)
    seen = shown(pid)
    check(seen['main'] == where and docked(program, ['animation']),
          'in its place, with the animation at its place')
    check(not seen.keys() & {'panel', 'board', 'details'},
          'the panel, the board and the details stay hidden')

    # The tray host goes away and comes back: so does the icon, with its tip.
    tray.stop()
    time.sleep(1)
    tray.start()
    check(wait_until(lambda: tray.icon(pid) is not None, 15),
          'the icon is docked again in the restarted tray')
    check(tip_shown(program, tray) == '收音机', 'with its tip 收音机')

    # 退出, the last item of the icon's menu, ends the program.
    x, y, w, h = tray.icon(pid)
    click_at(x + w // 2, y + h // 2, button=3)
    time.sleep(0.5)
    xdotool('key', 'Up')
    time.sleep(0.2)
    xdotool('key', 'Return')
    code = program.proc.wait(timeout=30)
    check(code == 0, '退出 in the icon\'s menu ends the program with exit code 0 (got %s)'
          % code)
    check(tray.icon(pid) is None, 'and leaves no icon in the tray')


def second_run(program, tray):
    pid = program.proc.pid
    check(wait_until(lambda: tray.icon(pid) is not None, 20), 'the icon is docked again')
    check(wait_until(lambda: 'main' in shown(pid), 10), 'the Main window is shown')
    click_in_main(program, CLOSE_BUTTON)
    code = program.proc.wait(timeout=30)
    check(code == 0, '关闭按钮 ends the program with exit code 0 (got %s)' % code)
    check(tray.icon(pid) is None, 'and leaves no icon in the tray')


def drive(args, start):
    for tool in ('trayer', 'xcompmgr', 'hsetroot', 'convert', 'import'):
        if not shutil.which(tool):
            raise Failure('%s is missing (tools/install-deps.sh installs it)' % tool)

    # A root pixmap of one colour: xcompmgr paints the root from _XROOTPMAP_ID.
    run('hsetroot', '-solid', '#%02x%02x%02x' % ROOT_COLOUR)
    compositor = subprocess.Popen(['xcompmgr'], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    tray = None
    try:
        tray = TrayHost()
        first_run(start(), tray, args.work)
        second_run(start(), tray)
    finally:
        if tray:
            tray.stop()
        compositor.kill()


if __name__ == '__main__':
    sys.exit(run_driver(drive, 'all end-to-end checks passed'))
