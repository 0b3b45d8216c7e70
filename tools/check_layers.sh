#!/usr/bin/env bash
# The layers, bottom to top. A file may include its own folder and the folders below it, never
# one above (nor, for the engine, a backend). Prints each offending include as FILE:LINE and
# fails. Usage: tools/check_layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
layers=(engine entity state hostiles atom player screens record shell)
# The backends stand beside each other on the engine; the programs and tools on everything.
rank() {
  case $1 in
    engine/sdl | engine/headless | engine/web) echo 0.5 ;;
    sim | board | web | tools | bench | fuzz | tests) echo 99 ;;
    *) for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
       echo "unknown" ;;
  esac
}
folder_of() { # the layer a path is in: engine/sdl/x.cpp -> engine/sdl
  case $1 in
    engine/sdl/* | engine/headless/* | engine/web/*) echo "${1%/*}" ;;
    *) echo "${1%%/*}" ;;
  esac
}
status=0
while IFS= read -r file; do
  from=$(folder_of "$file"); rf=$(rank "$from")
  [ "$rf" = unknown ] && continue
  while IFS=: read -r line inc; do
    to=$(folder_of "$inc"); rt=$(rank "$to")
    [ "$rt" = unknown ] && continue
    [ "$from" = "$to" ] && continue
    [ "$rf" = 99 ] && continue # the programs and their helpers stand on everything
    if awk -v a="$rt" -v b="$rf" 'BEGIN { exit !(a >= b) }'; then
      echo "$file:$line: $from/ includes $inc, which is not below it"
      status=1
    fi
  done < <(grep -n '^#include "' "$file" | sed -E 's/^([0-9]+):#include "([^"]+)".*/\1:\2/')
done < <(find engine entity state hostiles atom player screens record shell sim board web tools bench fuzz tests \
              -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
[ $status = 0 ] && echo "layers hold: ${layers[*]}"
exit $status
