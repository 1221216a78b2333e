"""Waits for a process's first painted top-level window and prints its id.

One screenshot of the whole screen per round, whatever the number of windows, so programs
with several windows are not polled more slowly than programs with one. A window counts as
painted when it is mapped, at least 100 x 100, and its pixels on screen are not all one colour.
  first_paint.py <pid> [timeout seconds]
"""
import os
import subprocess
import sys
import time


def windows(pid):
    found = subprocess.run(['xdotool', 'search', '--onlyvisible', '--pid', str(pid)],
                           capture_output=True, text=True).stdout.split()
    for window in found:
        shell = subprocess.run(['xdotool', 'getwindowgeometry', '--shell', window],
                               capture_output=True, text=True).stdout
        g = dict(line.split('=', 1) for line in shell.split() if '=' in line)
        if g and int(g['WIDTH']) >= 100 and int(g['HEIGHT']) >= 100:
            yield window, int(g['X']), int(g['Y']), int(g['WIDTH']), int(g['HEIGHT'])


def screen():
    ppm = subprocess.run(['import', '-window', 'root', 'ppm:-'], capture_output=True).stdout
    # P6 <width> <height> <max> then RGB bytes.
    parts = ppm.split(maxsplit=4)
    return int(parts[1]), int(parts[2]), parts[4]


def varied(shot, x, y, w, h):
    width, height, pixels = shot
    first = None
    for row in range(max(y, 0), min(y + h, height), 4):
        start = (row * width + max(x, 0)) * 3
        line = pixels[start:start + (min(x + w, width) - max(x, 0)) * 3]
        for i in range(0, len(line) - 2, 12):
            colour = line[i:i + 3]
            if first is None:
                first = colour
            elif colour != first:
                return True
    return False


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + float(sys.argv[2] if len(sys.argv) > 2 else 60)
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except OSError:
            return 1
        found = list(windows(pid))
        if found:
            shot = screen()
            for window, x, y, w, h in found:
                if varied(shot, x, y, w, h):
                    print(window)
                    return 0
    return 1


if __name__ == '__main__':
    sys.exit(main())
