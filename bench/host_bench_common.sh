# Shared by the host benchmarks (sourced): free ports, the dedication forms a browser sends,
# the player's feed request for wrk, and the start of an nginx configuration that runs from a
# work folder; and tests/support/processes.sh, by which what they start ends with them.
# shellcheck source=tests/support/processes.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tests/support/processes.sh"

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Dedication forms numbered FIRST..LAST, one urlencoded GBK body a line, as a browser sends them.
gbk_forms() {  # first last
  python3 - "$1" "$2" <<'PY'
import sys, urllib.parse
for i in range(int(sys.argv[1]), int(sys.argv[2]) + 1):
    fields = [("beichenghu", "亲爱的"), ("beiname", f"小红{i}"), ("geming", "月亮代表我的心"),
              ("dizhi", f"http://music.example.com/songs/{i}.mp3"),
              ("neirong", f"第{i}条祝福：祝你生日快乐，天天开心，工作顺利，万事如意！"),
              ("dianchenghu", "老同学"), ("dianname", f"小明{i}")]
    print(urllib.parse.urlencode(fields, encoding="gbk"))
PY
}

# The player's request (HTTP/1.0, its User-Agent, "Accept: */*"), one connection each; wrk
# passes the path as the script's argument.
write_player_lua() {  # file
  cat >"$1" <<'LUA'
local request_text
function init(args)
  request_text = "GET " .. args[1] .. " HTTP/1.0\r\n" ..
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n" ..
    "Accept: */*\r\nHost: 127.0.0.1\r\n\r\n"
end
function request() return request_text end
LUA
}

# nginx.conf up to the opening of its http block, everything kept in folder/nginx; the caller
# writes the servers and closes the block.
nginx_conf_start() {  # folder workers connections
  mkdir -p "$1/nginx/temp"
  cat <<CONF
worker_processes $2;
daemon off;
pid $1/nginx/nginx.pid;
error_log $1/nginx/error.log;
events { worker_connections $3; }
http {
  access_log off;
  client_body_temp_path $1/nginx/temp/body;
  proxy_temp_path $1/nginx/temp/proxy;
  fastcgi_temp_path $1/nginx/temp/fastcgi;
  uwsgi_temp_path $1/nginx/temp/uwsgi;
  scgi_temp_path $1/nginx/temp/scgi;
CONF
}
