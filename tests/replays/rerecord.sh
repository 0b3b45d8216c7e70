#!/usr/bin/env bash
# Rewrites the expected trace of every golden replay, after a change to the game that is meant:
#   tests/replays/rerecord.sh build
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$build/gfx" "$work/gfx"
ln -s "$build/sound" "$work/sound"
for kvr in "$here"/*.kvr; do
  rm -rf "$work/scores" && mkdir "$work/scores"
  "$build/koravel-sim" --dir "$work" --replay "$kvr" --trace "${kvr%.kvr}.trace" >/dev/null
  echo "$(basename "$kvr"): $(wc -l < "${kvr%.kvr}.trace") frames"
done
