#!/usr/bin/env bash
# The real program, end to end, with playerctl as the desktop's media controls over MPRIS 2: its
# status, the stream's title and the station's name, stop and play again.
#   mpris_e2e.sh <program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/mpris_e2e.py" "$@"
