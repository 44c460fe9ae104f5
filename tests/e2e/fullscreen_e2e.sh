#!/usr/bin/env bash
# End to end: the demo full screen on a screen larger than its picture.
#
#   fullscreen_e2e.sh KALVORANT
#
# Runs KALVORANT on a sphere centred on the origin (tests/e2e/write_3ds.py), whose picture is a
# disc centred on the frame however the demo spins it, in Xvfb at 1024x768: first with no window
# manager (a kiosk set-up, where nothing but the program itself can make its window cover the
# screen), then under openbox when it is installed (where the window manager does it). Each
# time the box around the lit pixels of a screenshot must be centred on the screen and span more
# than a third of its width, and Escape must end the demo with status 0.
# Exits 77 (skipped) when Xvfb, xdotool, xwd, ImageMagick or python3 is missing.
set -uo pipefail

kalvorant=${1:?usage: fullscreen_e2e.sh KALVORANT}
here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=tests/e2e/x_session.sh
. "$here/x_session.sh"
# shellcheck source=tests/e2e/checks.sh
. "$here/checks.sh"

for tool in Xvfb xdotool xwd convert timeout python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian: xvfb xdotool x11-apps imagemagick python3)"
    exit 77
  fi
done
if [ ! -x "$kalvorant" ]; then
  echo "FAIL: $kalvorant is not an executable program"
  exit 1
fi
kalvorant=$(realpath "$kalvorant")

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

screen_width=1024
screen_height=768

begin_checks kalv_fullscreen
python3 "$here/write_3ds.py" sphere "$work/object.3ds" || {
  echo "FAIL: could not write the sphere scene"
  exit 1
}

# Prints "LEFT TOP RIGHT BOTTOM" of the non-black pixels (inclusive), or nothing when none is lit.
lit_box() {
  convert "$1" -depth 8 txt:- | awk -F'[(),: ]+' '
    NR > 1 && $3 + $4 + $5 > 0 {
      x = $1 + 0; y = $2 + 0
      if (n++ == 0) { l = r = x; t = b = y }
      if (x < l) l = x; if (x > r) r = x; if (y < t) t = y; if (y > b) b = y }
    END { if (n) print l, t, r, b }'
}

# The sphere's disc sits within half a pixel of the frame's centre, and its 48-sided outline,
# turning with the spin, moves an edge by a quarter of a pixel at most; doubled by the scaling
# to this screen that is under 2 pixels, so 4 pixels of tolerance leaves room for rounding while
# a picture cut or shifted in any way misses by a hundred or more.
check_centred_picture() {
  local leg=$1 shot=$2 left top right bottom
  read -r left top right bottom < <(lit_box "$shot")
  if [ -z "${left:-}" ]; then
    fail "$leg: nothing lit on the screen"
    return
  fi
  echo "$leg: lit pixels span columns $left to $right, rows $top to $bottom"
  local off_x=$((left + right - (screen_width - 1))) off_y=$((top + bottom - (screen_height - 1)))
  [ "${off_x#-}" -le 8 ] ||
    fail "$leg: the picture's centre is $((off_x / 2)) pixels off the screen's centre across"
  [ "${off_y#-}" -le 8 ] ||
    fail "$leg: the picture's centre is $((off_y / 2)) pixels off the screen's centre down"
  [ $((3 * (right - left + 1))) -gt "$screen_width" ] ||
    fail "$leg: the picture is $((right - left + 1)) pixels wide, not more than a third of the screen"
}

# run_leg NAME [WINDOW_MANAGER]: one run of the demo in a fresh X server.
run_leg() {
  local leg=$1 manager=${2:-} manager_pid=""
  mkdir "$work/$leg"
  cp "$work/object.3ds" "$work/$leg/object.3ds"
  if ! start_x_server "$work/$leg" "${screen_width}x${screen_height}"; then
    fail "$leg: the X server did not start"
    return
  fi
  if [ -n "$manager" ]; then
    "$manager" >"$work/$leg/manager.log" 2>&1 &
    manager_pid=$!
    sleep 1
  fi
  (cd "$work/$leg" && exec timeout -k 5 120 "$kalvorant" >"$work/$leg/out" 2>"$work/$leg/err") &
  demo_pid=$!
  wait_for_picture "$work/$leg/first.png"
  # Where no window manager gives the focus, keys go to the window under the pointer.
  timeout 10 xdotool mousemove $((screen_width / 2)) $((screen_height / 2))
  screenshot "$work/$leg/shot.png" || fail "$leg: no screenshot"
  check_centred_picture "$leg" "$work/$leg/shot.png"
  end_with_escape
  local status=$?
  [ "$status" -eq 0 ] || fail "$leg: exit status $status after Escape ($(head -c 300 "$work/$leg/err"))"
  [ -n "$manager_pid" ] && kill "$manager_pid" 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  xvfb_pid=""
}

run_leg no-window-manager
if command -v openbox >/dev/null; then
  run_leg openbox openbox
else
  echo "openbox is not installed (Debian: openbox): the run under a window manager is left out"
fi

end_checks "all checks passed"
