#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   tools/build.sh <build-dir> [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$root" -B "$dir" "${generator[@]}" "$@"
# Two cores: one build at a time, two jobs.
cmake --build "$dir" -j2
