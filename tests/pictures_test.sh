#!/usr/bin/env bash
# docs/screenshots.sh makes every picture the README shows, byte for byte as committed: a change
# to what the game draws, or to the script, shows here until the pictures are remade.
# Usage: pictures_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$source/docs/screenshots.sh" "$build" "$out" >/dev/null
status=0
for picture in "$source"/docs/*.png; do
  name=$(basename "$picture")
  if ! cmp -s "$picture" "$out/$name"; then
    echo "FAIL: docs/$name is not what docs/screenshots.sh makes (remake it: docs/screenshots.sh $build)"
    status=1
  fi
done
for made in "$out"/*.png; do
  [ -e "$source/docs/$(basename "$made")" ] || { echo "FAIL: docs/$(basename "$made") is not committed"; status=1; }
done
[ $status = 0 ] && echo "every picture in docs/ is what docs/screenshots.sh makes"
exit $status
