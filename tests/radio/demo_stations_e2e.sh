#!/usr/bin/env bash
# The real program with the demo stream service beside it, end to end: stations of every
# category and kind of address selected in the tree and heard on a null sink at their pitch.
#   demo_stations_e2e.sh <program> <sonaro-streams>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/demo_stations_e2e.py" "$1" --streams "$2"
