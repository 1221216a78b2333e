#!/usr/bin/env bash
# The real program, end to end, on a desktop with a window manager (openbox) but no tray, against
# a service host that never answers: the GUI's responsiveness through the board's ticks and an
# update check, minimising to the taskbar, a second start, and 退出 with fetches still hanging.
#   desktop_e2e.sh <program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" --wm "$here/desktop_e2e.py" "$@"
