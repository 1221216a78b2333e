#!/usr/bin/env bash
# Station start-up time and memory of the real program against Goodvibes and mpv, in one run.
#   bench/player_bench.sh <program> [--rounds N] [--smoke]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../tests/support/headless_desktop.sh" "$here/player_bench.py" "$@"
