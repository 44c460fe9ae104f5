#!/usr/bin/env bash
# The thumbnailer's cost as a file manager sees it: from process start to the PNG written, for a
# 256x256 thumbnail of the largest real .3ds file in the test packages (glmark2-data's
# asteroid-high.3ds, 48 000 faces), run exactly as kalvorant.thumbnailer's Exec line runs it.
#
# Usage: bench/thumbnail.sh [KALVORANT_RENDER]   (default: build/default/tools/kalvorant-render)
# Prints hyperfine's report (wall time) and the mean CPU time (user + system) of the runs; the
# wall time only means something on a quiet machine. Exit status 77 when the file is missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
render=${1:-$root/build/default/tools/kalvorant-render}
scene=/usr/share/glmark2/models/asteroid-high.3ds
[ -f "$scene" ] || { echo "thumbnail: $scene missing: install glmark2-data" >&2; exit 77; }
out=$(mktemp -d /tmp/kalv-thumbnail-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT
command=("$render" --view fit --key-frame start --size 256x256 --quiet --png "$out/t.png" "$scene")

if command -v hyperfine >/dev/null; then
  hyperfine --warmup 3 --runs 30 "$(printf '%q ' "${command[@]}")"
fi
# CPU time of 30 runs, from the shell's own accounting of its children.
runs=30
before=$(awk '{ print $16 + $17 }' /proc/$$/stat)
for _ in $(seq $runs); do "${command[@]}"; done
after=$(awk '{ print $16 + $17 }' /proc/$$/stat)
ticks=$(getconf CLK_TCK)
awk -v d=$((after - before)) -v t="$ticks" -v n=$runs \
  'BEGIN { printf "thumbnail: mean CPU time (user + system) %.1f ms over %d runs\n", 1000 * d / t / n, n }'
