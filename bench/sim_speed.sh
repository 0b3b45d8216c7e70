#!/usr/bin/env bash
# koravel-sim's speed: a whole autopilot game in frames per second, with pictures and without
# (--no-picture, as recordings are checked), a recording's replay without pictures, and the
# time from start to the first presented frame. Usage: bench/sim_speed.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scores"
ln -s "$build/gfx" "$work/gfx"
ln -s "$build/sound" "$work/sound"
sim="$build/koravel-sim --dir $work"
# One whole game of the autopilot (seed 1): until its game over.
$sim --seed 1 --bot player --frames 40000 --trace "$work/t.jsonl" >/dev/null
end=$(grep -m1 '"screen":"gameover"' "$work/t.jsonl" | sed 's/{"frame":\([0-9]*\).*/\1/')
start=$(date +%s.%N)
$sim --seed 1 --bot player --frames "$end" >/dev/null
stop=$(date +%s.%N)
awk -v f="$end" -v a="$start" -v b="$stop" 'BEGIN { printf "autopilot game: %d frames in %.2f s = %.0f frames/s\n", f, b - a, f / (b - a) }'
# The same game recorded, then replayed without pictures (best of 5, whole process).
$sim --seed 1 --bot player --frames "$end" --record "$work/game.kvr" >/dev/null
best=999999
for _ in $(seq 5); do
  a=$(date +%s%N); $sim --replay "$work/game.kvr" --no-picture >/dev/null; b=$(date +%s%N)
  t=$(( (b - a) / 1000 )); [ $t -lt $best ] && best=$t
done
awk -v f="$end" -v us="$best" 'BEGIN { printf "its replay without pictures: %.3f s = %.0f frames/s\n", us / 1e6, f / (us / 1e6) }'
best=999
for _ in $(seq 20); do
  a=$(date +%s%N); $sim --frames 1 >/dev/null; b=$(date +%s%N)
  t=$(( (b - a) / 1000000 )); [ $t -lt $best ] && best=$t
done
echo "start-up to the first presented frame (best of 20, whole process): $best ms"
