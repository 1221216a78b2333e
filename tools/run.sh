#!/usr/bin/env bash
# Installs what is missing, builds the player, its service host and the demo stream service,
# starts the host on loopback with its data folder and the demo streams the default build's
# stations point at, and runs the player. Both stop when the player ends.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
bash "$root/tools/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release -DSONARO_BUILD_TESTS=OFF \
  -DSONARO_BUILD_BENCH=OFF

data="${XDG_DATA_HOME:-$HOME/.local/share}/sonaro-host"
# A host already serving the port (an earlier run) is used as it is; this one then exits.
"$root/build/host/sonaro-host" --data "$data" &
host_pid=$!
# Addresses it cannot take (port 1022 without root, a port in use) are skipped with a line each.
"$root/build/host/streams/sonaro-streams" &
streams_pid=$!
trap 'kill "$host_pid" "$streams_pid" 2>/dev/null || true' EXIT
"$root/build/app/sonaro"
