#!/usr/bin/env bash
# A throwaway PostgreSQL server for the board's tests, its bench and docs/board_hosts.sh:
# `start FOLDER` makes a cluster in a new private temporary folder, owned by an unprivileged
# user (initdb refuses root), on a free port of 127.0.0.1, and writes its URI to FOLDER/uri and its programs' folder to FOLDER/bin;
# `stop FOLDER` stops it and removes everything it made. `start FOLDER durable` syncs to disk as
# a real server does (for measuring); the tests' server does not.
set -euo pipefail
action=${1:?start or stop} folder=${2:?a folder} fsync=off
[ "${3:-}" = durable ] && fsync=on
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ ! -x "$bin/initdb" ]; then
  echo "postgres_cluster: no PostgreSQL server here (apt-get install postgresql)" >&2
  exit 1
fi
owner=$(id -un)
[ "$(id -u)" = 0 ] && owner=nobody
as_owner() { if [ "$owner" = "$(id -un)" ]; then "$@"; else runuser -u "$owner" -- "$@"; fi; }

case $action in
start)
  "$0" stop "$folder" 2>/dev/null || true
  mkdir -p "$folder"
  data=$(mktemp -d "${TMPDIR:-/tmp}/koravel-postgres.XXXXXX")
  echo "$data" >"$folder/data"
  chown "$owner" "$data"
  as_owner "$bin/initdb" -D "$data/cluster" -U koravel --auth=trust -E UTF8 --no-sync \
    >"$data/initdb.log" 2>&1 || { cat "$data/initdb.log" >&2; exit 1; }
  # A port below the kernel's ephemeral range, so no outgoing connection holds it; another
  # if it is taken.
  read -r low _ </proc/sys/net/ipv4/ip_local_port_range
  for _ in $(seq 1 20); do
    port=$((10000 + RANDOM % (low - 10000)))
    if as_owner "$bin/pg_ctl" -D "$data/cluster" -l "$data/server.log" -w -t 60 \
      -o "-p $port -k $data -c listen_addresses=127.0.0.1 -c fsync=$fsync -c max_connections=300" \
      start >/dev/null; then
      echo "postgresql://koravel@127.0.0.1:$port/postgres" >"$folder/uri"
      echo "$bin" >"$folder/bin"
      exit 0
    fi
  done
  cat "$data/server.log" >&2
  exit 1
  ;;
stop)
  [ -f "$folder/data" ] || exit 0
  data=$(cat "$folder/data")
  as_owner "$bin/pg_ctl" -D "$data/cluster" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$data" "$folder"
  ;;
esac
