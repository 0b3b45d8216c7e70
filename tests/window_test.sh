#!/usr/bin/env bash
# The real program in a real X window under Xvfb: it starts from any folder, draws its title,
# answers the mouse, and ends with status 0 and a saved table when its window is closed,
# on Escape, or on SIGTERM.
set -u
build=$(cd "$1" && pwd) # absolute: the links made below must hold from anywhere
wm_close=$2
here=$(cd "$(dirname "$0")" && pwd)
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xwd >/dev/null &&
  command -v xlogo >/dev/null || { echo "Xvfb, xdotool, xwd or xlogo missing: skipped"; exit 77; }

work=$(mktemp -d)
# Xvfb picks a free display itself, so that two runs side by side never meet.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(head -n 1 "$work/display")
trap 'kill $xvfb 2>/dev/null; kill $game 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
export DISPLAY=$display SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
# In a sanitizer build, D-Bus and X11 keep memory until exit that LeakSanitizer cannot even
# attribute; the game's own leaks are checked by the headless tests and runs.
export ASAN_OPTIONS=detect_leaks=0
for _ in $(seq 600); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

fail() { echo "FAIL after $SECONDS s: $*"; exit 1; }
note() { echo "[$SECONDS s] $*"; }
mkdir -p "$work/game/scores" "$work/elsewhere"
cp -r "$build/koravel" "$build/gfx" "$build/sound" "$work/game/"
ln -s "$build/gfx" "$work/sim/gfx" 2>/dev/null || { mkdir -p "$work/sim"; ln -s "$build/gfx" "$work/sim/gfx"; }
ln -s "$build/sound" "$work/sim/sound"

# The game is seeded (KORAVEL_SEED=2: no nucleus reaches the point standing in the middle of
# level 1 for 1800 frames) and every wait is for something the game's own trace shows, with a
# generous limit, so a busy machine slows the test down but never fails it.
trace=$work/real.trace
start() { # [COMMAND...]: what runs the game (env -u VAR, say)
  rm -f "$trace"
  (cd "$work/elsewhere" && KORAVEL_SEED=2 KORAVEL_TRACE="$trace" XDG_DATA_HOME="$work/data" \
     XDG_CONFIG_HOME="$work/config" \
     exec "$@" "$work/game/koravel" >"$work/out" 2>&1) &
  game=$!
  window=$(timeout 60 xdotool search --sync --name '^Koravel$' | head -1)
  [ -n "$window" ] || fail "no window appeared"
  xdotool windowfocus --sync "$window" 2>/dev/null
}

# wait_for WHAT COMMAND...: until the command succeeds, at most 60 s.
wait_for() {
  local what=$1; shift
  for _ in $(seq 600); do "$@" && return 0; kill -0 $game 2>/dev/null || break; sleep 0.1; done
  "$@" || fail "waiting for $what: $(tail -n 1 "$trace" 2>/dev/null | cut -c1-120)"
}
frames() { [ -f "$trace" ] && wc -l < "$trace" || echo 0; }
more_frames_than() { [ "$(frames)" -gt "$1" ]; }
screen_is() { tail -n 1 "$trace" 2>/dev/null | grep -q "\"screen\":\"$1\""; }
# At least N frames of this screen in a row at the end of the trace.
shown_for() { [ "$(tail -n "$2" "$trace" 2>/dev/null | grep -c "\"screen\":\"$1\"")" = "$2" ]; }
# The game presents nothing for 2.5 s, longer than any pause between its screens: it waits in
# the background.
paused() { local n; n=$(frames); sleep 2.5; [ "$(frames)" = "$n" ]; }

shot() { xwd -root -silent | convert xwd:- "$work/$1.png"; }
# shot_of SCREEN N NAME: a picture taken after N frames of the screen and before it ended.
shot_of() {
  for _ in 1 2 3 4 5; do
    wait_for "$1" shown_for "$1" "$2"
    shot "$3"
    screen_is "$1" && return 0
  done
  fail "no picture of $1 could be taken while it was shown"
}
finish() { # waits for the game to end (at most 60 s) and sets status
  for _ in $(seq 600); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
  kill -0 $game 2>/dev/null && fail "the game did not end"
  wait $game; status=$?
}
table_ok() {
  [ "$(grep -c $'\r$' "$work/game/scores/hiscores.dat")" = 30 ] || fail "score table not saved as 30 CR LF lines"
  rm -f "$work/game/scores/hiscores.dat"
}

note "1. Title, a click, a loop around a level box, play, Escape out of the game, the close button."
start
shot_of title 190 title # the title has zoomed in whole by its 180th frame
[ "$(convert "$work/title.png" -crop 600x120+100+60 -format '%[fx:maxima.b > 0.4 && maxima.r < 0.1]' info:)" = 1 ] ||
  fail "the title is not drawn in blue"
xdotool mousemove --window "$window" 400 300 mousedown 1 && sleep 0.2 && xdotool mouseup 1
shot_of picklevel 10 choice
[ "$(convert "$work/choice.png" -crop 500x60+170+395 -format '%[fx:maxima.r > 0.9]' info:)" = 1 ] ||
  fail "the level choice is not shown"
# The point follows the mouse's motion: from the centre down to the first box (205, 405) and
# round it, crossing the way in, in small steps as a real mouse reports them. However slowly
# they arrive, level 1 follows (circled, or chosen when the choice runs out).
moves=()
for d in "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" "-1 18" \
         "-17 -3" "-17 -3" "-17 -3" "-18 -2" "-17 -3" "-17 -3" "-17 -3" "-17 -3" "-17 -3" "-17 -3" \
         "-18 -2" "-17 -3" "-17 -3" "-17 -3" "10 -16" "10 -16" "10 -4" "11 -3" "10 -11" "16 3" "5 17" \
         "-12 13" "-10 -2" "-9 -2" "-3 -10" "-3 -9" "14 -17"; do
  moves+=(mousemove_relative -- $d sleep 0.03)
done
xdotool "${moves[@]}"
shot_of play 20 play
[ "$(convert "$work/play.png" -crop 100x30+60+0 -format '%[fx:maxima.b > 0.5]' info:)" = 1 ] ||
  fail "no score display in play"
[ "$(convert "$work/play.png" -crop 120x30+560+545 -format '%[fx:maxima.b > 0.5]' info:)" = 1 ] ||
  fail "no level display in play"
xdotool mousemove_relative -- 12 -9 sleep 0.1 mousemove_relative -- 12 -9
# P pauses: the field gives way to PAUSED in the game's letters; M turns the sound off, saved
# in the player's settings; P goes on.
xdotool key p
shot_of paused 10 paused
[ "$(convert "$work/paused.png" -crop 300x60+250+245 -format '%[fx:maxima.g > 0.9 && maxima.r < 0.1]' info:)" = 1 ] ||
  fail "the pause does not say PAUSED"
xdotool key m
wait_for "the sound turned off and saved" grep -qx 'muted 1' "$work/config/koravel/settings"
xdotool key p
wait_for "play again after the pause" shown_for play 5
# The arrow keys steer the point as the mouse does (recorded as motion: the replay below holds it).
x_now() { tail -n 1 "$trace" | sed 's/.*"x":\([0-9]*\).*/\1/'; }
before_x=$(x_now)
xdotool keydown Right sleep 0.6 keyup Right
moved_right() { [ "$(x_now)" -gt $((before_x + 40)) ]; }
wait_for "the right arrow to move the point" moved_right
# Escape leaves the game; pressed again if it came while a frame was not listening.
for _ in 1 2 3; do
  xdotool key Escape
  for _ in $(seq 50); do screen_is play || break; sleep 0.1; done
  screen_is play || break
done
wait_for "the title after Escape" shown_for title 5
shot back
[ "$(convert "$work/back.png" -crop 100x30+60+0 -format '%[fx:maxima.b]' info:)" = 0 ] ||
  fail "Escape did not leave the game"
"$wm_close" "$window"
finish; [ $status = 0 ] || fail "closing the window ended with status $status"
table_ok

note "The game just played was recorded: koravel-sim replays it to the same frames (but the ms)."
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

note "3. SIGTERM, SIGHUP, SIGUSR1, SIGUSR2 and SIGALRM end it the same way; SIGPIPE is ignored."
for sig in TERM HUP USR1 USR2 ALRM; do
  start
  wait_for "the title" shown_for title 5
  [ $sig = HUP ] && { kill -PIPE $game; n=$(frames); wait_for "frames after SIGPIPE" more_frames_than $((n + 5)); }
  kill -$sig $game
  finish; [ $status = 0 ] || fail "SIG$sig ended with status $status"
  table_ok
done

note "3b. So does SIGINT (Ctrl+C) while the window has lost the focus and the game waits."
start
wait_for "the title" shown_for title 5
xlogo -geometry 100x100+0+0 >/dev/null 2>&1 &
other=$!
other_window=$(timeout 60 xdotool search --sync --name '^xlogo$' | head -1)
[ -n "$other_window" ] || fail "no second window appeared"
xdotool windowfocus --sync "$other_window" 2>/dev/null
[ "$(xdotool getwindowfocus 2>/dev/null)" = "$other_window" ] || fail "the other window did not take the focus"
for _ in $(seq 20); do paused && break; done
paused || fail "the game did not pause when its window lost the focus"
kill -INT $game
for _ in $(seq 30); do kill -0 $game 2>/dev/null || break; sleep 0.1; done
kill -0 $game 2>/dev/null && fail "SIGINT did not end the paused game within 3 s"
finish; [ $status = 0 ] || fail "SIGINT while paused ended with status $status"
table_ok
kill $other 2>/dev/null

note "3c. A game cut short by SIGTERM or the close button is still recorded, up to that frame."
for how in TERM close; do
  rm -rf "$work/data/koravel/replays"
  start
  wait_for "the title" shown_for title 5
  xdotool mousemove --window "$window" 400 300 mousedown 1 && sleep 0.2 && xdotool mouseup 1
  wait_for "the level choice" shown_for picklevel 10
  xdotool "${moves[@]}"
  wait_for "play" shown_for play 40
  if [ $how = TERM ]; then kill -TERM $game; else "$wm_close" "$window"; fi
  finish; [ $status = 0 ] || fail "ending play by $how ended with status $status"
  table_ok
  [ -f "$kvr" ] || fail "the game cut short by $how was not recorded"
  played=$(wc -l < "$trace")
  [ "$(tail -n 1 "$kvr")" = "$played end" ] || fail "the recording ends at '$(tail -n 1 "$kvr")', not at frame $played"
  "$build/koravel-sim" --dir "$work/sim" --replay "$kvr" --trace "$work/sim.trace" >/dev/null 2>"$work/sim.err" ||
    { cat "$work/sim.err"; fail "koravel-sim could not replay the game cut short"; }
  frames=$(wc -l < "$work/sim.trace")
  [ "$frames" = "$played" ] || fail "the replay of the game cut short has $frames frames, not $played"
  diff <(strip "$work/real.trace") <(strip "$work/sim.trace") >/dev/null || fail "the replay of the game cut short differs"
done

note "4. Watching a recorded game: Escape ends it early, status 0, and nothing is saved."
(cd "$work/elsewhere" && exec "$work/game/koravel" --replay "$here/replays/photon-death.kvr" \
   >"$work/out" 2>&1) &
game=$!
window=$(timeout 60 xdotool search --sync --name '^Koravel$' | head -1)
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Escape
finish; [ $status = 0 ] || fail "the replay ended with status $status"
[ ! -e "$work/game/scores/hiscores.dat" ] || fail "watching a replay saved the score table"

note "5. No display: one clear line and status 1."
# (Without XDG_RUNTIME_DIR, whose absence libraries under SDL would add a line of theirs for.)
out=$(env -u XDG_RUNTIME_DIR DISPLAY=:9999 timeout 60 "$work/game/koravel" 2>&1); status=$?
[ $status = 1 ] || fail "without a display the status was $status"
[ "$(echo "$out" | wc -l)" = 1 ] && echo "$out" | grep -q 'the display DISPLAY=:9999 cannot be opened' ||
  fail "unclear message: $out"
note "6. No display at all, and no driver asked for: SDL would fall back to drawing off screen."
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 60 "$work/game/koravel" 2>&1)
status=$?
[ $status = 1 ] || fail "with no display at all the status was $status"
echo "$out" | grep -q 'cannot open a display' || fail "unclear message: $out"
note "7. The display goes away during play: one line of the game's own and status 1."
start
wait_for "the title" shown_for title 5
kill $xvfb
finish
[ $status = 1 ] || fail "losing the display ended with status $status"
grep -q 'lost the connection to the display' "$work/out" || fail "no line of our own: $(cat "$work/out")"
echo "window tests passed"
