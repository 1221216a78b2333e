# Sourced by end-to-end scripts: a private virtual X server and a PulseAudio daemon with a null
# sink, each in a private runtime folder, torn down on exit.
#   source tests/support/headless.sh; headless_start
# Exports DISPLAY, HOME, XDG_RUNTIME_DIR, PULSE_SERVER and HEADLESS_DIR. Whatever the script
# starts afterwards ends with it too (tests/support/processes.sh).
source "$(dirname "${BASH_SOURCE[0]}")/processes.sh"

headless_stop() {
  [[ -n "${HEADLESS_PULSE:-}" ]] && HOME="$HEADLESS_DIR" XDG_RUNTIME_DIR="$HEADLESS_DIR" \
    pulseaudio --kill >/dev/null 2>&1 || true
  [[ -n "${HEADLESS_XVFB_PID:-}" ]] && kill "$HEADLESS_XVFB_PID" 2>/dev/null || true
  end_started_processes
  [[ -n "${HEADLESS_DIR:-}" ]] && rm -rf "$HEADLESS_DIR"
}

headless_start() {
  tag_started_processes
  HEADLESS_DIR="$(mktemp -d /tmp/sonaro-headless-XXXXXX)"
  chmod 700 "$HEADLESS_DIR"
  trap headless_stop EXIT
  local display
  for _ in 1 2 3 4 5; do
    display=":$((100 + RANDOM % 800))"
    [[ -e "/tmp/.X11-unix/X${display#:}" ]] && continue
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    HEADLESS_XVFB_PID=$!
    for _ in $(seq 50); do DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break
    kill "$HEADLESS_XVFB_PID" 2>/dev/null || true
    HEADLESS_XVFB_PID=""
  done
  [[ -n "${HEADLESS_XVFB_PID:-}" ]] || { echo "headless: no X server"; return 1; }
  export DISPLAY="$display" HOME="$HEADLESS_DIR" XDG_RUNTIME_DIR="$HEADLESS_DIR"
  if [[ "${HEADLESS_NO_SOUND:-0}" != 1 ]]; then
    pulseaudio -n -D --exit-idle-time=-1 -L module-native-protocol-unix \
      -L "module-null-sink sink_name=nullsink" >/dev/null 2>&1 || { echo "headless: no pulseaudio"; return 1; }
    HEADLESS_PULSE=1
    export PULSE_SERVER="unix:$HEADLESS_DIR/pulse/native"
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  export QT_QPA_PLATFORM=xcb
}
