#!/usr/bin/env bash
# Builds the Debian packages from a build folder, checks their contents, installs the player's
# package with apt, starts /usr/bin/sonaro on a virtual desktop, sees its windows and its browser
# engine, quits it and removes the package again. Changes the system: run as root (CI does).
#   bash tools/package-test.sh build-ci
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: package-test.sh BUILD_FOLDER}" && pwd)"
[[ $(id -u) -eq 0 ]] || { echo "package-test: needs root (apt-get install)"; exit 1; }

# The package's program takes its stations from the public directory: the build is made so for
# the packages and given back its own kind of stations afterwards (only the program's main()
# differs, so either way round is a link).
stations="$(sed -n 's/^SONARO_STATIONS:STRING=//p' "$build/CMakeCache.txt")"
restore() { cmake -S "$root" -B "$build" -DSONARO_STATIONS="${stations:-demo}" >/dev/null &&
            cmake --build "$build" >/dev/null; }
trap restore EXIT
cmake -S "$root" -B "$build" -DSONARO_STATIONS=directory -DSONARO_DIRECTORY_URL= >/dev/null
cmake --build "$build"
cd "$build"
rm -f ./*.deb
cpack -G DEB
player=(sonaro_*.deb)
host=(sonaro-host_*.deb)
[[ -f ${player[0]} && -f ${host[0]} ]] || { echo "FAIL: cpack made no packages"; exit 1; }
for deb in "${player[0]}" "${host[0]}"; do
  echo "== $deb"
  dpkg-deb --field "$deb" Package Version Depends
done
dpkg-deb --contents "${player[0]}" | awk '{print $6}' > player.list
dpkg-deb --contents "${host[0]}" | awk '{print $6}' > host.list
for path in ./usr/bin/sonaro ./usr/share/applications/org.sonaro.Sonaro.desktop \
            ./usr/share/metainfo/org.sonaro.Sonaro.metainfo.xml \
            ./usr/share/icons/hicolor/16x16/apps/org.sonaro.Sonaro.png \
            ./usr/share/icons/hicolor/256x256/apps/org.sonaro.Sonaro.png; do
  grep -qxF "$path" player.list || { echo "FAIL: $path is not in the player's package"; exit 1; }
done
engine="$(grep '/libsonaro-browser-engine.so$' player.list | sed 's/^\.//')"
[[ -n "$engine" ]] || { echo "FAIL: no browser engine module in the player's package"; exit 1; }
for path in ./usr/bin/sonaro-host ./usr/bin/sonaro-streams ./usr/lib/systemd/system/sonaro-host.service; do
  grep -qxF "$path" host.list || { echo "FAIL: $path is not in the host's package"; exit 1; }
done
dpkg-deb --field "${player[0]}" Depends | grep -q 'libqt6webenginecore6' ||
  { echo "FAIL: the player's dependencies miss the browser engine's libraries"; exit 1; }

export DEBIAN_FRONTEND=noninteractive
# A service that a package's installation starts is the system's, not a leftover of the tests
# (tools/check-leftovers.sh).
apt_install() { env -u SONARO_TEST_RUN apt-get install -y -qq "$@"; }
trap 'apt-get remove -y -qq sonaro >/dev/null 2>&1 || true; restore' EXIT
apt_install "./${player[0]}"
[[ -x /usr/bin/sonaro && -f "$engine" ]] || { echo "FAIL: the package did not install"; exit 1; }
SONARO_EXPECT_ENGINE="$engine" bash "$root/tests/app/start_and_quit.sh" /usr/bin/sonaro
apt-get remove -y -qq sonaro
[[ ! -e /usr/bin/sonaro && ! -e "$engine" ]] || { echo "FAIL: removing left files behind"; exit 1; }

# The host's package: its programs run and its service unit passes systemd's checks.
trap 'apt-get remove -y -qq sonaro-host >/dev/null 2>&1 || true; restore' EXIT
apt_install "./${host[0]}"
/usr/bin/sonaro-host --version
verdict="$(systemd-analyze verify /usr/lib/systemd/system/sonaro-host.service 2>&1)" ||
  { echo "$verdict"; echo "FAIL: systemd refuses the unit"; exit 1; }
if grep -q 'sonaro-host.service' <<<"$verdict"; then
  echo "$verdict"; echo "FAIL: systemd finds fault with the unit"; exit 1
fi
apt-get remove -y -qq sonaro-host
trap - EXIT
restore
echo "the packages install, run and go"
