#!/usr/bin/env bash
# Installs what is missing, builds every flavour and runs every test:
#   1. the normal build with warnings as errors, all tests;
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build, all tests again;
#   3. the fuzz targets, 20 s each, under AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the formatting check.
# After the normal build its Debian packages are installed, run and removed (as root only).
# Before building, the layer check: no folder includes from a folder above it. After each test
# run and at the end, the check that no process the tests started is still running.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/install-deps.sh --tests
# Every process started from here on inherits it; by it tools/check-leftovers.sh finds those
# still running.
export SONARO_TEST_RUN="$$:$RANDOM$RANDOM"

leftovers() {
  echo "== leftover processes"
  bash tools/check-leftovers.sh build-ci build-asan build-fuzz
}

# ctest in a build folder, then the leftover check, also when a test failed.
run_tests() {  # folder timeout
  local status=0
  (cd "$1" && ctest --output-on-failure --timeout "$2") || status=$?
  leftovers
  return "$status"
}

echo "== layers"
python3 tools/check-layers.py

echo "== build (warnings as errors)"
bash tools/build.sh build-ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONARO_WERROR=ON \
  -DCMAKE_INSTALL_PREFIX=/usr
echo "== tests"
run_tests build-ci 600

echo "== Debian packages: built, installed with apt, run, removed"
if [[ $(id -u) -eq 0 ]]; then
  bash tools/package-test.sh build-ci
else
  echo "skipped: installing a package needs root"
fi

echo "== sanitizer build (address, undefined)"
bash tools/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DSONARO_WERROR=ON -DSONARO_SANITIZE=ON \
  -DSONARO_BUILD_BENCH=OFF
echo "== tests under sanitizers"
run_tests build-asan 900

echo "== fuzzing"
bash tools/run-fuzzers.sh "${SONARO_FUZZ_SECONDS:-20}"

echo "== formatting"
bash tools/check-format.sh

leftovers
