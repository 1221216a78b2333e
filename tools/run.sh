#!/usr/bin/env bash
# Installs what is missing, builds the player and runs it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/install-deps.sh"
bash "$root/tools/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=Release -DSONARO_BUILD_TESTS=OFF \
  -DSONARO_BUILD_BENCH=OFF
exec "$root/build/app/sonaro"
