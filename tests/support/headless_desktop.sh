#!/usr/bin/env bash
# A private headless desktop for driving the real program from outside: a virtual X server, a
# D-Bus session with the accessibility bus (to find and read widgets), and a PulseAudio daemon
# with a null sink (to hear what plays), all with a private HOME. Runs a Python driver in it.
#   headless_desktop.sh [--wm] <driver.py> <program> [driver arguments...]
# The driver gets --program <program> --work <private folder> and the arguments. With --wm the
# desktop has a window manager (openbox), which keeps minimised windows iconic.
# Everything started here ends with the desktop, the driver's programs and the buses' services
# too, however the script ends (tests/support/processes.sh).
set -euo pipefail
source "$(dirname "$0")/processes.sh"
tag_started_processes
wm=0
[[ "$1" == --wm ]] && { wm=1; shift; }
driver="$1"; program="$2"; shift 2
work="$(mktemp -d /tmp/sonaro-desktop-XXXXXX)"
pids=()
driver_pid=""
cleanup() {
  # The driver and its programs first, while their desktop is still there.
  # shellcheck disable=SC2046
  [[ -n "$driver_pid" ]] && end_processes $(processes_below "$driver_pid") "$driver_pid"
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  HOME="$work" XDG_RUNTIME_DIR="$work/run" pulseaudio --kill 2>/dev/null || true
  [[ -n "${DBUS_SESSION_BUS_PID:-}" ]] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
  end_started_processes
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/run" && chmod 700 "$work/run"
export HOME="$work" XDG_RUNTIME_DIR="$work/run"
unset XDG_CACHE_HOME

# The server picks a free display itself: other tests may run X servers at the same time.
# -noreset: by default it resets when its last client leaves (the readiness probe below) and
# turns clients away meanwhile.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
if ((wm)); then
  # Start openbox again should it fail, until it manages the screen (it names itself on the root
  # window then).
  wm_pid=""
  for _ in $(seq 100); do
    if [[ -z "$wm_pid" ]] || ! kill -0 "$wm_pid" 2>/dev/null; then
      openbox --sm-disable >/dev/null 2>&1 &
      wm_pid=$!
    fi
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
  pids+=("$wm_pid")
  if ! kill -0 "$wm_pid" 2>/dev/null; then
    echo "headless_desktop.sh: openbox did not start" >&2
    exit 1
  fi
fi

eval "$(dbus-launch --sh-syntax)"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)

pulseaudio -n -D --exit-idle-time=-1 --log-target=stderr -L module-native-protocol-unix \
  -L "module-null-sink sink_name=nullsink" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink nullsink

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" QTWEBENGINE_DISABLE_SANDBOX=1
export NO_AT_BRIDGE=0
# Waited for rather than run in the foreground: a TERM or an INT then ends the desktop at once.
/usr/bin/python3 "$driver" --program "$program" --work "$work" "$@" &
driver_pid=$!
wait "$driver_pid"
