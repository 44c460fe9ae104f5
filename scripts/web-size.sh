#!/usr/bin/env bash
# Prints the size of the page's module, raw and gzipped, and fails when the .wasm outgrows its
# budget (150 KB, 60 KB gzipped), which keeps the page quick to open.
#   bash scripts/web-size.sh [PAGE_DIR]      (default build/web/page)
set -euo pipefail
dir=${1:-build/web/page}
status=0
for file in "$dir/kalvorant_web.wasm" "$dir/kalvorant_web.js"; do
  if [ ! -f "$file" ]; then
    echo "web-size: $file is missing; build the page with: cmake --build --preset web" >&2
    exit 1
  fi
  raw=$(stat -c %s "$file")
  zipped=$(gzip -9 -c "$file" | wc -c)
  echo "web-size: $(basename "$file"): $raw bytes, $zipped bytes gzipped"
  if [[ $file == *.wasm ]] && { [ "$raw" -gt 150000 ] || [ "$zipped" -gt 60000 ]; }; then
    echo "web-size: the .wasm is over its budget of 150000 bytes (60000 gzipped)" >&2
    status=1
  fi
done
exit $status
