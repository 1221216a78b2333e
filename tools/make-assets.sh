#!/usr/bin/env bash
# Regenerates the pictures under assets/ (and assets/assets.qrc) with tools/artgen.
# The results are committed; run this after changing the generator and commit what changes.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(mktemp -d "${TMPDIR:-/tmp}/sonaro-artgen.XXXXXX")"
trap 'rm -rf "$build"' EXIT

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
cmake -S "$root/tools/artgen" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/sonaro-artgen" "$root/assets"
