#!/usr/bin/env bash
# Builds the scene-loader fuzz target with the `fuzz` preset (clang, libFuzzer, ASan, UBSan) and
# runs it for a bounded time, starting from freshly generated seeds and the committed corpus.
# Usage: fuzz/run-fuzz.sh [SECONDS]   (default 60)
# Exits non-zero on any crash, hang (10 s per input), memory blow-up (2 GiB), leak or sanitizer
# report; the input that caused it is left in build/fuzz/artifacts/.
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_load_scene kalv_make_seeds

mkdir -p "$build/seeds" "$build/corpus" "$build/artifacts"
"$build/fuzz/kalv_make_seeds" "$build/seeds"

# New inputs go to the first directory; the seeds and the committed corpus are only read.
"$build/fuzz/fuzz_load_scene" "$build/corpus" "$build/seeds" "$root/fuzz/corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1
