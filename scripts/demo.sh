#!/usr/bin/env bash
# Builds every program (default preset: the demo and the tools) and what installing them needs,
# and runs the demo on the bundled scene, full screen; Escape ends it.
#
# Where no display can be opened (no $DISPLAY or $WAYLAND_DISPLAY, or the demo finds none), it
# says so and renders the same frames headless into an animated GIF instead, printing where the
# file is. The demo runs in build/default/demo-run, which then holds its DirectX.log.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ -f scripts/deps.sh ]; then
  bash scripts/deps.sh || exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)
echo "demo: building every program (default preset)"
cmake --preset default >/dev/null || exit 1
# The packaging files too (the icon, the compressed changelog), so that `cmake --install`, which
# the README gives next, finds everything it installs.
targets=(programs kalv_packaging_files)
cmake --build --preset default -j "$jobs" --target "${targets[@]}" >/dev/null || {
  echo "demo: the build failed; run 'cmake --build --preset default --target ${targets[*]}' to see why" >&2
  exit 1
}
echo "demo: built build/default/app/kalvorant (the demo) and the tools"
echo "demo: build/default/tools/kalvorant-render and build/default/tools/kalvorant-info"

scene="$root/assets/object.3ds"
if [ ! -f "$scene" ]; then
  echo "demo: the bundled scene $scene is missing" >&2
  exit 1
fi

render_gif() {
  local gif="$root/build/default/demo.gif"
  echo "demo: rendering the bundled scene headless instead (63 frames, one full turn of the swing)"
  "$root/build/default/tools/kalvorant-render" "$scene" --frames 63 --gif "$gif" --quiet || exit 1
  echo "demo: the animation is in $gif"
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set)"
  render_gif
  exit 0
fi

run_dir="$root/build/default/demo-run"
mkdir -p "$run_dir"
cp "$scene" "$run_dir/object.3ds"
echo "demo: running kalvorant full screen in $run_dir; press Escape to end it"
cd "$run_dir" || exit 1
"$root/build/default/app/kalvorant" 2>"$run_dir/stderr.txt"
status=$?
cat "$run_dir/stderr.txt" >&2
if [ "$status" -ne 0 ] && grep -q "no display available" "$run_dir/stderr.txt"; then
  echo "demo: the display could not be opened"
  render_gif
  exit 0
fi
exit "$status"
