#!/usr/bin/env bash
# tools/check_layers.sh against a tree of planted violations, one of each kind it must catch,
# and the same tree's honest includes, which it must let through.
set -euo pipefail
check="$(cd "$(dirname "$0")/.." && pwd)/tools/check_layers.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
plant() { mkdir -p "$tree/$(dirname "$1")" && printf '%s\n' "$2" >> "$tree/$1"; }
# What may be: below, beside, relative, a backend's own headers.
plant atom/ok.cpp '#include "state/game.h"'
plant atom/ok.cpp '#include "../state/field.h"'
plant atom/ok.cpp '#include "nucleus.h"'
plant atom/nucleus.h '#include <vector>'
plant engine/sdl/ok.cpp '#include <SDL.h>'
plant engine/web/ok.cpp '#include <emscripten/html5.h>'
plant board/ok.cpp '#include "format/recording.h"'
plant tests/ok.cpp '#include "board/store.h"'
if ! out=$("$check" "$tree"); then echo "FAIL: honest includes refused:"; echo "$out"; exit 1; fi
# What may not, each on a line of its own the check must name.
plant atom/up.cpp '#include "../screens/hud.h"'
plant atom/spaced.cpp '#  include "screens/hud.h"'
plant atom/hash.cpp '  #include "player/player.h"'
plant state/sdl.cpp '#include <SDL2/SDL.h>'
plant state/sdl2.cpp '#include "SDL.h"'
plant shell/web.cpp '#include <emscripten.h>'
plant board/game.cpp '#include "state/game.h"'
plant sim/page.cpp '#include "web/page.h"'
plant engine/backend.cpp '#include "engine/sdl/keymap.h"'
plant world/new.cpp '#include "engine/input.h"'
plant shell/out.cpp '#include "../../etc/passwd"'
out=$("$check" "$tree") && { echo "FAIL: the planted violations passed"; exit 1; }
status=0
for want in atom/up.cpp:1 atom/spaced.cpp:1 atom/hash.cpp:1 state/sdl.cpp:1 state/sdl2.cpp:1 \
            shell/web.cpp:1 board/game.cpp:1 sim/page.cpp:1 engine/backend.cpp:1 'world/new.cpp:' \
            shell/out.cpp:1; do
  grep -q "^$want" <<< "$out" || { echo "FAIL: $want not named"; status=1; }
done
[ "$(grep -c . <<< "$out")" = 11 ] || { echo "FAIL: expected 11 lines:"; echo "$out"; status=1; }
[ $status = 0 ] && echo "every planted violation named"
exit $status
