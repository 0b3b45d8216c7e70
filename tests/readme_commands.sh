#!/usr/bin/env bash
# Runs every command of the README, in the README's order, in this checkout: each must work
# whatever ran before it. The game is started with --version (there is no display here), and
# the command that serves the browser build runs only until the page has been fetched; the
# installed game and package are checked, lintian must have nothing to say of the package, and
# what was installed is removed again. Run as root on a clean clone (this is CI).
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "FAIL: $*" >&2; exit 1; }

# A server runs until stopped: it must answer with the page and the game's files, then stops.
serves_page() {
  local port
  port=$(grep -o 'http.server [0-9]*' <<<"$1" | grep -o '[0-9]*$')
  setsid bash -c "$1" >/dev/null 2>&1 &
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
  local home ok=1
  home=$(mktemp -d)
  HOME=$home setsid bash -c "$1" >/dev/null 2>&1 &
  local server=$!
  for _ in $(seq 100); do
    if python3 - 2>/dev/null <<'PY'; then ok=0; break; fi
import json, urllib.request
assert json.load(urllib.request.urlopen("http://127.0.0.1:8642/api/top")) == []
PY
    sleep 0.1
  done
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
done

# What the install commands left: the game under /usr/local and the package in /usr/games.
/usr/local/bin/koravel --version | grep -q '^koravel ' || fail "the /usr/local install"
/usr/games/koravel --version | grep -q '^koravel ' || fail "the package's /usr/games/koravel"
deb=$(ls build-deb/koravel_*.deb | head -1)
lintian --fail-on error,warning --tag-display-limit 0 "$deb" > lintian.txt 2>&1 ||
  { cat lintian.txt; fail "lintian has remarks on $deb"; }
grep -E '^[EW]:' lintian.txt && fail "lintian has remarks on $deb"
rm -f lintian.txt
apt-get remove -y koravel >/dev/null
xargs rm -f < build/install_manifest.txt
echo "README commands passed"
