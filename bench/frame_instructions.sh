#!/usr/bin/env bash
# Instructions of five one-thread demo frames of the 100k and the 1M torus (bench_frame's tori),
# counted by callgrind inside demo_frame only, with the hash of their pixels. Instruction counts do
# not depend on the machine's load, so they show what a change to the renderer buys on a busy
# machine; the hashes show it left the pixels alone.
#
# Usage: bench/frame_instructions.sh [TORUS_FRAMES]   (default: build/default/bench/torus_frames)
# Needs valgrind. Prints one line per torus: faces, instructions of the five frames, hash.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-$root/build/default/bench/torus_frames}
command -v valgrind >/dev/null || { echo "frame_instructions: valgrind missing" >&2; exit 77; }
out=$(mktemp -d /tmp/kalv-frame-instructions.XXXXXX)
trap 'rm -rf "$out"' EXIT

for size in "500 100" "1000 500"; do
  # shellcheck disable=SC2086 # the two numbers are two arguments
  valgrind --tool=callgrind --callgrind-out-file="$out/cg" --toggle-collect='demo_frame(*' \
    "$program" $size 5 >"$out/stdout" 2>"$out/stderr" ||
    { cat "$out/stderr" >&2; exit 1; }
  instructions=$(sed -n 's/^summary: //p' "$out/cg")
  read -r _ faces _ frames _ hash <"$out/stdout"
  printf 'faces %8s  frames %s  instructions %12s  hash %s\n' "$faces" "$frames" "$instructions" "$hash"
done
