#!/usr/bin/env bash
# The real program, end to end: stations selected in the tree, their names read back over
# accessibility, their sound heard on a null sink, servers on 127.0.0.1 standing in for the
# stations whose hosts radio/station-hosts.txt points at this machine.
#   stations_e2e.sh <program> [--dump]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/stations_e2e.py" "$@"
