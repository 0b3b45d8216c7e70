#!/usr/bin/env bash
# Writes an nginx site for koravel-board to standard output: nginx takes every client, holds
# slow ones to its own timeouts, caps uploads at 4 MiB, limits each address's requests and
# connections, caches the page at /play, and hands whole requests to the board (started with
# --behind-proxy) over kept-open connections. With --cert and --key it serves HTTPS and sends
# plain HTTP there.
#
#   tools/nginx_site.sh --name scores.example.org --cert /etc/ssl/koravel.pem \
#     --key /etc/ssl/private/koravel.key >/etc/nginx/sites-available/koravel
set -euo pipefail
name=_ board=127.0.0.1:8642 listen=80 tls_listen=443 cert= key= cache=/var/cache/nginx/koravel
rate=10 uploads=30 per_client=32 timeout=10 ipv6=on standalone=
usage() {
  cat <<'EOF'
usage: nginx_site.sh [--name HOST] [--board ADDR:PORT] [--listen PORT] [--tls-listen PORT]
                     [--cert FILE --key FILE] [--cache DIR] [--rate N] [--uploads N]
                     [--per-client N] [--timeout SECONDS]
  --name HOST        the server's name (default: any)
  --board ADDR:PORT  where koravel-board listens (default 127.0.0.1:8642)
  --listen PORT      plain HTTP (default 80); --tls-listen PORT: HTTPS (default 443)
  --cert, --key      a certificate and its key: serve HTTPS, and send HTTP there
  --cache DIR        where /play is cached (default /var/cache/nginx/koravel)
  --rate N           requests a second from one address (default 10, bursts of 4 times that)
  --uploads N        uploads a minute from one address (default 30)
  --per-client N     requests in progress at once from one address (default 32)
  --timeout SECONDS  for a client's headers, between the pieces of its body, and for it to
                     take an answer (default 10)
  --ipv6 on|off      listen on IPv6 too (default on)
  --standalone DIR   a whole nginx.conf instead, keeping its pid, logs and temporary files
                     in DIR: for trying the site without a system nginx (`nginx -p DIR -c FILE`)
EOF
}
while [ $# -gt 0 ]; do
  case $1 in -h | --help) usage; exit 0 ;; esac
  [ $# -ge 2 ] || { echo "nginx_site.sh: $1 needs a value" >&2; exit 2; }
  case $1 in
  --name) name=$2 ;;
  --board) board=$2 ;;
  --listen) listen=$2 ;;
  --tls-listen) tls_listen=$2 ;;
  --cert) cert=$2 ;;
  --key) key=$2 ;;
  --cache) cache=$2 ;;
  --rate) rate=$2 ;;
  --uploads) uploads=$2 ;;
  --per-client) per_client=$2 ;;
  --timeout) timeout=$2 ;;
  --ipv6) ipv6=$2 ;;
  --standalone) standalone=$2 ;;
  *) echo "nginx_site.sh: unknown option '$1'" >&2; usage >&2; exit 2 ;;
  esac
  shift 2
done
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  echo "nginx_site.sh: --cert and --key go together" >&2
  exit 2
fi
# A whole configuration around the site, everything nginx writes kept in the folder given.
if [ -n "$standalone" ]; then
  [ "$(id -u)" = 0 ] && echo "user root;"
  cat <<EOF
worker_processes 1;
worker_rlimit_nofile 16384;
pid $standalone/nginx.pid;
events { worker_connections 8192; }
http {
access_log $standalone/access.log;
client_body_temp_path $standalone/body;
proxy_temp_path $standalone/proxy;
fastcgi_temp_path $standalone/fastcgi;
uwsgi_temp_path $standalone/uwsgi;
scgi_temp_path $standalone/scgi;
EOF
  trap 'echo "}"' EXIT
fi

v6() { if [ "$ipv6" = on ]; then echo "$1"; else echo "    # (no IPv6)"; fi; }

cat <<EOF
# koravel-board behind nginx (written by tools/nginx_site.sh). Start the board with
# --behind-proxy: it then takes the client's address from X-Forwarded-For, which this site
# sets to the address nginx saw (never the client's own say).
upstream koravel_board {
    server $board;
    keepalive 32;
}
limit_req_zone \$binary_remote_addr zone=koravel_requests:10m rate=${rate}r/s;
limit_req_zone \$binary_remote_addr zone=koravel_uploads:10m rate=${uploads}r/m;
limit_conn_zone \$binary_remote_addr zone=koravel_clients:10m;
proxy_cache_path $cache levels=1:2 keys_zone=koravel_play:1m max_size=64m inactive=7d
                 use_temp_path=off;

EOF
if [ -n "$cert" ]; then
  cat <<EOF
server {
    listen $listen;
$(v6 "    listen [::]:$listen;")
    server_name $name;
    return 301 https://\$host$([ "$tls_listen" = 443 ] || echo ":$tls_listen")\$request_uri;
}

server {
    listen $tls_listen ssl http2;
$(v6 "    listen [::]:$tls_listen ssl http2;")
    ssl_certificate $cert;
    ssl_certificate_key $key;
    ssl_protocols TLSv1.2 TLSv1.3;
    ssl_session_cache shared:koravel_tls:10m;
    add_header Strict-Transport-Security "max-age=31536000" always;
EOF
else
  cat <<EOF
server {
    listen $listen;
$(v6 "    listen [::]:$listen;")
EOF
fi
cat <<EOF
    server_name $name;

    # A slow client costs nginx a little memory, never the board a connection.
    client_header_timeout ${timeout}s;
    client_body_timeout ${timeout}s;
    send_timeout ${timeout}s;
    keepalive_timeout 15s;
    client_max_body_size 4m;
    client_body_buffer_size 256k;
    limit_conn koravel_clients $per_client;
    limit_req zone=koravel_requests burst=$((rate * 4)) nodelay;
    limit_req_status 429;
    limit_conn_status 429;

    proxy_http_version 1.1;
    proxy_set_header Connection "";
    proxy_set_header Host \$host;
    proxy_set_header X-Forwarded-For \$remote_addr;
    proxy_set_header X-Forwarded-Proto \$scheme;
    proxy_connect_timeout 5s;
    proxy_read_timeout 60s;

    # An attempt at the day's field is kept by the board: asked for as often as games are sent.
    location = /api/attempts {
        limit_req zone=koravel_uploads burst=10 nodelay;
        proxy_pass http://koravel_board;
    }

    location = /api/games {
        limit_req zone=koravel_uploads burst=10 nodelay;
        # Whole bodies only: the board sees an upload once it has all arrived.
        proxy_request_buffering on;
        proxy_pass http://koravel_board;
    }

    # The page: kept here a minute at a time, then revalidated with the board's ETag; browsers
    # revalidate with nginx as the board tells them. gzip copies are kept beside the plain.
    location /play/ {
        proxy_cache koravel_play;
        proxy_ignore_headers Cache-Control Expires;
        proxy_cache_valid 200 1m;
        proxy_cache_revalidate on;
        proxy_cache_use_stale error timeout updating;
        proxy_cache_lock on;
        add_header X-Cache-Status \$upstream_cache_status always;
        proxy_pass http://koravel_board;
    }

    location / {
        proxy_pass http://koravel_board;
    }
}
EOF
