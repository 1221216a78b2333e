#!/usr/bin/env bash
# Finding and keeping stations in the real program (a directory build), end to end.
#   collection_e2e.sh <directory build of the program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/collection_e2e.py" "$@"
