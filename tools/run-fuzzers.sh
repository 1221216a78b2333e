#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in their own
# build folder and runs each for the given number of seconds, starting from the committed seed
# corpus in tests/fuzz/corpus/<target>/. New inputs go to <build>/corpus/<target>/, crash inputs
# to <build>/artifacts/. Exits non-zero when any target finds a crash, leak or time-out.
#   tools/run-fuzzers.sh <seconds> [build folder, default build-fuzz]
set -euo pipefail
seconds="${1:?usage: tools/run-fuzzers.sh <seconds> [build folder]}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build-fuzz}"

# The fuzz folder is a project of its own, so this works whatever state the rest of the tree is in.
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  CC=clang CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j2

status=0
for target in fuzz_text fuzz_xmldoc fuzz_playlist fuzz_icy fuzz_template_cipher fuzz_station_list \
    fuzz_form; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts"
  echo "== $target for ${seconds}s"
  if ! ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
      "$build/$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$work" "$root/tests/fuzz/corpus/$target"; then
    echo "$target FAILED: the input is in $artifacts" >&2
    status=1
  fi
done
exit "$status"
