# Sourced by the idle benchmarks: a headless desktop as users have one, with a D-Bus session, a
# compositing manager (its pid in BENCH_COMPOSITOR) and a tray host, torn down on exit. The
# programs started afterwards draw in software and keep their files in the desktop's folder.
source "$(dirname "${BASH_SOURCE[0]}")/../tests/support/headless.sh"

bench_desktop_start() {
  local tool
  for tool in trayer xcompmgr dbus-launch "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run tools/install-deps.sh"; exit 1; }
  done
  headless_start
  eval "$(dbus-launch --sh-syntax)"
  BENCH_HELPERS=("$DBUS_SESSION_BUS_PID")
  trap 'kill "${BENCH_HELPERS[@]}" 2>/dev/null || true; headless_stop' EXIT
  xcompmgr >/dev/null 2>&1 &
  BENCH_COMPOSITOR=$!
  BENCH_HELPERS+=($!)
  trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
  BENCH_HELPERS+=($!)
  export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" NO_AT_BRIDGE=1
  export XDG_CONFIG_HOME="$HEADLESS_DIR/config" XDG_DATA_HOME="$HEADLESS_DIR/data"
  export XDG_CACHE_HOME="$HEADLESS_DIR/cache"
  sleep 1
}

tree_pids() {  # pid $1 and every descendant, one a line
  python3 - "$1" <<'PY'
import os, sys
top = sys.argv[1]
parent = {}
for pid in filter(str.isdigit, os.listdir('/proc')):
    try:
        with open('/proc/%s/stat' % pid) as f:
            parent[pid] = f.read().rsplit(')', 1)[1].split()[1]
    except OSError:
        pass  # gone meanwhile
for pid in parent:
    p = pid
    while p in parent and p != top:
        p = parent[p]
    if p == top:
        print(pid)
PY
}
