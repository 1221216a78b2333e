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
# after the first paint; in percent of one core. Then hidden: Sonaro minimised to the tray by its
# own minimise button, goodvibes' window unmapped (as its close button does with a tray), and
# the same measurement over the same period after the same settling. PSS of the process tree at
# the end of each period.
set -euo pipefail
program="$(realpath "${1:?usage: tray_startup.sh <path of sonaro> [runs] [idle seconds]}")"
runs="${2:-3}"
idle="${3:-20}"
settle="${4:-10}"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/bench/desktop.sh"
bench_desktop_start goodvibes xdotool import
hz=$(getconf CLK_TCK)

tree_ticks() {  # utime + stime of pid $1 and every descendant; with "pss": their PSS in MiB
  local p
  for p in $(tree_pids "$1"); do
    if [[ "${2:-ticks}" == pss ]]; then
      grep '^Pss:' /proc/"$p"/smaps_rollup 2>/dev/null || true
    else  # after the command's name, which may hold spaces: utime and stime are fields 12, 13
      sed 's/.*) //' /proc/"$p"/stat 2>/dev/null | awk '{print "t", $12 + $13}' || true
    fi
  done | awk -v what="${2:-ticks}" \
    '{s += $2} END {printf "%d\n", what == "pss" ? s / 1024 + 0.5 : s}'
}

percent() { awk "BEGIN{printf \"%.2f\", ($2 - $1) * 100 / $hz / $idle}"; }

hide() {  # pid window: out of sight the way the program's users put it there
  if [[ "$(tr '\0' ' ' </proc/$1/cmdline)" == *goodvibes* ]]; then
    xdotool windowunmap "$2"
  else
    # The Main window (400 x 300) and its minimise button, at (315, 33) in it.
    local main="" w
    for w in $(xdotool search --onlyvisible --pid "$1"); do
      eval "$(xdotool getwindowgeometry --shell "$w")"
      [[ "$WIDTH" == 400 && "$HEIGHT" == 300 ]] && { main=$w; break; }
    done
    [[ -n "$main" ]] || { echo "no Main window to minimise" >&2; exit 1; }
    xdotool mousemove $((X + 315)) $((Y + 33)) click 1
    sleep 1
    xdotool mousemove 0 1000  # the pointer off every window
    xwininfo -id "$main" | grep -q 'IsUnMapped' || { echo "minimise did not hide the window" >&2; exit 1; }
  fi
}

measure() {  # command... -> "milliseconds shown-cpu-% hidden-cpu-% shown-PSS hidden-PSS"
  local start end pid window t0 t1 t2 t3 m1 m3
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
  m1=$(tree_ticks "$pid" pss)
  hide "$pid" "$window"
  sleep "$settle"
  t2=$(tree_ticks "$pid")
  sleep "$idle"
  t3=$(tree_ticks "$pid")
  m3=$(tree_ticks "$pid" pss)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 1
  echo "$(((end - start) / 1000000)) $(percent "$t0" "$t1") $(percent "$t2" "$t3") $m1 $m3"
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

s_ms=(); s_cpu=(); s_hid=(); g_ms=(); g_cpu=(); g_hid=()
for i in $(seq "$runs"); do
  read -r ms cpu hid mem hmem < <(measure "$program")
  read -r gms gcpu ghid gmem ghmem < <(measure goodvibes)
  echo "run $i: sonaro ${ms} ms to first paint, idle CPU ${cpu} % shown, ${hid} % hidden," \
    "PSS ${mem} MiB shown, ${hmem} MiB hidden; goodvibes ${gms} ms, ${gcpu} % shown," \
    "${ghid} % hidden, PSS ${gmem} MiB shown, ${ghmem} MiB hidden"
  s_ms+=("$ms"); s_cpu+=("$cpu"); s_hid+=("$hid"); g_ms+=("$gms"); g_cpu+=("$gcpu"); g_hid+=("$ghid")
done
sm=$(median "${s_ms[@]}"); sc=$(median "${s_cpu[@]}"); sh=$(median "${s_hid[@]}")
gm=$(median "${g_ms[@]}"); gc=$(median "${g_cpu[@]}"); gh=$(median "${g_hid[@]}")
echo "median start-up to first paint: sonaro $sm ms, goodvibes $gm ms," \
  "ratio $(awk "BEGIN{printf \"%.2f\", $sm / $gm}") (target <= 1)"
echo "median idle CPU over ${idle} s (process tree, % of one core): shown: sonaro $sc," \
  "goodvibes $gc (target for sonaro <= 0.3); hidden in the tray: sonaro $sh, goodvibes $gh" \
  "(target for sonaro <= 0.05 beyond the board's refresh)"
