#!/usr/bin/env bash
# Re-records every golden replay with this build: each .kvr is played again (its events at their
# polls) and written back stamped with the build's rules and fresh checkpoints, its .trace beside.
#   tools/rerecord.sh build [--why "what changed and why the games differ"]
# A replay whose frames change under the same rules number is refused: whatever changed what the
# game reads or decides must bump kRulesVersion (format/recording.h). A replay whose final score,
# level or lives change is refused unless --why says why; the reason goes to their CHANGES.md.
# Nothing is written unless every replay may be.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
why=
if [ "${2:-}" = --why ]; then why=${3:?--why needs a reason}; fi
here=$(cd "$(dirname "$0")/../tests/replays" && pwd)
sim="$build/koravel-sim"
rules=$("$sim" --version | sed -nE 's/.*\(rules ([0-9]+)\)$/\1/p')
[ -n "$rules" ] || { echo "rerecord.sh: $sim names no rules" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$build/gfx" "$work/gfx"
ln -s "$build/sound" "$work/sound"
# score, level and lives on the trace's last frame
ending() { tail -n 1 "$1" | sed -E 's/.*"score":([0-9-]+),"level":([0-9-]+),"men":([0-9-]+).*/score \1, level \2, lives \3/'; }
refused=0 changes=
for kvr in "$here"/*.kvr; do
  name=$(basename "$kvr" .kvr) trace="${kvr%.kvr}.trace"
  was=$(head -n 1 "$kvr" | sed -nE 's/.* rules ([0-9]+)$/\1/p'); was=${was:-1}
  rm -rf "$work/scores" && mkdir "$work/scores"
  "$sim" --dir "$work" --replay "$kvr" --any-rules --record "$work/$name.kvr" \
    --trace "$work/$name.trace" >/dev/null
  if ! cmp -s "$trace" "$work/$name.trace"; then
    if [ "$was" = "$rules" ]; then
      echo "rerecord.sh: $name plays differently, but under the same rules $rules: bump kRulesVersion in format/recording.h" >&2
      refused=1; continue
    fi
    before=$(ending "$trace") after=$(ending "$work/$name.trace")
    if [ "$before" != "$after" ]; then
      if [ -z "$why" ]; then
        echo "rerecord.sh: $name now ends with $after (was $before); say why with --why" >&2
        refused=1; continue
      fi
      changes+=$(printf -- '- %s, rules %s to %s: %s ends with %s (was %s): %s' "$(date -u +%F)" \
        "$was" "$rules" "$name" "$after" "$before" "$why")$'\n'
    fi
  fi
done
[ $refused = 0 ] || { echo "rerecord.sh: nothing was written" >&2; exit 1; }
printf '%s' "$changes" >> "$here/CHANGES.md"
[ -s "$here/CHANGES.md" ] || rm -f "$here/CHANGES.md"
for kvr in "$here"/*.kvr; do
  name=$(basename "$kvr" .kvr)
  cp "$work/$name.kvr" "$kvr" && cp "$work/$name.trace" "${kvr%.kvr}.trace"
  echo "$name: $(wc -l < "${kvr%.kvr}.trace") frames, rules $rules"
done
# What every replay's pictures hash to, the old recordings' too.
for kvr in "$here"/*.kvr "$here"/version1/*.kvr; do
  rm -rf "$work/scores" && mkdir "$work/scores"
  printf '%s %s\n' "$(basename "$(dirname "$kvr")")/$(basename "$kvr" .kvr)" \
    "$("$sim" --dir "$work" --replay "$kvr" | sed -nE 's/.* hash=([0-9a-f]+).*/\1/p')"
done > "$here/pictures.txt"
