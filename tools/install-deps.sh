#!/usr/bin/env bash
# Installs the Debian packages Sonaro needs: what building and running the player, its service
# host and the demo streams need; with --tests also what the tests, the fuzzers and the
# benchmarks need. Safe to run again; does nothing when everything is present.
#   tools/install-deps.sh [--tests]
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6webenginecore6-bin qt6-webchannel-dev libqt6svg6 qt6-image-formats-plugins
  libgl-dev libxkbcommon-dev libxcb1-dev
  # media, network, XML, sound
  libmpv-dev libcurl4-openssl-dev libpugixml-dev libpulse-dev
  # station names in traditional and simplified characters alike (the station directory)
  libopencc-dev
  # service host
  libboost1.81-dev libsqlite3-dev libssl-dev libpq-dev
  # the player's Chinese texts
  fonts-noto-cjk
)
TEST_PACKAGES=(
  # the fuzzers' compiler and runtime, the formatting check
  clang libclang-rt-14-dev clang-format
  # the private database server the host's PostgreSQL tests start (never the system's own)
  postgresql
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # headless display and sound for tests
  xvfb xauth x11-utils pulseaudio pulseaudio-utils sox libsox-fmt-all
  dbus-x11 at-spi2-core python3-pyatspi imagemagick openssl ca-certificates xdotool time
  # tray host, compositing manager and root colour for the tray test
  trayer xcompmgr hsetroot
  # the D-Bus tray host and notification server of the StatusNotifierItem test
  python3-gi gir1.2-glib-2.0
  # the desktop's media controls that the MPRIS test drives the player with
  playerctl
  # the window manager of the desktop test and the GUI-stall benchmark (no tray there)
  openbox
  # packaging: the launcher's and the metadata's validators, the service unit's checker
  desktop-file-utils appstream systemd
  # reading the screen in the start-up benchmark
  python3-xlib
  # the reference players of the player benchmark (goodvibes also of the tray one)
  mpv goodvibes
  # the feed benchmark's load generator and reference server (its CI smoke run needs them)
  wrk nginx
  # live stations as they broadcast today: ffmpeg's HLS muxer and an Icecast server
  ffmpeg icecast2
  # the embedded browser's trust store (an NSS database) for the TLS test's own authority
  libnss3-tools
)
if [[ "${1:-}" == --tests ]]; then
  PACKAGES+=("${TEST_PACKAGES[@]}")
elif [[ $# -gt 0 ]]; then
  echo "usage: install-deps.sh [--tests]" >&2
  exit 2
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO=sudo
  $SUDO apt-get update -qq
  # Installing a server package must not start it (PostgreSQL's cluster, nginx on port 80):
  # tests and benchmarks start their own, on loopback. Only where no such policy exists yet.
  policy=""
  if [[ ! -e /usr/sbin/policy-rc.d ]]; then
    policy=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod +x "$policy"
  fi
  status=0
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
  [[ -n "$policy" ]] && $SUDO rm -f "$policy"
  exit "$status"
fi
