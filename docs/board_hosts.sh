#!/usr/bin/env bash
# The board as it grows past one machine, tried on this one: a throwaway PostgreSQL server, a
# front end that verifies nothing behind nginx (the site tools/nginx_site.sh writes), two
# verifier workers; a game sent through nginx with curl and stored; a pg_dump of the board
# restored into a new database and served. Everything it starts is stopped and removed.
# Usage: docs/board_hosts.sh BUILD (a build folder with koravel-board, koravel-sim and the
# game's data; needs Debian's postgresql, nginx and curl)
set -euo pipefail
build=$(cd "${1:?usage: board_hosts.sh BUILD}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  "$source_dir/tools/postgres_cluster.sh" stop "$work/postgres"
  rm -rf "$work"
}
trap cleanup EXIT
say() { echo "board_hosts: $*"; }
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

"$source_dir/tools/postgres_cluster.sh" start "$work/postgres"
server=$(cat "$work/postgres/uri")
bin=$(cat "$work/postgres/bin")
# On a real database host: sudo -u postgres createuser koravel; sudo -u postgres createdb -O koravel koravel
"$bin/psql" -q "$server" -c "CREATE DATABASE koravel" -c "CREATE DATABASE koravel_restored"
db=${server%/*}/koravel

# NAME OPTIONS...: koravel-board in the background, once it has said it is ready.
start() {
  local name=$1
  shift
  "$build/koravel-board" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$work/$name.out" ] && return
    sleep 0.05
  done
  cat "$work/$name.err" >&2
  exit 1
}
start front --db "$db" --listen 127.0.0.1:0 --verifiers 0 --behind-proxy
front=$(grep -o '127.0.0.1:[0-9]*' "$work/front.out")
start worker1 --worker --db "$db" --verifiers 1
start worker2 --worker --db "$db" --verifiers 1
say "a front end at $front and two workers share $db"

port=$(free_port)
"$source_dir/tools/nginx_site.sh" --ipv6 off --board "$front" --listen "$port" \
  --cache "$work/cache" --standalone "$work" >"$work/nginx.conf"
nginx -p "$work" -c "$work/nginx.conf" -e "$work/nginx.log" -g 'daemon off;' &
pids+=($!)
until curl -sf "http://127.0.0.1:$port/healthz" >/dev/null; do sleep 0.1; done
say "nginx in front at 127.0.0.1:$port"

"$build/koravel-sim" --dir "$build" --no-picture --bot random --seed 1 --frames 1200 \
  --record "$work/game.kvr" >/dev/null
id=$(curl -sf -H 'Content-Type: application/octet-stream' --data-binary @"$work/game.kvr" \
  "http://127.0.0.1:$port/api/games" | grep -o '"id":[0-9]*' | grep -o '[0-9]*$')
for _ in $(seq 600); do
  verdict=$(curl -sf "http://127.0.0.1:$port/api/submissions/$id")
  [[ $verdict == *'"stored"'* || $verdict == *'"refused"'* ]] && break
  sleep 0.1
done
[[ $verdict == *'"stored"'* ]] || { say "the game was not stored: $verdict" >&2; exit 1; }
say "a game sent through nginx was verified by a worker and stored: $verdict"

"$bin/pg_dump" -Fc -f "$work/board.dump" "$db"
"$bin/pg_restore" -d "${server%/*}/koravel_restored" "$work/board.dump"
start restored --db "${server%/*}/koravel_restored" --listen 127.0.0.1:0
restored=$(grep -o '127.0.0.1:[0-9]*' "$work/restored.out")
game=$(grep -o '"game":[0-9]*' <<<"$verdict" | grep -o '[0-9]*$')
curl -sf "http://$restored/api/games/$game" >/dev/null || { say "the restored board lacks game $game" >&2; exit 1; }
say "a pg_dump of it, restored into a new database, serves the same games"
