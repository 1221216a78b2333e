#!/usr/bin/env bash
# Fails when a C++ file of ours differs from what clang-format makes of it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^tests/fuzz/corpus/')
else
  mapfile -t files < <(find core ui skin media collection browser radio services app assets host tests bench tools \
    \( -name '*.cpp' -o -name '*.h' \) -not -path 'tests/fuzz/corpus/*' 2>/dev/null | sort)
fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --style=file "$f" | cmp -s - "$f"; then
    echo "not formatted: $f"
    bad=1
  fi
done
exit $bad
