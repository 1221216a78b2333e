#!/usr/bin/env bash
# Starts the real program on a virtual X server with a sound server, checks that its windows
# appear, clicks the Main window's close button and expects exit code 0.
set -euo pipefail
program="$1"
source "$(dirname "$0")/../support/headless.sh"
headless_start

"$program" >"$HEADLESS_DIR/out.log" 2>&1 &
pid=$!

main=""
for _ in $(seq 150); do
  main="$(xdotool search --onlyvisible --name 'SonaroQuillboard' 2>/dev/null | head -1 || true)"
  [[ -n "$main" ]] && break
  sleep 0.2
done
if [[ -z "$main" ]]; then
  echo "FAIL: the Main window did not appear"; cat "$HEADLESS_DIR/out.log"; kill "$pid"; exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X; my=$Y
echo "Main window at $mx,$my size ${WIDTH}x${HEIGHT}"
[[ "$WIDTH" == 400 && "$HEIGHT" == 300 ]] || { echo "FAIL: Main window size"; kill "$pid"; exit 1; }

# The Station panel: a visible 240 x 530 window docked at the Main window's right edge.
panel_ok=0
for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
  eval "$(xdotool getwindowgeometry --shell "$w")"
  if [[ "$WIDTH" == 240 && "$HEIGHT" == 530 ]]; then
    [[ "$X" == $((mx + 389)) && "$Y" == $((my + 10)) ]] && panel_ok=1
  fi
done
[[ $panel_ok == 1 ]] || { echo "FAIL: no Station panel docked at the right edge"; kill "$pid"; exit 1; }

# An installed program must find its browser engine module where the package put it.
if [[ -n "${SONARO_EXPECT_ENGINE:-}" ]]; then
  loaded=0
  for _ in $(seq 100); do
    grep -qF "$SONARO_EXPECT_ENGINE" "/proc/$pid/maps" 2>/dev/null && { loaded=1; break; }
    sleep 0.1
  done
  if [[ $loaded != 1 ]]; then
    echo "FAIL: $SONARO_EXPECT_ENGINE was not loaded"; cat "$HEADLESS_DIR/out.log"; kill "$pid"; exit 1
  fi
  echo "browser engine loaded from $SONARO_EXPECT_ENGINE"
fi

if [[ -n "${SONARO_SCREENSHOT_DIR:-}" ]] && command -v import >/dev/null; then
  mkdir -p "$SONARO_SCREENSHOT_DIR"
  sleep 0.5
  import -window root -crop 760x600+0+0 "$SONARO_SCREENSHOT_DIR/desktop.png" 2>/dev/null || true
fi

# The close button 关闭按钮 sits at (344, 24), 28 x 18, in the Main window.
xdotool mousemove --sync $((mx + 344 + 14)) $((my + 24 + 9)) click 1
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: still running after the close button"; kill "$pid"; exit 1
fi
set +e
wait "$pid"
code=$?
set -e
echo "exit code $code"
[[ $code == 0 ]] || { cat "$HEADLESS_DIR/out.log"; exit 1; }
