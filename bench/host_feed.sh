#!/usr/bin/env bash
# Feed requests per second of sonaro-host against nginx serving the same bytes as a static
# file, measured in the same run on this machine with wrk. Every request opens its own
# connection and is the player's: HTTP/1.0, its User-Agent, "Accept: */*". Then the host's
# rate again while dedications keep arriving, and the feed's answer time under a flood of idle
# and trickling connections (bench/host_flood.py), against nginx under the same flood.
#
#   bench/host_feed.sh <path of sonaro-host> [--smoke]   (BENCH_SECONDS=10 per measurement)
#
# Everything listens on 127.0.0.1 only and stops by itself. Exits 1 when the host's rate is
# below half of nginx's, except with --smoke (CI: the figures are only printed).
set -euo pipefail

host_binary="$(realpath "${1:?usage: host_feed.sh <path of sonaro-host>}")"
smoke="${2:-}"
seconds="${BENCH_SECONDS:-10}"
threads=2        # the machine has two cores
connections=16
# The load generator and the reference server are the benchmark's own needs: install them here,
# without letting the package start a system nginx on port 80.
if ! command -v wrk >/dev/null || ! [[ -x "$(command -v nginx || echo /usr/sbin/nginx)" ]]; then
  [[ $(id -u) -eq 0 ]] || { echo "wrk and nginx are missing (apt-get install wrk nginx)"; exit 2; }
  printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
  chmod +x /usr/sbin/policy-rc.d
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wrk nginx curl \
    >/dev/null || true
  rm -f /usr/sbin/policy-rc.d
fi
command -v wrk >/dev/null || { echo "wrk is missing (apt-get install wrk)"; exit 2; }
nginx_binary="$(command -v nginx || echo /usr/sbin/nginx)"
[[ -x "$nginx_binary" ]] || { echo "nginx is missing (apt-get install nginx)"; exit 2; }

# shellcheck source=bench/host_bench_common.sh
source "$(dirname "$0")/host_bench_common.sh"
tag_started_processes
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  end_started_processes
  rm -rf "$work"
}
trap cleanup EXIT

# -- the host, with a full feed
"$host_binary" --listen 127.0.0.1:0 --data "$work/data" --submit-interval 0 \
  >"$work/host.out" 2>"$work/host.log" &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/host.out" 2>/dev/null && break; sleep 0.1; done
host_port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$work/host.out")"
[[ -n "$host_port" ]] || { echo "sonaro-host did not start:"; cat "$work/host.log"; exit 2; }
base="http://127.0.0.1:$host_port"
path=/gg/diangatai1/xmlxianshi.asp

post() {
  curl -s -o /dev/null -w '%{http_code}' --data "$1" "$base/gg/diangatai1/index.asp"
}
while read -r body; do
  [[ "$(post "$body")" == 200 ]] || { echo "seeding the feed failed"; exit 2; }
done < <(gbk_forms 1 50)
curl -s -0 "$base$path" >"$work/feed.xml"
echo "feed: 50 dedications, $(wc -c <"$work/feed.xml") bytes"

# -- nginx with the same bytes as a static file
nginx_port="$(free_port)"
mkdir -p "$work/nginx/root/gg/diangatai1" "$work/nginx/temp"
cp "$work/feed.xml" "$work/nginx/root$path"
# Started as root, nginx serves from unprivileged workers: they must be able to read the file.
chmod a+x "$work"
chmod -R a+rX "$work/nginx/root"
{
  nginx_conf_start "$work" "$threads" 1024
  cat <<CONF
  types { }
  default_type "text/xml; charset=GBK";
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/nginx/root;
  }
}
CONF
} >"$work/nginx/nginx.conf"
"$nginx_binary" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>"$work/nginx/start.log" &
pids+=($!)
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$nginx_port$path" && break; sleep 0.1; done
cmp -s <(curl -s -0 "http://127.0.0.1:$nginx_port$path") "$work/feed.xml" ||
  { echo "nginx does not serve the same bytes"; cat "$work/nginx/start.log" "$work/nginx/error.log"; exit 2; }

# -- the player's request, one connection each (HTTP/1.0 without keep-alive)
write_player_lua "$work/player.lua"
# Prints requests per second; fails on errors or answers other than 200.
measure() {  # url label
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${seconds}s" -s "$work/player.lua" "$1" -- "$path")"
  if grep -qE 'Non-2xx|Socket errors: connect [1-9]|timeout [1-9]' <<<"$out"; then
    echo "$2: wrk reports failures:" >&2
    echo "$out" >&2
    return 1
  fi
  awk '/^Requests\/sec:/ { printf "%.0f\n", $2 }' <<<"$out"
}

echo "warming up"
seconds=2 measure "http://127.0.0.1:$nginx_port" nginx >/dev/null
seconds=2 measure "$base" sonaro-host >/dev/null

# Alternating, so that neither side gets the quieter half of the run.
n1="$(measure "http://127.0.0.1:$nginx_port" nginx)"
h1="$(measure "$base" sonaro-host)"
n2="$(measure "http://127.0.0.1:$nginx_port" nginx)"
h2="$(measure "$base" sonaro-host)"
nginx_rate=$(((n1 + n2) / 2))
host_rate=$(((h1 + h2) / 2))

# -- the host again while dedications arrive, ten a second from another client
mapfile -t arriving < <(gbk_forms 1000 $((1000 + seconds * 10)))
stored_before="$(grep -c 'stored dedication' "$work/host.log")"
(
  end=$((SECONDS + seconds))
  for body in "${arriving[@]}"; do
    ((SECONDS < end)) || break
    post "$body" >/dev/null || true
    sleep 0.1
  done
) &
writer=$!
pids+=("$writer")
busy_rate="$(measure "$base" sonaro-host)"
wait "$writer" || true
stored=$(($(grep -c 'stored dedication' "$work/host.log") - stored_before))

# -- the player's feed request while 1,000 idle and 64 trickling connections are held
flood_seconds=$((seconds < 5 ? 2 : seconds))
read -r flood_probes flood_failed flood_median flood_max < <(
  python3 "$(dirname "$0")/host_flood.py" "$host_port" "$flood_seconds")
read -r nflood_probes nflood_failed nflood_median nflood_max < <(
  python3 "$(dirname "$0")/host_flood.py" "$nginx_port" "$flood_seconds")

ratio="$(awk -v h="$host_rate" -v n="$nginx_rate" 'BEGIN { printf "%.2f", h / n }')"
echo
echo "Feed requests per second (wrk -t$threads -c$connections, ${seconds}s each, one connection per request):"
printf '  %-36s %8s   (%s, %s)\n' "nginx, static file (reference)" "$nginx_rate" "$n1" "$n2"
printf '  %-36s %8s   (%s, %s)\n' "sonaro-host" "$host_rate" "$h1" "$h2"
printf '  %-36s %8s   (%s dedications stored meanwhile)\n' "sonaro-host, dedications arriving" \
  "$busy_rate" "$stored"
echo "Ratio sonaro-host / nginx: $ratio (target at least 0.50)"
echo
echo "The player's feed request under a flood (1,000 idle connections from one address, 64"
echo "sending a byte a second from two others), ${flood_seconds}s of probes:"
printf '  %-36s %3s probes, %s failed, median %s ms, slowest %s ms\n' "nginx" "$nflood_probes" \
  "$nflood_failed" "$nflood_median" "$nflood_max"
printf '  %-36s %3s probes, %s failed, median %s ms, slowest %s ms\n' "sonaro-host" \
  "$flood_probes" "$flood_failed" "$flood_median" "$flood_max"
[[ "$smoke" == --smoke ]] && exit 0
awk -v r="$ratio" 'BEGIN { exit !(r >= 0.5) }' || { echo "BELOW TARGET"; exit 1; }
awk -v f="$flood_failed" -v m="$flood_max" 'BEGIN { exit !(f == 0 && m < 1000) }' ||
  { echo "FLOOD DELAYS THE PLAYER"; exit 1; }
