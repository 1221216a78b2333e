#!/usr/bin/env bash
# A directory build of the real program, end to end, against a loopback station directory.
#   directory_e2e.sh <directory build of the program>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec bash "$here/../support/headless_desktop.sh" "$here/directory_e2e.py" "$@"
