"""Waits for a process's first painted top-level window and prints its id.

Reads the screen straight from the X server (python3-xlib), so one round costs a few
milliseconds whatever the program: a window counts as painted when it is viewable, at least
100 x 100, carries the process's _NET_WM_PID, and its pixels on screen are not all one colour.
  first_paint.py <pid> [timeout seconds]
"""
import sys
import time

from Xlib import X, display
from Xlib.error import XError


def top_levels(screen_root):
    """Viewable windows that are children of the root, and their client windows one level
    down (a reparenting window manager or a tray host puts frames in between)."""
    for window in screen_root.query_tree().children:
        yield window
        try:
            yield from window.query_tree().children
        except XError:
            pass


def windows_of(disp, pid):
    pid_atom = disp.intern_atom('_NET_WM_PID')
    root = disp.screen().root
    for window in top_levels(root):
        try:
            value = window.get_full_property(pid_atom, X.AnyPropertyType)
            if not value or value.value[0] != pid:
                continue
            if window.get_attributes().map_state != X.IsViewable:
                continue
            g = window.get_geometry()
            if g.width < 100 or g.height < 100:
                continue
            at = window.translate_coords(root, 0, 0)
            yield window, -at.x, -at.y, g.width, g.height
        except XError:
            continue  # gone meanwhile


def painted(disp, x, y, w, h):
    screen = disp.screen()
    x0, y0 = max(x, 0), max(y, 0)
    x1, y1 = min(x + w, screen.width_in_pixels), min(y + h, screen.height_in_pixels)
    if x1 <= x0 or y1 <= y0:
        return False
    data = screen.root.get_image(x0, y0, x1 - x0, y1 - y0, X.ZPixmap, 0xffffffff).data
    first = data[0:4]
    # Every 7th pixel: enough to tell a picture from a single colour.
    return any(data[i:i + 3] != first[:3] for i in range(0, len(data) - 3, 28))


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + float(sys.argv[2] if len(sys.argv) > 2 else 60)
    disp = display.Display()
    while time.monotonic() < deadline:
        for window, x, y, w, h in list(windows_of(disp, pid)):
            try:
                if painted(disp, x, y, w, h):
                    print(window.id)
                    return 0
            except XError:
                pass
        time.sleep(0.005)
    return 1


if __name__ == '__main__':
    sys.exit(main())
