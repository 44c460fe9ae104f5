#!/usr/bin/env bash
# End to end: the built demo in a real X server, driven by real key presses.
#
#   demo_e2e.sh KALVORANT SCENE
#
# Runs KALVORANT in a fresh Xvfb (512x384, 24 bits, no window manager) from a temporary folder
# holding SCENE as object.3ds and checks: frames appear in the scene's colours and keep moving,
# keys other than Escape change nothing, Escape ends it with status 0, and "DirectX.log" holds
# exactly the log of a successful display set-up. Then the start-up failures: no scene file and
# no display each give status 1, one line on standard error, and an untouched "DirectX.log".
# Exits 77 (skipped) when Xvfb, xdotool, xwd or ImageMagick is missing.
set -uo pipefail

kalvorant=${1:?usage: demo_e2e.sh KALVORANT SCENE}
# shellcheck source=tests/e2e/x_session.sh
. "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
# shellcheck source=tests/e2e/checks.sh
. "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scene=${2:?usage: demo_e2e.sh KALVORANT SCENE}

for tool in Xvfb xdotool xwd convert timeout; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian: xvfb xdotool x11-apps imagemagick)"
    exit 77
  fi
done
if [ ! -f "$scene" ]; then
  echo "SKIP: no scene file at $scene"
  exit 77
fi
if [ ! -x "$kalvorant" ]; then
  echo "FAIL: $kalvorant is not an executable program"
  exit 1
fi
# The runs below happen in other folders.
kalvorant=$(realpath "$kalvorant")
scene=$(realpath "$scene")

# Sanitizer builds: libraries below SDL (D-Bus, the sanitizer runtimes' own start-up) keep a
# few allocations until exit. The program's own code is leak-checked by its unit tests.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

begin_checks kalv_e2e

if ! start_x_server "$work"; then
  echo "SKIP: the X server did not start"
  exit 77
fi
echo "X server on $DISPLAY"

expected_log() {
  printf '%s\r\n' \
    "__________Direct Draw - Log__________" \
    "Debug - mode Inactive" \
    "DirectDrawCreateEx(NULL, &lpDD, IID_IDirectDraw7, NULL);" \
    "    OK" \
    "SetCooperativeLevel(EXCLUSIVE | ALLOWREBOOT | FULLSCREEN);" \
    "    OK" \
    "SetDisplayMode(Width, Height, 32, 0, DDSDM_STANDARDVGAMODE);" \
    "    OK" \
    "CreateSurface(&ddsd, &lpDDSPrimary, NULL);" \
    "    OK" \
    "GetAttachedSurface(&ddscaps, &lpDDSBack);" \
    "    OK" \
    "Creating Offscreen surfaces" \
    "CreateSurface(&ddsd, &lpDDSOne, NULL);" \
    "    OK" \
    "CreateSurface(&ddsd, &lpDDSTwo, NULL);" \
    "    OK"
}

# --- A normal run -------------------------------------------------------------------------
mkdir "$work/run"
cp "$scene" "$work/run/object.3ds"
printf 'log of an earlier run\r\n' >"$work/run/DirectX.log"
(cd "$work/run" && exec timeout -k 5 120 "$kalvorant" >"$work/run.out" 2>"$work/run.err") &
demo_pid=$!

# Wait for a picture: the first frames need the window mapped and full screen.
wait_for_picture "$work/first.png"
echo "first picture: $lit lit pixels, $orange of them orange"
[ "$lit" -gt 2000 ] || fail "no picture on the screen (only $lit lit pixels)"
[ "$orange" -ge $((lit * 9 / 10)) ] || fail "picture not in the mesh colour ($orange of $lit)"

# Keys other than Escape change nothing: the demo keeps running and animating.
timeout 10 xdotool mousemove 256 192 key a space Return Up F1 q x
sleep 0.5
kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended after keys other than Escape"
screenshot "$work/later.png" || fail "no screenshot after the keys"
read -r lit_later _ < <(pixel_counts "$work/later.png")
[ "$lit_later" -gt 2000 ] || fail "the picture went away after other keys ($lit_later lit)"
if cmp -s <(convert "$work/first.png" rgb:-) <(convert "$work/later.png" rgb:-); then
  fail "the picture did not move between two screenshots"
fi

end_with_escape
status=$?
[ "$status" -ne 124 ] || fail "the demo did not end within 10 s of Escape"
[ "$status" -eq 0 ] || fail "exit status $status after Escape, expected 0 ($(head -c 300 "$work/run.err"))"
if ! cmp -s <(expected_log) "$work/run/DirectX.log"; then
  fail "DirectX.log differs from the successful set-up log"
  od -c "$work/run/DirectX.log" | head -n 20
fi

# --- No scene file ------------------------------------------------------------------------
mkdir "$work/noscene"
printf 'log of an earlier run\r\n' >"$work/noscene/DirectX.log"
(cd "$work/noscene" && timeout -k 5 30 "$kalvorant" >"$work/noscene.out" 2>"$work/noscene.err")
status=$?
echo "without object.3ds: status $status: $(cat "$work/noscene.err")"
[ "$status" -eq 1 ] || fail "exit status $status without object.3ds, expected 1"
[ "$(wc -l <"$work/noscene.err")" -eq 1 ] || fail "expected one line on stderr without object.3ds"
grep -q "object.3ds" "$work/noscene.err" || fail "the message does not name object.3ds"
[ "$(cat "$work/noscene/DirectX.log")" = $'log of an earlier run\r' ] ||
  fail "DirectX.log was touched although the display set-up never started"

# --- No display ---------------------------------------------------------------------------
mkdir "$work/nodisplay"
cp "$scene" "$work/nodisplay/object.3ds"
printf 'log of an earlier run\r\n' >"$work/nodisplay/DirectX.log"
(cd "$work/nodisplay" && env -u DISPLAY timeout -k 5 30 "$kalvorant" >"$work/nodisplay.out" \
  2>"$work/nodisplay.err")
status=$?
echo "without a display: status $status: $(cat "$work/nodisplay.err")"
[ "$status" -eq 1 ] || fail "exit status $status without a display, expected 1"
[ "$(wc -l <"$work/nodisplay.err")" -eq 1 ] || fail "expected one line on stderr without a display"
grep -q "display" "$work/nodisplay.err" || fail "the message does not say the display is missing"
[ "$(cat "$work/nodisplay/DirectX.log")" = $'log of an earlier run\r' ] ||
  fail "DirectX.log was touched without a display"

end_checks "all checks passed"
