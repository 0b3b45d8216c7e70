#!/usr/bin/env bash
# The real window under Xvfb: intervals between presented frames of play, CPU while playing,
# and peak memory. Usage: bench/window.sh [BUILD_DIR] [SECONDS_OF_PLAY]
# KEEP_PRESENT_LOG=FILE keeps the game's present log.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-20}
work=$(mktemp -d)
display=:$((100 + RANDOM % 800))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb $game 2>/dev/null; [ -z "${KEEP_PRESENT_LOG:-}" ] || cp "$work/presents" "$KEEP_PRESENT_LOG"; rm -rf "$work"' EXIT
export DISPLAY=$display SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy KORAVEL_PRESENT_LOG=$work/presents
sleep 1
mkdir -p "$work/game/scores"
cp -r "$build/koravel" "$build/gfx" "$build/sound" "$work/game/"
"$work/game/koravel" >/dev/null 2>&1 &
game=$!
window=$(timeout 10 xdotool search --sync --name '^Koravel$' | head -1)
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 400 300 mousedown 1 sleep 0.2 mouseup 1
sleep 19 # the level choice runs out: play starts at level 1
ticks() { awk '{ print $14 + $15 }' "/proc/$game/stat"; }
t0=$(ticks); s0=$(date +%s.%N)
sleep "$seconds"
t1=$(ticks); s1=$(date +%s.%N)
hz=$(getconf CLK_TCK)
peak=$(awk '/VmHWM/ { print $2 }' "/proc/$game/status")
kill -TERM $game; wait $game || true
# Intervals between consecutive pictures of play (Flip(0)), from one hand-over to the next. The
# first picture after a death or a level's zoom is left out: that frame's work was the sequence.
awk 'before == 0 && prev_sync == 0 && $2 == 0 { print ($1 - prev) / 1000 }
     { before = prev_sync; prev = $1; prev_sync = $2 }' "$work/presents" |
  sort -n > "$work/intervals"
n=$(wc -l < "$work/intervals")
awk -v n="$n" '{ v[NR] = $1 } END {
  printf "play frames: %d intervals, median %.3f ms, p99 %.3f ms, min %.3f ms, max %.3f ms\n",
         n, v[int(n / 2) + 1], v[int(n * 0.99) + 1], v[1], v[n] }' "$work/intervals"
# The same intervals measured once the display had accepted each picture.
awk 'before == 0 && prev_sync == 0 && $2 == 0 { print ($1 + $3 - prev) / 1000 }
     { before = prev_sync; prev = $1 + $3; prev_sync = $2 }' "$work/presents" | sort -n |
  awk '{ v[NR] = $1 } END {
  printf "  after presenting: median %.3f ms, p99 %.3f ms\n", v[int(NR / 2) + 1], v[int(NR * 0.99) + 1] }'
# What the display server took to accept each picture of play (X11: until it has copied it).
awk '$2 == 0 { print $3 / 1000 }' "$work/presents" | sort -n | awk '{ v[NR] = $1 } END {
  printf "presenting: median %.3f ms, p99 %.3f ms, max %.3f ms\n", v[int(NR / 2) + 1],
         v[int(NR * 0.99) + 1], v[NR] }'
awk -v a="$t0" -v b="$t1" -v s="$s0" -v e="$s1" -v hz="$hz" \
  'BEGIN { printf "CPU while playing: %.1f %% of one core\n", 100 * (b - a) / hz / (e - s) }'
echo "peak memory (VmHWM): $((peak / 1024)) MB"
