#!/usr/bin/env bash
# Runs every command of the README, in the README's order, in this checkout: each must work
# whatever ran before it. The game is started with --version (there is no display here), and
# the command that serves the browser build runs only until the page has been fetched; the
# installed game and package are checked, lintian must have nothing to say of the package, and
# what was installed is removed again. Run as root on a clean clone (this is CI).
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "FAIL: $*" >&2; exit 1; }
# The README's servers run on free ports here, so that two runs on one host never meet.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A server runs until stopped: it must answer with the page and the game's files, then stops.
serves_page() {
  local said port cmd
  said=$(grep -o 'http.server [0-9]*' <<<"$1" | grep -o '[0-9]*$')
  port=$(free_port)
  cmd=${1/http.server $said/http.server $port}
  setsid bash -c "$cmd" >/dev/null 2>&1 &
  local server=$! ok=1
  for _ in $(seq 100); do
    if python3 - "$port" 2>/dev/null <<'PY'; then ok=0; break; fi
import sys, urllib.request
base = f"http://127.0.0.1:{sys.argv[1]}/"
assert b"koravel.js" in urllib.request.urlopen(base).read()
assert urllib.request.urlopen(base + "koravel.wasm").read()[:4] == b"\0asm"
PY
    sleep 0.1
  done
  kill -- -"$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  return $ok
}

# The board runs until stopped, with its database in a home of its own: it must answer.
serves_board() {
  local home ok=1 port
  home=$(mktemp -d)
  port=$(free_port)
  HOME=$home setsid bash -c "${1%$'\n'} --listen 127.0.0.1:$port" >/dev/null 2>&1 &
  local server=$!
  for _ in $(seq 100); do
    if python3 - "$port" 2>/dev/null <<'PY'; then ok=0; break; fi
import json, sys, urllib.request
assert json.load(urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}/api/top")) == []
PY
    sleep 0.1
  done
  # The README's curl commands, as written but for the port and the file: a game is taken (202)
  # and followed to its verdict.
  if [ $ok = 0 ]; then
    ./build/koravel-sim --dir build --no-picture --bot random --seed 1 --frames 1200 \
      --record "$home/game.kvr" >/dev/null
    local upload follow
    upload=$(grep -m1 "^curl -i -H 'Content-Type: application/octet-stream' --data-binary @game.kvr" README.md)
    follow=$(grep -m1 '^curl http://127.0.0.1:8642/api/submissions/1$' README.md)
    upload=${upload//@game.kvr/@$home/game.kvr}
    bash -c "${upload//8642/$port}" 2>/dev/null | grep -q '^HTTP/1.1 202' || { echo "the README's curl upload was not taken"; ok=1; }
    for _ in $(seq 100); do
      bash -c "${follow//8642/$port}" 2>/dev/null | grep -q '"state":"stored"' && break
      sleep 0.1
    done
    bash -c "${follow//8642/$port}" 2>/dev/null | grep -q '"state":"stored"' || { echo "the README's upload was not stored"; ok=1; }
    # And the day's field: an attempt issued, today's commitment read.
    local attempt daily
    attempt=$(grep -m1 '^curl -X POST http://127.0.0.1:8642/api/attempts$' README.md)
    daily=$(grep -m1 '^curl http://127.0.0.1:8642/api/daily$' README.md)
    bash -c "${attempt//8642/$port}" 2>/dev/null | grep -q '"token":"[0-9a-f]\{32\}"' || { echo "the README's attempt was not issued"; ok=1; }
    bash -c "${daily//8642/$port}" 2>/dev/null | grep -q '"commitment":"[0-9a-f]\{64\}"' || { echo "the README's daily field was not read"; ok=1; }
  fi
  kill -- -"$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  [ -f "$home/.local/share/koravel/board.sqlite3" ] || ok=1
  rm -rf "$home"
  return $ok
}

mapfile -d '' blocks < <(awk '/^```sh$/ {on=1; block=""; next}
                               /^```$/ && on {on=0; printf "%s%c", block, 0; next}
                               on {block = block $0 "\n"}' README.md)
[ "${#blocks[@]}" -ge 5 ] || fail "expected at least five README commands, found ${#blocks[@]}"
# What the commands leave in the temporary folder: nothing of koravel's (tests, boards and
# their verifiers make private folders and remove them).
leftovers() { find "${TMPDIR:-/tmp}" -maxdepth 1 -iname '*koravel*' 2>/dev/null | sort; }
before=$(leftovers)
for i in "${!blocks[@]}"; do
  cmd=${blocks[$i]}
  if [ "$i" = 0 ]; then
    [[ $cmd == *'&& ./build/koravel'$'\n' ]] || fail "the first command should start the game"
    cmd=${cmd%$'\n'}' --version'
  fi
  echo "=== README command $((i + 1)) of ${#blocks[@]}: ${cmd:0:100}..."
  start=$(date +%s)
  if [[ $cmd == *http.server* ]]; then
    serves_page "$cmd" || fail "README command $((i + 1)) did not serve the page"
  elif [[ $cmd == *koravel-board* ]]; then
    serves_board "$cmd" || fail "README command $((i + 1)) did not serve the board"
  else
    bash -euo pipefail -c "$cmd" || fail "README command $((i + 1)) failed"
  fi
  echo "=== README command $((i + 1)) took $(( $(date +%s) - start )) s"
  # The player's build: none of the board's libraries.
  if [ "$i" = 0 ] && ldd build/koravel build/koravel-sim | grep -E 'libpq|libmicrohttpd|libsqlite3'; then
    fail "the play command's build links the board's libraries"
  fi
done

left=$(comm -13 <(echo "$before") <(leftovers))
[ -z "$left" ] || fail "the README's commands left in the temporary folder: $left"

# What the install commands left: the game under /usr/local and the package in /usr/games.
/usr/local/bin/koravel --version | grep -q '^koravel ' || fail "the /usr/local install"
/usr/games/koravel --version | grep -q '^koravel ' || fail "the package's /usr/games/koravel"
deb=$(ls build-deb/koravel_*.deb | head -1)
lintian --fail-on error,warning --tag-display-limit 0 "$deb" > lintian.txt 2>&1 ||
  { cat lintian.txt; fail "lintian has remarks on $deb"; }
grep -E '^[EW]:' lintian.txt && fail "lintian has remarks on $deb"
rm -f lintian.txt
apt-get remove -y koravel >/dev/null
# The /usr/local install removed as README says: nothing of the game is left.
remove=$(grep -m1 '^xargs rm -f < build/install_manifest.txt' README.md) || fail "README says not how to remove the install"
bash -euo pipefail -c "$remove"
left=$(find /usr/local -path '*koravel*' | head -5)
[ -z "$left" ] || fail "removing the /usr/local install as README says leaves $left"
echo "README commands passed"
