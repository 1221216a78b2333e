#!/usr/bin/env bash
# The real program, end to end, with a real XEmbed tray host (trayer) and a compositing manager
# (xcompmgr): the docked windows, per-pixel alpha, the tray icon, minimise and restore, the tray
# host's restart, and the two ways out.
#   tray_e2e.sh <program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/tray_e2e.py" "$@"
