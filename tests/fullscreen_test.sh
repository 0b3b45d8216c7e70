#!/usr/bin/env bash
# Full screen in a real X server: the game starts full screen and shows the whole 4:3 picture,
# scaled and centred between black bars, under a window manager (openbox) at 1024 x 768 and
# 1920 x 1080 and with none at all; Alt+Enter gives back an 800 x 600 window showing the picture
# at its own size. Each picture is compared with koravel-sim's picture of the same title.
set -u
build=$(cd "$1" && pwd)
for tool in Xvfb xdotool xwd xwininfo convert openbox xprop; do
  command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done
work=$(mktemp -d)
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0
xvfb= wm= game=
trap 'kill $game $wm $xvfb 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
fail() { echo "FAIL ($case): $*"; exit 1; }
# until COMMAND succeeds, at most 60 s
wait_for() { for _ in $(seq 600); do "$@" && return 0; sleep 0.1; done; "$@"; }
titled() { local n; n=$(grep -c '"screen":"title"' "$work/trace" 2>/dev/null); [ "${n:-0}" -ge 200 ]; }
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# The strokes of the word KORAVEL in the picture itself (the top 230 rows, above the demo's
# trail): width, height, x, y.
"$build/koravel-sim" --dir "$build" --frames 201 --shot 200:"$work/sim.png" >/dev/null ||
  { echo "koravel-sim failed"; exit 1; }
strokes() { # IMAGE CROP: the bounding box of the blue strokes within the crop
  convert "$1" -crop "$2" +repage -channel B -separate -threshold 20% -format '%@' info: | tr 'x+' '  '
}
read -r bw bh bx by < <(strokes "$work/sim.png" 800x230+0+0)

# check NAME AREA LEFT TOP WIDTH HEIGHT: within AREA (WxH+X+Y of the screen: the whole screen,
# or the window's inside) the picture lies at that place and size (the title's strokes where the
# scaled picture puts them, within 4 pixels), and the area's corners are black.
check() {
  xwd -root -silent | convert xwd:- -crop "$2" +repage "$work/$1.png"
  local w h x y ex ey ew eh
  read -r w h x y < <(strokes "$work/$1.png" "${5}x$(( 230 * $6 / 600 ))+$3+$4")
  ex=$(( bx * $5 / 800 )); ey=$(( by * $6 / 600 ))
  ew=$(( bw * $5 / 800 )); eh=$(( bh * $6 / 600 ))
  local got want
  for got_want in "$x:$ex" "$y:$ey" "$w:$ew" "$h:$eh"; do
    got=${got_want%:*} want=${got_want#*:}
    [ $(( got - want )) -le 4 ] && [ $(( want - got )) -le 4 ] ||
      fail "$1: the title's strokes are at ${w}x${h}+${x}+${y}, not ${ew}x${eh}+${ex}+${ey}"
  done
  local aw=${2%%x*} rest=${2#*x}
  local ah=${rest%%+*}
  for corner in 0,0 "$((aw - 1)),0" "0,$((ah - 1))" "$((aw - 1)),$((ah - 1))"; do
    [ "$(convert "$work/$1.png" -format "%[fx:p{$corner}.r+p{$corner}.g+p{$corner}.b]" info:)" = 0 ] ||
      fail "$1: the corner $corner is not black"
  done
}

run() { # SIZE WM
  case="$1 ${2:-without a window manager}"
  sw=${1%x*} sh=${1#*x}
  rm -f "$work/display" "$work/trace"
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -br -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  exec 3>&-
  wait_for test -s "$work/display" || fail "no X server"
  export DISPLAY=:$(head -n 1 "$work/display")
  if [ -n "${2:-}" ]; then
    openbox >/dev/null 2>&1 &
    wm=$!
    wait_for wm_up || fail "openbox did not start"
  fi
  KORAVEL_SEED=1 KORAVEL_TRACE="$work/trace" "$build/koravel" >"$work/out" 2>&1 &
  game=$!
  wait_for titled || fail "the title was not shown: $(cat "$work/out")"
  # Full screen: the largest 4:3 picture the screen holds, centred.
  local pw=$(( sw * 3 > sh * 4 ? sh * 4 / 3 : sw )) ph=$(( sw * 3 > sh * 4 ? sh : sw * 3 / 4 ))
  check "full-$1-${2:-nowm}" "${sw}x${sh}+0+0" $(( (sw - pw) / 2 )) $(( (sh - ph) / 2 )) $pw $ph
  # Alt+Enter: an 800 x 600 window, the picture at its own size.
  window=$(xdotool search --name '^Koravel$' | head -1)
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key --window "$window" alt+Return
  small() { xwininfo -id "$window" | grep -q 'Width: 800' && xwininfo -id "$window" | grep -q 'Height: 600'; }
  wait_for small || fail "Alt+Enter did not give an 800 x 600 window"
  sleep 0.5 # a few frames drawn at the new size
  local left top
  left=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
  top=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
  check "window-$1-${2:-nowm}" "800x600+$left+$top" 0 0 800 600
  kill $game; wait $game 2>/dev/null
  kill $wm $xvfb 2>/dev/null; wait $wm $xvfb 2>/dev/null
  game= wm= xvfb=
  echo "ok: $case"
}

run 1024x768 openbox
run 1920x1080 openbox
run 1024x768
