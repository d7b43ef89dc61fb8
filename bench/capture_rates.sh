#!/usr/bin/env bash
# Capture rates of `quorlax-capture video` at 320x180: for each scene a span of FRAMES frames
# (default 20) at 25 fps from the scene's middle, with the share of the time in drawing, readback
# and the pipe, the time the sound took to render on its own thread and the encoder's CPU time.
# Usage: bench/capture_rates.sh [FRAMES]   (after scripts/setup; writes only to a temporary folder)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
frames=${1:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Middle ticks of the eight scenes (they start at 0, 636, 892, 1402, 1661, 1916, 2048, 2300).
middles=(318 764 1147 1531 1788 1982 2174 2989)
span=$(awk -v f="$frames" 'BEGIN { printf "%.4f", f * 50 / 3 / 25 }')
for scene in 1 2 3 4 5 6 7 8; do
    from=${middles[$((scene - 1))]}
    to=$(awk -v a="$from" -v b="$span" 'BEGIN { printf "%.4f", a + b }')
    start=$(date +%s.%N)
    "$root/build/bin/quorlax-capture" video --size 320x180 --fps 25 --from "$from" --to "$to" "$work/s$scene.mp4" \
        | sed "s|^$work/||"
    awk -v s="$start" -v e="$(date +%s.%N)" -v n="$scene" \
        'BEGIN { printf "scene %d: %.1f s in all, GL start and scene programs included\n", n, e - s }'
done
