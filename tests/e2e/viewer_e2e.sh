#!/usr/bin/env bash
# End to end: kalvorant-view in a real X server, driven by real pointer moves, wheel turns and
# key presses.
#
#   viewer_e2e.sh KALVORANT_VIEW
#
# On a generated scene (a bar with a cube on one end) it checks that the first picture shows the
# scene, that an idle viewer uses no processor time, that a drag turns the picture, that F gives
# back the very first picture, that the wheel makes the scene larger, and that S writes a PNG
# equal to the window's picture, beside the file, naming it in the title; then that Escape ends
# it with status 0. A file that cannot be loaded keeps the window open and says why in the title
# and on standard error; without a display the viewer exits 1 with one line. A textured file of
# assimp-testmodels shows its picture, and without it a warning.
# Exits 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -uo pipefail

viewer=${1:?usage: viewer_e2e.sh KALVORANT_VIEW}
here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=tests/e2e/x_session.sh
. "$here/x_session.sh"
# shellcheck source=tests/e2e/checks.sh
. "$here/checks.sh"

for tool in Xvfb xdotool import compare convert timeout python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian: xvfb xdotool imagemagick python3)"
    exit 77
  fi
done
viewer=$(realpath "$viewer")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

begin_checks kalv_viewer_e2e
if ! start_x_server "$work" 1280x1024; then
  echo "SKIP: the X server did not start"
  exit 77
fi
echo "X server on $DISPLAY"

python3 "$here/write_3ds.py" blocks "$work/blocks.3ds" || exit 1

# The window's picture as PNG.
grab() {
  timeout 20 import -window "$window" "$1"
}

# Non-black pixels of a picture.
lit_pixels() {
  convert "$1" -fill white +opaque black -colorspace gray -format '%[fx:round(mean*w*h)]' info:
}

# Pixels in which two pictures differ.
differing() {
  compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

title() {
  xdotool getwindowname "$window" 2>/dev/null
}

# Waits until the title matches the pattern and two pictures in a row are the same, then leaves
# that picture in PNG; false after 15 s.
settle() {
  local pattern=$1 png=$2
  for _ in $(seq 60); do
    sleep 0.25
    [[ "$(title)" =~ $pattern ]] || continue
    grab "$png.a.png" && sleep 0.1 && grab "$png" || continue
    [ "$(differing "$png.a.png" "$png")" = 0 ] && return 0
  done
  echo "title: $(title)"
  return 1
}

cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

cd "$work" || exit 1
"$viewer" blocks.3ds 2>"$work/stderr.txt" &
demo_pid=$!
window=$(timeout 15 xdotool search --sync --onlyvisible --name 'blocks\.3ds' | head -n 1)
if [ -z "$window" ]; then
  fail "no viewer window appeared"
  end_checks ""
fi

if settle '^blocks\.3ds - fit - model' fit.png; then
  [ "$(lit_pixels fit.png)" -gt 20000 ] || fail "the first picture shows little: $(lit_pixels fit.png) lit pixels"
else
  fail "the fitted picture did not appear"
fi

# Idle, the viewer waits for input without using the processor.
before=$(cpu_ticks "$demo_pid")
sleep 2
idle=$(($(cpu_ticks "$demo_pid") - before))
[ "$idle" -le 1 ] || fail "the idle viewer used $idle clock ticks in 2 s"

xdotool mousemove --window "$window" 500 400 mousedown 1
for x in 540 580 620 660; do
  xdotool mousemove --window "$window" "$x" 420
  sleep 0.05
done
xdotool mouseup 1
if settle '^blocks\.3ds - orbit' turned.png; then
  changed=$(differing fit.png turned.png)
  [ "$changed" -gt 2000 ] || fail "a drag changed only $changed pixels"
else
  fail "a drag did not turn the view"
fi

xdotool key f
if settle '^blocks\.3ds - fit' refit.png; then
  [ "$(differing fit.png refit.png)" = 0 ] || fail "F did not give back the fitted picture"
else
  fail "F did not fit again"
fi

for _ in 1 2 3; do
  xdotool mousemove --window "$window" 512 384 click 4
  sleep 0.05
done
if settle '^blocks\.3ds - orbit' zoomed.png; then
  fitted_lit=$(lit_pixels fit.png)
  zoomed_lit=$(lit_pixels zoomed.png)
  [ "$zoomed_lit" -gt $((fitted_lit * 3 / 2)) ] ||
    fail "the wheel did not make the scene larger: $fitted_lit lit pixels before, $zoomed_lit after"
else
  fail "the wheel did not zoom"
fi

xdotool key s
if settle ' - saved ' shown.png; then
  saved=$(title | sed 's/.* - saved //')
  if [ "$saved" != "$work/blocks-001.png" ]; then
    fail "the picture was saved as $saved, not beside the file"
  elif [ "$(differing "$saved" shown.png)" != 0 ]; then
    fail "the saved PNG differs from the window's picture"
  fi
else
  fail "S did not save the picture"
fi

end_with_escape
status=$?
[ "$status" = 0 ] || fail "Escape ended the viewer with status $status"
[ ! -s stderr.txt ] || fail "standard error was not empty: $(head -n 3 stderr.txt)"

# A file that cannot be loaded: the window stays and says why.
printf 'not a scene' >junk.3ds
"$viewer" junk.3ds 2>"$work/junk.txt" &
demo_pid=$!
window=$(timeout 15 xdotool search --sync --onlyvisible --name 'cannot open junk\.3ds' | head -n 1)
[ -n "$window" ] || fail "no window saying why junk.3ds cannot be opened"
sleep 0.5
kill -0 "$demo_pid" 2>/dev/null || fail "the viewer ended on a file it cannot load"
grep -q '^kalvorant-view: cannot open "junk.3ds": ' junk.txt ||
  fail "standard error did not say why: $(cat junk.txt)"
[ -z "$window" ] || end_with_escape || fail "Escape did not end the viewer after a bad file"

# A file that loads with no faces says why the window stays empty.
: >nothing.3ds
"$viewer" nothing.3ds 2>"$work/nothing.txt" &
demo_pid=$!
window=$(timeout 15 xdotool search --sync --onlyvisible --name 'nothing\.3ds .*no faces' | head -n 1)
[ -n "$window" ] || fail "the title did not say that nothing.3ds holds no faces"
grep -q '"nothing.3ds" holds no faces' nothing.txt || fail "standard error said: $(cat nothing.txt)"
[ -z "$window" ] || end_with_escape || fail "Escape did not end the viewer after an empty file"

# The pictures a file's materials name are painted; without them beside the file, the faces keep
# their colour and standard error names the missing one.
models=/usr/share/assimp/models/3DS
if [ -f "$models/cube_with_diffuse_texture.3DS" ] && [ -f "$models/test.png" ]; then
  mkdir -p with without
  cp "$models/cube_with_diffuse_texture.3DS" "$models/test.png" with/
  cp "$models/cube_with_diffuse_texture.3DS" without/
  for folder in with without; do
    "$viewer" "$folder/cube_with_diffuse_texture.3DS" 2>"$work/$folder.txt" &
    demo_pid=$!
    window=$(timeout 15 xdotool search --sync --onlyvisible --name 'cube_with_diffuse' | head -n 1)
    if [ -z "$window" ] || ! settle '^cube_with_diffuse_texture\.3DS - fit' "$folder.png"; then
      fail "the textured cube did not appear ($folder its picture)"
    fi
    [ -z "$window" ] || end_with_escape || fail "Escape did not end the viewer ($folder)"
  done
  [ "$(differing with.png without.png)" -gt 10000 ] ||
    fail "the cube looks the same with and without its picture"
  [ ! -s with.txt ] || fail "standard error with the picture: $(head -n 3 with.txt)"
  grep -q 'texture "TEST.PNG" of material .*: not found beside cube_with_diffuse_texture.3DS' \
    without.txt || fail "no warning for the missing picture: $(cat without.txt)"
else
  echo "note: assimp-testmodels is not installed; the textured cube is not checked"
fi

# Time spent paused does not move the animation: each burst plays about 10 key frames; counting
# the 3 s pauses before them would add 90.
if [ -f "$models/CameraRollAnim.3ds" ]; then
  "$viewer" "$models/CameraRollAnim.3ds" 2>/dev/null &
  demo_pid=$!
  window=$(timeout 15 xdotool search --sync --onlyvisible --name 'CameraRollAnim' | head -n 1)
  frames=""
  for _ in 1 2; do
    sleep 3 && xdotool key space && sleep 0.3 && xdotool key space
    settle " frame [0-9]+ of " paused.png &&
      frames+=" $(title | sed "s/.* frame \([0-9]*\) of .*/\1/")"
  done
  read -r first second <<<"$frames"
  [ "${first:-99}" -le 45 ] && [ $((${second:-99} - first)) -le 45 ] ||
    fail "Space played on from the time it was paused: key frames$frames"
  [ -z "$window" ] || end_with_escape || fail "Escape did not end the viewer (animation)"
fi

# No display: one line, status 1.
DISPLAY= "$viewer" blocks.3ds 2>nodisplay.txt
status=$?
[ "$status" = 1 ] || fail "without a display the status was $status"
[ "$(wc -l <nodisplay.txt)" = 1 ] || fail "without a display it said: $(cat nodisplay.txt)"

end_checks "viewer end to end: all checks passed"
