#!/usr/bin/env bash
# Remakes the README's pictures in docs/ with koravel-sim: ./docs/screenshots.sh [BUILD_DIR]
# [OUT_DIR] (another folder than docs/: to compare, as the tests do).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
docs=$(cd "${2:-$(dirname "$0")}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scores"
ln -s "$build/gfx" "$work/gfx"
ln -s "$build/sound" "$work/sound"
sim() { "$build/koravel-sim" --dir "$work" "$@" >/dev/null; }

# The title at full size, and the instructions with their loop.
sim --frames 950 --shot "190:$docs/title.png" --shot "949:$docs/instructions.png"

# The level choice, scrolled to the highest levels, and a busy level 51 chosen from it.
{
  echo "10 press left"; echo "12 release left"
  for f in $(seq 13 82); do echo "$f move 700 400"; done
  awk 'BEGIN { for (i = 0; i < 14; i++) { a = 2 * 3.14159265 * i / 12; r = 40 + 2 * i;
       printf "%d move %d %d\n", 83 + i, int(605 + r * cos(a)), int(405 + r * sin(a)) } }'
} > "$work/high.txt"
sim --seed 5 --frames 420 --input "$work/high.txt" --shot "90:$docs/level-choice.png" --shot "400:$docs/level51.png"

# The autopilot's loop around the whole molecule of level 1, in the frame it closes (the trace
# says "looping" with every nucleus still in play).
"$build/koravel-sim" --dir "$work" --seed 3 --bot player --frames 120 --shot "108:$docs/loop.png" >/dev/null

# The initials entry, after a game that any score beats.
for i in $(seq 10); do printf -- '-1\r\n1\r\nZZ\r\n'; done > "$work/scores/hiscores.dat"
"$build/koravel-sim" --dir "$work" --seed 5 --bot player --frames 30000 --trace "$work/t.jsonl" >/dev/null
frame=$(grep -m1 '"screen":"highscore"' "$work/t.jsonl" | sed 's/{"frame":\([0-9]*\).*/\1/')
for i in $(seq 10); do printf -- '-1\r\n1\r\nZZ\r\n'; done > "$work/scores/hiscores.dat"
"$build/koravel-sim" --dir "$work" --seed 5 --bot player --frames $((frame + 60)) --shot "$((frame + 50)):$docs/initials.png" >/dev/null
echo "pictures written to $docs"
