#!/usr/bin/env bash
# What the shown program's idle CPU is made of: the whole program with its windows shown, then
# the Main window's animation alone three ways (bench/animation_floor.cpp: the skin's own path,
# a bare Qt window, bare X requests), then nothing, each in turn in the same headless desktop
# (virtual X server, compositing manager, tray host). For each: CPU of the process tree, the X
# server and the compositing manager over the idle period (on-CPU time from schedstat, in % of
# one core), and the process's CPU per frame. Loopback only; ends by itself.
#   bench/animation_floor.sh <sonaro> <sonaro_animation_floor> [idle s, default 30] [settle s, 10]
set -euo pipefail
program="$(realpath "${1:?usage: animation_floor.sh <sonaro> <sonaro_animation_floor> [idle] [settle]}")"
floor="$(realpath "${2:?the animation floor program}")"
idle="${3:-30}"
settle="${4:-10}"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/bench/desktop.sh"
bench_desktop_start
compositor=$BENCH_COMPOSITOR

on_cpu_ns() {  # nanoseconds on a CPU of every thread of pid $1 and its descendants
  local p
  for p in $(tree_pids "$1"); do cat /proc/"$p"/task/*/schedstat 2>/dev/null || true; done |
    awk '{s += $1} END {printf "%d\n", s}'
}

percent() { awk "BEGIN{printf \"%.3f\", ($2 - $1) / 1e7 / $idle}"; }

fps=""
measure() {  # label command... -> one line of the table
  local label="$1" pid="" p0=0 p1=0 x0 x1 c0 c1 per=""
  shift
  if [[ $# -gt 0 ]]; then
    "$@" >"$HEADLESS_DIR/out.log" 2>&1 &
    pid=$!
  fi
  sleep "$settle"
  if [[ -n "$pid" ]] && ! kill -0 "$pid" 2>/dev/null; then
    echo "$label ended early:" >&2; cat "$HEADLESS_DIR/out.log" >&2; exit 1
  fi
  [[ -n "$pid" ]] && p0=$(on_cpu_ns "$pid")
  x0=$(on_cpu_ns "$HEADLESS_XVFB_PID"); c0=$(on_cpu_ns "$compositor")
  sleep "$idle"
  [[ -n "$pid" ]] && p1=$(on_cpu_ns "$pid")
  x1=$(on_cpu_ns "$HEADLESS_XVFB_PID"); c1=$(on_cpu_ns "$compositor")
  if [[ -n "$pid" ]]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [[ -z "$fps" ]]; then
      fps="$(sed -n 's/^frames per second: //p' "$HEADLESS_DIR/out.log" | head -1)"
    fi
    if [[ -n "$fps" ]]; then
      per="$(awk "BEGIN{printf \"%.3f\", ($p1 - $p0) / 1e6 / $idle / $fps}")"
    fi
  fi
  printf '  %-34s %7s %%  %7s %%  %7s %%  %9s\n' "$label" "$(percent "$p0" "$p1")" \
    "$(percent "$x0" "$x1")" "$(percent "$c0" "$c1")" "${per:--}"
  sleep 1
}

echo "Idle CPU over ${idle} s after ${settle} s settling (% of one core; ms per frame of the process):"
printf '  %-34s %9s  %9s  %9s  %9s\n' "shown" "process" "X server" "compositor" "ms/frame"
# The floor program first: it tells the frame rate the other rows are divided by.
measure "animation alone, skin's own path" "$floor" skin
measure "animation alone, bare Qt window" "$floor" qt
measure "animation alone, bare X requests" "$floor" xcb
measure "sonaro, windows shown" "$program"
measure "nothing (the desktop alone)"
echo "frames per second of the animation: $fps"
