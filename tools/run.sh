#!/usr/bin/env bash
# Installs what is missing, builds the player and its service host, starts the host on
# loopback with its data folder and runs the player. The host stops when the player ends.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
bash "$root/tools/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release -DSONARO_BUILD_TESTS=OFF \
  -DSONARO_BUILD_BENCH=OFF

data="${XDG_DATA_HOME:-$HOME/.local/share}/sonaro-host"
# A host already serving the port (an earlier run) is used as it is; this one then exits.
"$root/build/host/sonaro-host" --data "$data" &
host_pid=$!
trap 'kill "$host_pid" 2>/dev/null || true' EXIT
"$root/build/app/sonaro"
