#!/usr/bin/env bash
# Builds the fuzz targets with the `fuzz` preset (clang, libFuzzer, ASan, UBSan) and runs each
# for a bounded time, starting from freshly generated seeds and the committed corpus: the scene
# loader, then the loader with two rendered frames of every scene it accepts.
# Usage: fuzz/run-fuzz.sh [LOADER_SECONDS [RENDER_SECONDS]]   (defaults 60 and 30)
# Exits non-zero on any crash, hang (10 s per input), memory blow-up (2 GiB), leak or sanitizer
# report; the input that caused it is left in build/fuzz/artifacts/.
set -euo pipefail

seconds=${1:-60}
render_seconds=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_load_scene fuzz_render_scene kalv_make_seeds

mkdir -p "$build/seeds" "$build/corpus" "$build/render_corpus" "$build/artifacts"
"$build/fuzz/kalv_make_seeds" "$build/seeds"

# New inputs go to the first directory; the seeds and the committed corpus are only read.
"$build/fuzz/fuzz_load_scene" "$build/corpus" "$build/seeds" "$root/fuzz/corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1

"$build/fuzz/fuzz_render_scene" "$build/render_corpus" "$build/seeds" "$root/fuzz/corpus" \
  -max_total_time="$render_seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/artifacts/render-" -print_final_stats=1
