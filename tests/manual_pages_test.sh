#!/usr/bin/env bash
# Each program's manual page names the options and variables its --help names, and no others:
# a new option must reach both. Usage: manual_pages_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
status=0
for program in koravel koravel-sim koravel-board; do
  words() { grep -oE -- '(^|[^a-z])(--[a-z][a-z-]*|-h|KORAVEL_[A-Z_]+)' | grep -oE -- '--[a-z-]+|-h|KORAVEL_[A-Z_]+' | sort -u; }
  # KORAVEL_PRESENT and its log are for measuring the display: in the manual page only.
  help=$("$build/$program" --help | words)
  page=$(sed 's/\\-/-/g' "$source/docs/install/$program.6" | words | grep -vx 'KORAVEL_PRESENT\(_LOG\)\?' || true)
  if [ "$help" != "$page" ]; then
    echo "FAIL: $program --help and its manual page name different options:"
    diff <(echo "$help") <(echo "$page") | sed 's/^</  only in --help:/; s/^>/  only in the page:/' | grep only || true
    status=1
  fi
done
[ $status = 0 ] && echo "every --help option and variable is in its manual page, and no other"
exit $status
