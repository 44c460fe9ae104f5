#!/usr/bin/env bash
# The README's pictures of the bundled scene are what their captions say: each is rendered again
# with kalvorant-render and compared pixel for pixel (decoded, so an encoder change alone does not
# matter, but any changed pixel does).
#   ![Frame K of the bundled scene](FILE.png)           frame K, as --only K writes it
#   ![Frames 1 to N of the bundled scene...](FILE.gif)  frames 1..N, as --frames N --gif writes them
# A picture of the bundled scene whose caption follows neither form fails the test, so a caption
# cannot drift away from its picture unchecked. A picture in the demo view says it is mirrored.
#
# Usage: readme_pictures.sh SOURCE_DIR KALVORANT_RENDER
# Exit status: 0 pass, 1 fail, 77 skip (ImageMagick's convert is missing).
set -uo pipefail

say() { printf 'readme_pictures: %s\n' "$*"; }
[ $# -eq 2 ] || {
  echo "usage: readme_pictures.sh SOURCE_DIR KALVORANT_RENDER" >&2
  exit 2
}
source_dir=$1 render=$2
command -v convert >/dev/null || {
  say "SKIP: ImageMagick's convert is missing (Debian package imagemagick)"
  exit 77
}
work=$(mktemp -d /tmp/kalv-readme-pictures.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Both files' pixels as raw RGB, every frame composited as a viewer shows it.
same_pixels() {
  convert "$1" -coalesce rgb:"$work/a.rgb" && convert "$2" -coalesce rgb:"$work/b.rgb" &&
    cmp -s "$work/a.rgb" "$work/b.rgb"
}

failed=0 checked=0
while IFS= read -r picture; do
  caption=${picture#*[}
  caption=${caption%%]*}
  file=${picture##*(}
  file=${file%)}
  if [[ $caption =~ ^Frame\ ([0-9]+)\ of\ the\ bundled\ scene$ ]]; then
    k=${BASH_REMATCH[1]}
    "$render" "$source_dir/assets/object.3ds" --quiet --only "$k" --out "$work" || exit 1
    made=$(printf '%s/frame_%04d.png' "$work" "$k")
  elif [[ $caption =~ ^Frames\ 1\ to\ ([0-9]+)\ of\ the\ bundled\ scene ]]; then
    made="$work/frames.gif"
    "$render" "$source_dir/assets/object.3ds" --quiet --frames "${BASH_REMATCH[1]}" \
      --gif "$made" || exit 1
  else
    say "FAIL: '$caption' ($file): a picture of the bundled scene must say which frames it shows"
    failed=1
    continue
  fi
  checked=$((checked + 1))
  if same_pixels "$source_dir/$file" "$made"; then
    say "ok: $file is what '$caption' says"
  else
    say "FAIL: $file is not what '$caption' says (make it again with kalvorant-render)"
    failed=1
  fi
done < <(grep -o '!\[[^]]*\]([^)]*)' "$source_dir/README.md" | grep -i 'bundled scene')

# A picture in the demo view shows the file mirrored left to right; its caption says so, where a
# reader comparing it with the file's own look sees it first.
while IFS= read -r caption; do
  [[ $caption == *"mirrored left to right"* ]] || {
    say "FAIL: '$caption': a picture in the demo view must say it is mirrored left to right"
    failed=1
  }
done < <(grep -o '!\[[^]]*demo view[^]]*\]' "$source_dir/README.md")

[ $checked -gt 0 ] || {
  say "FAIL: no picture of the bundled scene found in README.md"
  exit 1
}
exit $failed
