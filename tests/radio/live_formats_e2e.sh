#!/usr/bin/env bash
# The real program, end to end, with stations that broadcast as today's do: live HLS made by
# ffmpeg, a real Icecast server, PLS over https from a test authority, M3U, a dead station.
#   live_formats_e2e.sh <program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/live_formats_e2e.py" "$@"
