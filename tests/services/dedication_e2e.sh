#!/usr/bin/env bash
# The real program's dedication service, end to end, in a private headless desktop:
#   dedication_e2e.sh <program> [--host <sonaro-host>]
# Without --host the test serves fixture pages as the service host; with it, the real host.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/dedication_e2e.py" "$@"
