#!/usr/bin/env bash
# Installs what is missing, builds every flavour and runs every test:
#   1. the normal build with warnings as errors, all tests;
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build, all tests again;
#   3. the fuzz targets, 20 s each, under AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the formatting check.
# After the normal build its Debian packages are installed, run and removed (as root only).
# Before building, the layer check: no folder includes from a folder above it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/install-deps.sh

echo "== layers"
python3 tools/check-layers.py

echo "== build (warnings as errors)"
bash tools/build.sh build-ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONARO_WERROR=ON \
  -DCMAKE_INSTALL_PREFIX=/usr
echo "== tests"
(cd build-ci && ctest --output-on-failure --timeout 600)

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
(cd build-asan && ctest --output-on-failure --timeout 900)

echo "== fuzzing"
bash tools/run-fuzzers.sh "${SONARO_FUZZ_SECONDS:-20}"

echo "== formatting"
bash tools/check-format.sh
