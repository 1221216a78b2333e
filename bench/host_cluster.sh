#!/usr/bin/env bash
# Two sonaro-host processes on one PostgreSQL database behind nginx, as docs/host.md deploys
# them, against one host and against nginx serving the same feed bytes as a static file:
# feed requests per second (the player's request, one connection each) with latency
# percentiles, then submissions per second through the balancer. Everything runs on this
# machine, on loopback: a private PostgreSQL cluster, the hosts, nginx and wrk.
#
#   bench/host_cluster.sh <path of sonaro-host> [--smoke]   (BENCH_SECONDS=10 per measurement;
#                                                            --smoke: shorter warm-up)
#
# On one machine the hosts share its cores with the database, nginx and wrk, so the second
# host shows what the shared database costs, not the scaling of machines.
set -euo pipefail

host_binary="$(realpath "${1:?usage: host_cluster.sh <path of sonaro-host>}")"
smoke="${2:-}"
seconds="${BENCH_SECONDS:-10}"
threads=2
connections=16
for tool in wrk curl; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install $tool)"; exit 2; }
done
nginx_binary="$(command -v nginx || echo /usr/sbin/nginx)"
[[ -x "$nginx_binary" ]] || { echo "nginx is missing (apt-get install nginx)"; exit 2; }
pg_bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
[[ -x "$pg_bin/initdb" ]] || { echo "PostgreSQL is missing (apt-get install postgresql)"; exit 2; }

# shellcheck source=bench/host_bench_common.sh
source "$(dirname "$0")/host_bench_common.sh"
tag_started_processes
work="$(mktemp -d)"
chmod 755 "$work"
pids=()
as_postgres=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [[ -d "$work/pg/data" ]] && "${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -m fast -w stop \
    >/dev/null 2>&1 || true
  end_started_processes
  rm -rf "$work"
}
trap cleanup EXIT

# -- a private PostgreSQL cluster (it refuses to run as root)
mkdir -p "$work/pg"
if [[ $(id -u) -eq 0 ]]; then
  chown postgres "$work/pg"
  as_postgres=(runuser -u postgres --)
fi
pg_port="$(free_port)"
"${as_postgres[@]}" "$pg_bin/initdb" -D "$work/pg/data" -U sonaro -A trust -E UTF8 --no-locale --no-sync \
  >"$work/pg/initdb.log" 2>&1 || { cat "$work/pg/initdb.log"; exit 2; }
"${as_postgres[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -l "$work/pg/server.log" -w \
  -o "-c listen_addresses=127.0.0.1 -c port=$pg_port -c unix_socket_directories=$work/pg" \
  start >/dev/null || { cat "$work/pg/server.log"; exit 2; }
database="postgresql://sonaro@127.0.0.1:$pg_port/postgres"

# -- two hosts on it
# Started in this shell, not in a command substitution, so that their pids reach the clean-up.
start_host() {  # name: its port in host_port, empty when it did not start
  "$host_binary" --listen 127.0.0.1:0 --data "$work/$1" --database "$database" \
    --submit-interval 0 --trust-forwarded-for --max-connections-per-address 0 \
    >"$work/$1.out" 2>"$work/$1.log" &
  pids+=($!)
  for _ in $(seq 100); do grep -q listening "$work/$1.out" 2>/dev/null && break; sleep 0.1; done
  host_port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$work/$1.out")"
}
start_host a
port_a="$host_port"
start_host b
port_b="$host_port"
[[ -n "$port_a" && -n "$port_b" ]] || { echo "a host did not start:"; cat "$work"/[ab].log; exit 2; }
path=/gg/diangatai1/xmlxianshi.asp

gbk_forms 1 50 >"$work/forms"
while read -r body; do
  code="$(curl -s -o /dev/null -w '%{http_code}' --data "$body" \
    "http://127.0.0.1:$port_a/gg/diangatai1/index.asp")"
  [[ "$code" == 200 ]] || { echo "seeding the feed failed ($code)"; exit 2; }
done <"$work/forms"
curl -s -0 "http://127.0.0.1:$port_a$path" >"$work/feed.xml"
# The other host has the same feed within 2 s, told by the database.
for _ in $(seq 40); do
  cmp -s <(curl -s -0 "http://127.0.0.1:$port_b$path") "$work/feed.xml" && break
  sleep 0.05
done
cmp -s <(curl -s -0 "http://127.0.0.1:$port_b$path") "$work/feed.xml" ||
  { echo "the second host's feed differs from the first's"; exit 2; }

# -- nginx: the balancer of docs/host.md in front of both hosts, one in front of host a alone,
# and the same feed as a static file
lb_port="$(free_port)"
tls_port="$(free_port)"
single_port="$(free_port)"
static_port="$(free_port)"
mkdir -p "$work/nginx/root/gg/diangatai1" "$work/nginx/temp"
cp "$work/feed.xml" "$work/nginx/root$path"
chmod -R a+rX "$work/nginx/root"
# The balancer's certificate: wrk does not check it, only the TLS work counts here.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=127.0.0.1 \
  -keyout "$work/nginx/key.pem" -out "$work/nginx/cert.pem" >/dev/null 2>&1
sed -n '/^ *# nginx balancer: begin/,/^ *# nginx balancer: end/p' \
  "$(dirname "$0")/../docs/host.md" | grep -v '^ *#' |
  sed "s/10.0.0.11:8760/127.0.0.1:$port_a/; s/10.0.0.12:8760/127.0.0.1:$port_b/;
       s/listen 80;/listen 127.0.0.1:$lb_port;/; s/listen 443 ssl;/listen 127.0.0.1:$tls_port ssl;/;
       s|ssl_certificate .*;|ssl_certificate $work/nginx/cert.pem;|;
       s|ssl_certificate_key .*;|ssl_certificate_key $work/nginx/key.pem;|" >"$work/nginx/balancer.conf"
grep -q "upstream sonaro_hosts" "$work/nginx/balancer.conf" ||
  { echo "the balancer configuration was not found in docs/host.md"; exit 2; }
{
  nginx_conf_start "$work" "$threads" 4096
  cat <<CONF
  include $work/nginx/balancer.conf;
  upstream single_host { server 127.0.0.1:$port_a; }
  server {
    listen 127.0.0.1:$single_port;
    location / { proxy_pass http://single_host; proxy_set_header X-Forwarded-For \$remote_addr; }
  }
  server {
    listen 127.0.0.1:$static_port;
    root $work/nginx/root;
    types { }
    default_type "text/xml; charset=GBK";
  }
}
CONF
} >"$work/nginx/nginx.conf"
"$nginx_binary" -t -c "$work/nginx/nginx.conf" -p "$work/nginx" >"$work/nginx/test.log" 2>&1 ||
  { cat "$work/nginx/test.log"; exit 2; }
"$nginx_binary" -c "$work/nginx/nginx.conf" -p "$work/nginx" 2>"$work/nginx/start.log" &
pids+=($!)
for port in "$lb_port" "$single_port" "$static_port"; do
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port$path" && break; sleep 0.1; done
  cmp -s <(curl -s -0 "http://127.0.0.1:$port$path") "$work/feed.xml" ||
    { echo "port $port does not serve the feed"; cat "$work/nginx/error.log"; exit 2; }
done
cmp -s <(curl -s -0 -k "https://127.0.0.1:$tls_port$path") "$work/feed.xml" ||
  { echo "the balancer does not serve the feed over TLS"; cat "$work/nginx/error.log"; exit 2; }

# -- the player's feed request, one connection each
write_player_lua "$work/player.lua"
# A new dedication each request (the hosts run without the submission limits).
cat >"$work/submit.lua" <<'LUA'
-- Each thread gets its own number (a global: thread:set reaches globals only).
local n = 0
threads_made = 0
function setup(thread)
  threads_made = threads_made + 1
  thread:set("id", threads_made)
end
function request()
  n = n + 1
  local body = "beichenghu=a&beiname=b&geming=c&dizhi=http%3A%2F%2Fexample.com%2F" .. n ..
    ".mp3&neirong=wish-" .. id .. "-" .. n .. "&dianchenghu=d&dianname=e"
  return wrk.format("POST", "/gg/diangatai1/index.asp",
    {["Content-Type"] = "application/x-www-form-urlencoded", ["Connection"] = "close"}, body)
end
LUA

# Prints "requests/s p50 p90 p99" (latencies as wrk writes them); fails on errors.
measure() {  # url script label
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${seconds}s" --latency -s "$2" "$1" -- "$path")"
  if grep -qE 'Non-2xx|Socket errors: connect [1-9]|timeout [1-9]' <<<"$out"; then
    echo "$3: wrk reports failures:" >&2
    echo "$out" >&2
    return 1
  fi
  awk '/^Requests\/sec:/ { rate = $2 } /^ +50%/ { p50 = $2 } /^ +90%/ { p90 = $2 }
       /^ +99%/ { p99 = $2 } END { printf "%.0f %s %s %s\n", rate, p50, p90, p99 }' <<<"$out"
}

echo "warming up"
warm=2
[[ "$smoke" == --smoke ]] && warm=1
seconds=$warm measure "http://127.0.0.1:$static_port" "$work/player.lua" static >/dev/null
seconds=$warm measure "http://127.0.0.1:$lb_port" "$work/player.lua" balancer >/dev/null

read -r static_rate static_p50 static_p90 static_p99 < <(
  measure "http://127.0.0.1:$static_port" "$work/player.lua" "nginx static")
read -r one_rate one_p50 one_p90 one_p99 < <(
  measure "http://127.0.0.1:$port_a" "$work/player.lua" "one host")
read -r single_rate single_p50 single_p90 single_p99 < <(
  measure "http://127.0.0.1:$single_port" "$work/player.lua" "nginx, one host")
read -r two_rate two_p50 two_p90 two_p99 < <(
  measure "http://127.0.0.1:$lb_port" "$work/player.lua" "nginx, two hosts")
read -r tls_rate tls_p50 tls_p90 tls_p99 < <(
  measure "https://127.0.0.1:$tls_port" "$work/player.lua" "nginx TLS, two hosts")
stored_before="$(cat "$work"/[ab].log | grep -c 'stored dedication' || true)"
read -r submit_rate submit_p50 submit_p90 submit_p99 < <(
  measure "http://127.0.0.1:$lb_port" "$work/submit.lua" "submissions")
stored="$(($(cat "$work"/[ab].log | grep -c 'stored dedication') - stored_before))"

echo
echo "Feed requests per second (wrk -t$threads -c$connections, ${seconds}s each, one connection per request):"
printf '  %-34s %8s   latency p50 %s, p90 %s, p99 %s\n' \
  "nginx, static file (reference)" "$static_rate" "$static_p50" "$static_p90" "$static_p99" \
  "one host, direct" "$one_rate" "$one_p50" "$one_p90" "$one_p99" \
  "nginx balancing one host" "$single_rate" "$single_p50" "$single_p90" "$single_p99" \
  "nginx balancing two hosts" "$two_rate" "$two_p50" "$two_p90" "$two_p99" \
  "the same over TLS (a handshake each)" "$tls_rate" "$tls_p50" "$tls_p90" "$tls_p99"
echo "Submissions per second through the balancer, each a new dedication stored:"
printf '  %-34s %8s   latency p50 %s, p90 %s, p99 %s (%s stored)\n' \
  "two hosts, one PostgreSQL" "$submit_rate" "$submit_p50" "$submit_p90" "$submit_p99" "$stored"
ratio="$(awk -v t="$two_rate" -v s="$single_rate" 'BEGIN { printf "%.2f", t / s }')"
echo "Ratio two hosts / one host behind nginx: $ratio"
