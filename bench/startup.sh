#!/usr/bin/env bash
# Start-up time (launch to the Main window mapped) and peak memory of the program, under a
# virtual X server with a null sound sink, measured against a bare Qt window started the same
# way in the same run. Loopback only; ends by itself.
#   bench/startup.sh <path of sonaro> [runs, default 3]
set -euo pipefail
program="$(realpath "${1:?usage: startup.sh <path of sonaro> [runs]}")"
runs="${2:-3}"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tests/support/headless.sh"
headless_start

# The reference: the smallest Qt Widgets program that maps a 400 x 300 window titled alike.
ref_dir="$HEADLESS_DIR/ref"
mkdir -p "$ref_dir"
cat >"$ref_dir/main.cpp" <<'CPP'
#include <QApplication>
#include <QWidget>
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget w;
  w.setWindowTitle("SonaroQuillboardReference");
  w.resize(400, 300);
  w.show();
  return app.exec();
}
CPP
g++ -O2 -fPIC -std=c++20 "$ref_dir/main.cpp" -o "$ref_dir/reference" \
  $(pkg-config --cflags --libs Qt6Widgets) >/dev/null

measure() {  # program title-pattern -> "milliseconds kilobytes"
  local binary="$1" pattern="$2" start end pid window
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$HEADLESS_DIR/rss" "$binary" >/dev/null 2>&1 &
  pid=$!
  window=""
  for _ in $(seq 600); do
    window="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1 || true)"
    [[ -n "$window" ]] && break
    sleep 0.02
  done
  end=$(date +%s%N)
  sleep 2  # let it settle: the pages load, then read the peak
  kill "$(pgrep -P "$pid" | head -1)" 2>/dev/null || kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$(((end - start) / 1000000)) $(tail -n1 "$HEADLESS_DIR/rss")"
}

total_s=0; total_r=0; mem_s=0; mem_r=0
for i in $(seq "$runs"); do
  read -r ms kb < <(measure "$program" 'SonaroQuillboard无广告版')
  read -r rms rkb < <(measure "$ref_dir/reference" 'SonaroQuillboardReference')
  echo "run $i: sonaro ${ms} ms, ${kb} KiB peak; reference ${rms} ms, ${rkb} KiB peak"
  total_s=$((total_s + ms)); total_r=$((total_r + rms)); mem_s=$((mem_s + kb)); mem_r=$((mem_r + rkb))
done
echo "mean start-up: sonaro $((total_s / runs)) ms, reference $((total_r / runs)) ms," \
  "ratio $(awk "BEGIN{printf \"%.2f\", $total_s/$total_r}")"
echo "mean peak memory (main process): sonaro $((mem_s / runs / 1024)) MiB," \
  "reference $((mem_r / runs / 1024)) MiB"
