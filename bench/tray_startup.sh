#!/usr/bin/env bash
# Start-up time to the first painted Main window and idle CPU of the running program, against
# goodvibes (Debian's internet-radio player) started and measured the same way in the same run,
# on a virtual X server with a compositing manager, a tray host, a D-Bus session and a null sound
# sink. Loopback only; ends by itself.
#   bench/tray_startup.sh <path of sonaro> [runs, default 3] [idle seconds, default 20] [settle]
#
# Start-up: from just before exec to the first reading of the screen that shows one of its mapped
# top-level windows (at least 100 x 100) with pixels that are not all one colour; both programs
# are polled by the same loop (bench/first_paint.py reads the screen from the X server).
# Idle CPU: utime + stime of the process and all its descendants (for Sonaro the
# QtWebEngineProcess children) over the idle period, which starts [settle seconds, default 10]
# after the first paint; in percent of one core.
set -euo pipefail
program="$(realpath "${1:?usage: tray_startup.sh <path of sonaro> [runs] [idle seconds]}")"
runs="${2:-3}"
idle="${3:-20}"
settle="${4:-10}"
root="$(cd "$(dirname "$0")/.." && pwd)"
for tool in goodvibes trayer xcompmgr xdotool import dbus-launch; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run tools/install-deps.sh"; exit 1; }
done
source "$root/tests/support/headless.sh"
headless_start
eval "$(dbus-launch --sh-syntax)"
helpers=("$DBUS_SESSION_BUS_PID")
trap 'kill "${helpers[@]}" 2>/dev/null || true; headless_stop' EXIT
xcompmgr >/dev/null 2>&1 &
helpers+=($!)
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
helpers+=($!)
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" NO_AT_BRIDGE=1
export XDG_CONFIG_HOME="$HEADLESS_DIR/config" XDG_DATA_HOME="$HEADLESS_DIR/data"
export XDG_CACHE_HOME="$HEADLESS_DIR/cache"
sleep 1
hz=$(getconf CLK_TCK)

tree_ticks() {  # utime + stime of pid $1 and every descendant
  python3 - "$1" <<'PY'
import os, sys
top = sys.argv[1]
parent, ticks = {}, {}
for pid in filter(str.isdigit, os.listdir('/proc')):
    try:
        with open('/proc/%s/stat' % pid) as f:
            fields = f.read().rsplit(')', 1)[1].split()
    except OSError:
        continue  # gone meanwhile
    parent[pid], ticks[pid] = fields[1], int(fields[11]) + int(fields[12])
total = 0
for pid in ticks:
    p = pid
    while p in parent and p != top:
        p = parent[p]
    total += ticks[pid] if p == top else 0
print(total)
PY
}

measure() {  # command... -> "milliseconds cpu-percent"
  local start end pid window t0 t1
  start=$(date +%s%N)
  "$@" >"$HEADLESS_DIR/out.log" 2>&1 &
  pid=$!
  window="$(/usr/bin/python3 "$root/bench/first_paint.py" "$pid" 60 || true)"
  end=$(date +%s%N)
  [[ -n "$window" ]] || { echo "no painted window from $1" >&2; cat "$HEADLESS_DIR/out.log" >&2; exit 1; }
  sleep "$settle"
  t0=$(tree_ticks "$pid")
  sleep "$idle"
  t1=$(tree_ticks "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 1
  echo "$(((end - start) / 1000000)) $(awk "BEGIN{printf \"%.2f\", ($t1 - $t0) * 100 / $hz / $idle}")"
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

s_ms=(); s_cpu=(); g_ms=(); g_cpu=()
for i in $(seq "$runs"); do
  read -r ms cpu < <(measure "$program")
  read -r gms gcpu < <(measure goodvibes)
  echo "run $i: sonaro ${ms} ms to first paint, ${cpu} % idle CPU;" \
    "goodvibes ${gms} ms, ${gcpu} % idle CPU"
  s_ms+=("$ms"); s_cpu+=("$cpu"); g_ms+=("$gms"); g_cpu+=("$gcpu")
done
sm=$(median "${s_ms[@]}"); sc=$(median "${s_cpu[@]}")
gm=$(median "${g_ms[@]}"); gc=$(median "${g_cpu[@]}")
echo "median start-up to first paint: sonaro $sm ms, goodvibes $gm ms," \
  "ratio $(awk "BEGIN{printf \"%.2f\", $sm / $gm}") (target <= 1)"
echo "median idle CPU over ${idle} s (process tree, % of one core): sonaro $sc, goodvibes $gc" \
  "(target for sonaro < 1)"
