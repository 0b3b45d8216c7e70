#!/usr/bin/env bash
# The layers, bottom to top. A file may include its own folder and the folders below it, never
# one above (nor, for the engine, a backend); SDL's headers belong to engine/sdl alone and
# Emscripten's to engine/web. Includes are read as the compiler reads them: "# include" with
# blanks, a path relative to the file's own folder ("../screens/hud.h") or to the source root.
# Prints each offending include as FILE:LINE and fails.
# Usage: tools/check_layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
# Bottom to top. The board stands on the file formats alone; koravel-sim on the whole game, the
# page on the game too, the tools on koravel-sim's helpers; the tests, benchmarks and fuzz
# targets on everything.
layers=(engine format board entity state hostiles atom player screens record shell sim web tools)
rank() {
  case $1 in
    engine/sdl | engine/headless | engine/web) echo 0.5 ;;
    bench | fuzz | tests) echo 99 ;;
    *) for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
       echo "unknown" ;;
  esac
}
folder_of() { # the layer a path is in: engine/sdl/x.cpp -> engine/sdl
  case $1 in
    engine/sdl/* | engine/headless/* | engine/web/*) echo "${1%/*}" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "." ;;
  esac
}
# The file a quoted include names, from the source root: beside the including file first, as
# the compiler looks, then from the root (the one include folder).
resolve() { # FILE INCLUDE
  local dir=${1%/*}
  case $2 in
    ./* | ../*) realpath -m --relative-to=. "$dir/$2" ;;
    *) if [ -e "$dir/$2" ]; then realpath -m --relative-to=. "$dir/$2"; else realpath -m --relative-to=. "$2"; fi ;;
  esac
}
platform_folder() { # the only folder a platform header may be included from, if it is one
  case $1 in
    SDL.h | SDL_*.h | SDL2/*) echo engine/sdl ;;
    emscripten.h | emscripten/*) echo engine/web ;;
  esac
}
# bench/frame_bench.cpp times SDL's own renderer against the game's drawing: the one place
# outside the backend that may include SDL.
platform_allowed() { [ "$1" = "$2" ] || { [ "$1" = bench ] && [ "$2" = engine/sdl ]; }; }
# The sources: what git tracks in a checkout (build folders of any name are not sources); every
# file of a tree that is not one (the planted tests).
sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1 && [ "$(git rev-parse --show-prefix)" = "" ]; then
    git ls-files -- '*.cpp' '*.h' | grep -v '^web/node_modules/'
  else
    find . \( -name 'build*' -o -name .git -o -name node_modules \) -prune -o \
      \( -name '*.cpp' -o -name '*.h' \) -print | sed 's#^\./##'
  fi
}
status=0
flag() { echo "$1"; status=1; }
while IFS= read -r file; do
  from=$(folder_of "$file"); rf=$(rank "$from")
  [ "$rf" = unknown ] && flag "$file: $from/ has no place among the layers (add it to tools/check_layers.sh)"
  while IFS=$'\t' read -r line quote inc; do
    own=$(platform_folder "$inc")
    if [ -n "$own" ]; then
      platform_allowed "$from" "$own" || flag "$file:$line: $from/ includes $inc, which only $own/ may"
      continue
    fi
    [ "$quote" = '"' ] || continue
    target=$(resolve "$file" "$inc")
    case $target in ../*) flag "$file:$line: includes $inc, outside the source tree"; continue ;; esac
    to=$(folder_of "$target"); rt=$(rank "$to")
    [ "$from" = "$to" ] && continue
    # The tests, benchmarks and fuzz targets stand on everything, their helpers included.
    [ "$rt" = unknown ] && flag "$file:$line: includes $inc ($target), in no layer"
    [ "$rf" = unknown ] || [ "$rt" = unknown ] || [ "$rf" = 99 ] && continue
    if awk -v a="$rt" -v b="$rf" 'BEGIN { exit !(a >= b) }'; then
      flag "$file:$line: $from/ includes $inc ($target), which is not below it"
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" |
             sed -nE 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)[>"].*/\1\t\2\t\3/p')
done < <(sources | sort)
[ $status = 0 ] && echo "layers hold: ${layers[*]}"
exit $status
