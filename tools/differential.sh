#!/usr/bin/env bash
# Plays the same games on two builds of koravel-sim and says whether anything differs: every
# autopilot on seeds 1-100 (traces, games and final lines compared), and the first ten seeds
# again with pictures (hashes compared). For a change that must leave the game as it was.
#   tools/differential.sh OLD_BUILD_DIR NEW_BUILD_DIR [FRAMES]
set -euo pipefail
old=$1 new=$2 frames=${3:-4000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bots=(random player player:7 bondrunner:3 hunter:31)
differ=0
: >"$work/all.games"
run() { # build bot seed picture? -> prints a digest of everything the run wrote
    local dir=$1 bot=$2 seed=$3 picture=$4 out
    out=$work/$(basename "$dir")
    local pic=(--no-picture)
    [[ $picture == yes ]] && pic=()
    "$dir/koravel-sim" --dir "$dir" --bot "$bot" --seed "$seed" --frames "$frames" "${pic[@]}" \
        --trace "$out.trace" --games "$out.games" >"$out.end"
    cat "$out.trace" "$out.games" "$out.end" | sha256sum | cut -c1-16
    [[ $dir == "$new" ]] && cat "$out.games" >>"$work/all.games"
    return 0
}
for bot in "${bots[@]}"; do
    for seed in $(seq 1 100); do
        picture=no
        ((seed <= 10)) && picture=yes
        a=$(run "$old" "$bot" "$seed" $picture)
        b=$(run "$new" "$bot" "$seed" $picture)
        if [[ $a != "$b" ]]; then
            echo "differs: --bot $bot --seed $seed"
            differ=$((differ + 1))
        fi
    done
done
echo "runs=$((${#bots[@]} * 100)) games=$(wc -l <"$work/all.games") differing=$differ"
((differ == 0))
