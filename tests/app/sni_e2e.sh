#!/usr/bin/env bash
# The real program, end to end, with a StatusNotifierItem tray host and a notification server on
# the session bus (the D-Bus tray of KDE Plasma, GNOME's AppIndicator extension and XFCE): the
# icon's registration and tip, its exported menu, the minimise notification, restore by
# Activate and 退出 from the menu.
#   sni_e2e.sh <program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" --wm "$here/sni_e2e.py" "$@"
