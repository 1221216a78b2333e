#!/usr/bin/env bash
# The real program with a hostile advert page: it reaches no media player and makes no sound.
#   advert_e2e.sh <program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/advert_e2e.py" "$@"
