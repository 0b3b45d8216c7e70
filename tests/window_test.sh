#!/usr/bin/env bash
# The real program in a real X window under Xvfb: it starts from any folder, draws its title,
# answers the mouse, and ends with status 0 and a saved table when its window is closed,
# on Escape, or on SIGTERM.
set -u
build=$1
wm_close=$2
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xwd >/dev/null ||
  { echo "Xvfb, xdotool or xwd missing: skipped"; exit 77; }

work=$(mktemp -d)
display=:$((100 + RANDOM % 800))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; kill $game 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
export DISPLAY=$display SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
# In a sanitizer build, D-Bus and X11 keep memory until exit that LeakSanitizer cannot even
# attribute; the game's own leaks are checked by the headless tests and runs.
export ASAN_OPTIONS=detect_leaks=0
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

fail() { echo "FAIL: $*"; exit 1; }
mkdir -p "$work/game/scores" "$work/elsewhere"
cp -r "$build/koravel" "$build/gfx" "$build/sound" "$work/game/"
ln -s "$build/gfx" "$work/sim/gfx" 2>/dev/null || { mkdir -p "$work/sim"; ln -s "$build/gfx" "$work/sim/gfx"; }
ln -s "$build/sound" "$work/sim/sound"

start() {
  (cd "$work/elsewhere" && KORAVEL_TRACE="$work/real.trace" XDG_DATA_HOME="$work/data" \
     exec "$work/game/koravel" >"$work/out" 2>&1) &
  game=$!
  window=$(timeout 10 xdotool search --sync --name '^Koravel$' | head -1)
  [ -n "$window" ] || fail "no window appeared"
  xdotool windowfocus --sync "$window" 2>/dev/null
}

shot() { xwd -root -silent | convert xwd:- "$work/$1.png"; }
finish() { # waits for the game to end and sets status
  for _ in $(seq 100); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
  kill -0 $game 2>/dev/null && fail "the game did not end"
  wait $game; status=$?
}
table_ok() {
  [ "$(grep -c $'\r$' "$work/game/scores/hiscores.dat")" = 30 ] || fail "score table not saved as 30 CR LF lines"
  rm -f "$work/game/scores/hiscores.dat"
}

# 1. Title, a click, a loop around the first level box, play, Escape out of the game, and the
#    close button.
start
sleep 2.5
shot title
[ "$(convert "$work/title.png" -crop 600x120+100+60 -format '%[fx:maxima.b > 0.4 && maxima.r < 0.1]' info:)" = 1 ] ||
  fail "the title is not drawn in blue"
xdotool mousemove --window "$window" 400 300 mousedown 1 && sleep 0.2 && xdotool mouseup 1
sleep 0.8
shot choice
[ "$(convert "$work/choice.png" -crop 500x60+170+395 -format '%[fx:maxima.r > 0.9]' info:)" = 1 ] ||
  fail "the level choice is not shown"
# The point follows the mouse's motion: from the centre down to the first box (205, 405) and
# round it, crossing the way in, in small steps as a real mouse reports them.
moves=()
for d in "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" \
         "-17 -3" "-17 -3" "-17 -3" "-18 -2" "-17 -3" "-17 -3" "-17 -3" "-17 -3" "-17 -3" "-17 -3" \
         "-18 -2" "-17 -3" "-17 -3" "-17 -3" "10 -16" "10 -16" "10 -4" "11 -3" "10 -11" "16 3" "5 17" \
         "-12 13" "-10 -2" "-9 -2" "-3 -10" "-3 -9" "14 -17"; do
  moves+=(mousemove_relative -- $d sleep 0.03)
done
xdotool "${moves[@]}"
sleep 1.5
shot play
[ "$(convert "$work/play.png" -crop 100x30+60+0 -format '%[fx:maxima.b > 0.5]' info:)" = 1 ] ||
  fail "no score display in play"
[ "$(convert "$work/play.png" -crop 120x30+560+545 -format '%[fx:maxima.b > 0.5]' info:)" = 1 ] ||
  fail "no level display in play"
xdotool mousemove_relative -- 12 -9 sleep 0.1 mousemove_relative -- 12 -9
xdotool key Escape
sleep 1
shot back
[ "$(convert "$work/back.png" -crop 100x30+60+0 -format '%[fx:maxima.b]' info:)" = 0 ] ||
  fail "Escape did not leave the game"
"$wm_close" "$window"
finish; [ $status = 0 ] || fail "closing the window ended with status $status"
table_ok

# The game just played was recorded: koravel-sim replays it to the same frames (all but the
# real milliseconds).
kvr="$work/data/koravel/replays/last.kvr"
[ -f "$kvr" ] || fail "the game was not recorded"
mkdir -p "$work/sim/scores"
"$build/koravel-sim" --dir "$work/sim" --replay "$kvr" --trace "$work/sim.trace" >/dev/null 2>"$work/sim.err" ||
  { cat "$work/sim.err"; fail "koravel-sim could not replay the recording"; }
frames=$(wc -l < "$work/sim.trace")
[ "$frames" -gt 200 ] || fail "the replay is too short ($frames frames)"
strip() { head -n "$frames" "$1" | sed 's/"ms":[0-9]*,//'; }
if ! diff <(strip "$work/real.trace") <(strip "$work/sim.trace") > "$work/trace.diff"; then
  head -n 4 "$work/trace.diff"
  fail "the replay differs from the real game"
fi

# 2. Escape held at the title ends every screen at once, then the program.
start
xdotool keydown Escape
sleep 0.5
xdotool keyup Escape
finish; [ $status = 0 ] || fail "Escape did not end the program with status 0"
table_ok

# 3. SIGTERM ends it the same way.
start
sleep 1
kill -TERM $game
finish; [ $status = 0 ] || fail "SIGTERM did not end with status 0"
table_ok

# 4. Watching a recorded game: Escape ends it early, status 0, and nothing is saved.
(cd "$work/elsewhere" && exec "$work/game/koravel" --replay "$here/replays/photon-death.kvr" \
   >"$work/out" 2>&1) &
game=$!
window=$(timeout 10 xdotool search --sync --name '^Koravel$' | head -1)
xdotool windowfocus --sync "$window" 2>/dev/null
sleep 2
xdotool key Escape
finish; [ $status = 0 ] || fail "the replay ended with status $status"
[ ! -e "$work/game/scores/hiscores.dat" ] || fail "watching a replay saved the score table"

# 5. No display: one clear line and status 1.
out=$(DISPLAY=:9999 "$work/game/koravel" 2>&1); status=$?
[ $status = 1 ] || fail "without a display the status was $status"
[ "$(echo "$out" | wc -l)" = 1 ] && echo "$out" | grep -q 'cannot open a display' || fail "unclear message: $out"
echo "window tests passed"
