#!/usr/bin/env bash
# Prints the size of the page's module, raw and gzipped, and fails when the .wasm outgrows its
# budget (260 KB, 115 KB gzipped: the demo, the model look with its texture sampling, the pose
# of a file's animation, the viewer's controls and stb_image, which decodes the pictures handed
# over with a scene as the native tools do), which keeps the page quick to open, or when a
# figure README.md
# gives for the two files ("`kalvorant_web.wasm`, 118 174 bytes (49 085 gzipped)") is more than
# 5% away from the measured one: a reader must not be told a size the build no longer has. The
# failure gives the words to write instead.
#   bash scripts/web-size.sh [PAGE_DIR]      (default build/web/page)
set -euo pipefail
dir=${1:-build/web/page}
readme="$(dirname "$0")/../README.md"
# README's text as one line, so that a figure broken over two lines is still found.
readme_text=$(tr '\n' ' ' <"$readme")
status=0

# with_spaces N: the number as README writes it, thousands apart ("118 174").
with_spaces() { sed -E ':a; s/([0-9])([0-9]{3})($| )/\1 \2\3/; ta' <<<"$1"; }
# off TOLD MEASURED: true when TOLD is more than 5% away from MEASURED.
off() { [ $((${1} * 100)) -lt $((${2} * 95)) ] || [ $((${1} * 100)) -gt $((${2} * 105)) ]; }

for file in "$dir/kalvorant_web.wasm" "$dir/kalvorant_web.js"; do
  if [ ! -f "$file" ]; then
    echo "web-size: $file is missing; build the page with: cmake --build --preset web" >&2
    exit 1
  fi
  name=$(basename "$file")
  raw=$(stat -c %s "$file")
  zipped=$(gzip -9 -c "$file" | wc -c)
  echo "web-size: $name: $raw bytes, $zipped bytes gzipped"
  if [[ $file == *.wasm ]] && { [ "$raw" -gt 260000 ] || [ "$zipped" -gt 115000 ]; }; then
    echo "web-size: the .wasm is over its budget of 260000 bytes (115000 gzipped)" >&2
    status=1
  fi
  measured="\`$name\`, $(with_spaces "$raw") bytes ($(with_spaces "$zipped") gzipped)"
  pattern="\`${name//./\\.}\`, +([0-9][0-9 ]*[0-9]|[0-9]) +bytes +\\(([0-9][0-9 ]*[0-9]|[0-9]) +gzipped\\)"
  if [[ $readme_text =~ $pattern ]]; then
    told_raw=${BASH_REMATCH[1]// /} told_zipped=${BASH_REMATCH[2]// /}
    if off "$told_raw" "$raw" || off "$told_zipped" "$zipped"; then
      echo "web-size: README.md gives \"${BASH_REMATCH[0]}\", more than 5% off; write \"$measured\"" >&2
      status=1
    fi
  else
    echo "web-size: README.md gives no size of $name; write \"$measured\"" >&2
    status=1
  fi
done
exit $status
