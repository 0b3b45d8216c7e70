#!/usr/bin/env bash
# The WebAssembly build of koravel-sim, run by node, must play every golden replay exactly as
# the native koravel-sim does: the same trace line for every frame and the same closing line,
# picture hash included. Usage: web/check_node.sh NATIVE_BUILD WASM_BUILD
set -euo pipefail
native=$(cd "$1" && pwd)
wasm=$(cd "$2" && pwd)
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/scores"
ln -s "$native/gfx" "$work/data/gfx"
ln -s "$native/sound" "$work/data/sound"
# Node 20's fetch trips Emscripten 3.1.6's loader on local files.
node_sim() { node --no-experimental-fetch "$wasm/koravel-sim.js" "$@"; }
status=0
for kvr in tests/replays/*.kvr; do
  name=$(basename "$kvr" .kvr)
  start=$(date +%s%N)
  a=$(node_sim --dir "$work/data" --replay "$kvr" --trace "$work/$name.wasm") || { echo "$name: node failed"; status=1; continue; }
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  b=$("$native/koravel-sim" --dir "$work/data" --replay "$kvr" --trace "$work/$name.native")
  if [ "$a" != "$b" ] || ! cmp -s "$work/$name.wasm" "$work/$name.native"; then
    echo "$name DIFFERS: node '$a', native '$b'"
    diff "$work/$name.native" "$work/$name.wasm" | head -n 4
    status=1
  else
    echo "$name: the same in both ($a; node took $ms ms)"
  fi
done
[ $status = 0 ] && echo "the WebAssembly build plays every golden replay as the native one"
exit $status
