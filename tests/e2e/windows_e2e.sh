#!/usr/bin/env bash
# End-to-end run of the real Windows program: kalvorant.exe (the x86_64 cross build) under Wine,
# in a fresh Wine prefix, inside an Xvfb screen of 512x384x24, from a folder that holds nothing but
# the exe and object.3ds. Checks what a user would see on Windows:
#   - started without object.3ds: a message box titled "Kalvorant_04 - cannot start" (found and
#     closed with Enter), then exit status 1, the reason on standard error, no "DirectX.log";
#   - started with it: "DirectX.log" holds exactly the header and the sixteen set-up lines (CR LF),
#     the screen shows the scene spinning in the base colour 0xFA8008 scaled by flat-shading
#     intensities, and Escape ends the program with exit status 0.
#
# Usage: windows_e2e.sh KALVORANT_EXE [SCENE]
#   SCENE defaults to object.3ds beside the exe. Screenshots, logs and Wine's output are copied to
#   $KALV_E2E_ARTEFACTS (default: e2e-artefacts beside the exe) whether the run passes or fails.
# Exit status: 0 pass, 1 fail, 77 skip (Wine or Xvfb is missing and cannot be installed).
set -uo pipefail

readonly title="Kalvorant_04 - raster test"
readonly failure_title="Kalvorant_04 - cannot start"
readonly screen_w=512 screen_h=384
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

say() { printf 'windows_e2e: %s\n' "$*"; }
fail() {
  say "FAIL: $*"
  failed=1
}

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: windows_e2e.sh KALVORANT_EXE [SCENE]" >&2
  exit 2
fi
exe=$(realpath -e "$1" 2>/dev/null) || {
  say "FAIL: no program at '$1' (build it with: cmake --preset mingw-x86_64 && cmake --build --preset mingw-x86_64)"
  exit 1
}
scene=$(realpath -e "${2:-$(dirname "$exe")/object.3ds}" 2>/dev/null) || {
  say "FAIL: no scene file at '${2:-$(dirname "$exe")/object.3ds}'"
  exit 1
}
artefacts=${KALV_E2E_ARTEFACTS:-$(dirname "$exe")/e2e-artefacts}

# ---------------------------------------------------------------------------------------------
# Tools. A missing one is installed with the project's own script when we may; only when that is
# impossible is the test skipped.
needed=(wine wineserver wineboot Xvfb xdotool xwd convert timeout cmp)
missing_tools() {
  local t out=()
  for t in "${needed[@]}"; do command -v "$t" >/dev/null 2>&1 || out+=("$t"); done
  echo "${out[*]}"
}
missing=$(missing_tools)
if [ -n "$missing" ]; then
  say "missing tools: $missing; trying scripts/deps.sh"
  if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
    timeout 900 "$root/scripts/deps.sh" || true
  fi
  missing=$(missing_tools)
  if [ -n "$missing" ]; then
    say "SKIP: cannot install $missing (Debian packages wine wine64 xvfb xdotool x11-apps imagemagick)"
    exit 77
  fi
fi

# ---------------------------------------------------------------------------------------------
# Scratch space, X server and Wine prefix, all torn down on exit.
work=$(mktemp -d /tmp/kalv-wine-e2e.XXXXXX)
xvfb_pid=""
failed=0
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono / Gecko installer prompts in a fresh prefix
export WINE_D3D_CONFIG="renderer=no3d"     # DirectDraw in software: keeps the 20 ms frame pace
export WINEARCH=win64

# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  [ -d "$WINEPREFIX" ] && timeout 20 wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  mkdir -p "$artefacts" 2>/dev/null &&
    cp -f "$work"/*.png "$work"/*.txt "$artefacts"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd lets Xvfb pick a free display, so parallel runs and other helpers' servers never clash.
Xvfb -displayfd 1 -screen 0 ${screen_w}x${screen_h}x24 -nolisten tcp >"$work/display.num" \
  2>"$work/xvfb.txt" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display.num" ] && break
  sleep 0.1
done
[ -s "$work/display.num" ] || { say "FAIL: Xvfb did not start: $(tail -1 "$work/xvfb.txt")"; exit 1; }
DISPLAY=":$(head -1 "$work/display.num")"
export DISPLAY

seconds_since() { echo "$(($(date +%s%N) - $1))" | awk '{ printf "%.1f", $1 / 1e9 }'; }

t_all=$(date +%s%N)
t0=$t_all
timeout 180 wineboot -i >"$work/wineboot.txt" 2>&1 && timeout 60 wineserver -w
rc=$?
wineboot_s=$(seconds_since "$t0")
[ $rc -eq 0 ] || { say "FAIL: wineboot of a fresh prefix failed (status $rc)"; exit 1; }
say "fresh Wine prefix ready in ${wineboot_s} s"

# Runs the exe copied into folder $1, in the background; its exit status lands in $1/status.
start_program() {
  local dir=$1
  cp "$exe" "$dir/kalvorant.exe"
  (cd "$dir" && timeout 120 wine kalvorant.exe >"$dir/stdout.txt" 2>"$dir/stderr.txt"
   echo $? >"$dir/status.tmp" && mv "$dir/status.tmp" "$dir/status")&
}
# Waits up to $2 seconds for the program in folder $1 to end; prints its status or "running".
wait_status() {
  local dir=$1 tries=$(($2 * 10))
  while [ $tries -gt 0 ] && [ ! -f "$dir/status" ]; do
    sleep 0.1
    tries=$((tries - 1))
  done
  if [ -f "$dir/status" ]; then cat "$dir/status"; else echo running; fi
}

# ---------------------------------------------------------------------------------------------
# 1. No scene: the program gives up before the display set-up.
mkdir "$work/run_missing"
t0=$(date +%s%N)
start_program "$work/run_missing"
# A double-clicked GUI program has no visible standard error, so the reason comes in a message
# box; the program waits there until the box is closed, as a user would close it.
box=""
for _ in $(seq 300); do
  box=$(xdotool search --name "^${failure_title}\$" 2>/dev/null | head -1)
  [ -n "$box" ] && break
  [ -f "$work/run_missing/status" ] && break
  sleep 0.1
done
if [ -n "$box" ]; then
  say "message box \"$failure_title\" after $(seconds_since "$t0") s"
  sleep 0.5
  xwd -id "$box" -silent | convert xwd:- "$work/failure_box.png" 2>/dev/null
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) >/dev/null 2>&1
  xdotool windowfocus "$box" >/dev/null 2>&1
  xdotool key Return
else
  fail "without object.3ds no message box titled \"$failure_title\" appeared"
fi
status=$(wait_status "$work/run_missing" 60)
say "run without object.3ds: status $status after $(seconds_since "$t0") s"
[ "$status" = 1 ] || fail "without object.3ds the exit status is $status, expected 1"
[ -e "$work/run_missing/DirectX.log" ] && fail "without object.3ds a DirectX.log was written"
cp "$work/run_missing/stderr.txt" "$work/missing_stderr.txt"
grep -q "object.3ds" "$work/run_missing/stderr.txt" ||
  fail "without object.3ds nothing on standard error names the file (it reads: $(head -c 200 "$work/run_missing/stderr.txt"))"
[ "$status" = running ] && timeout 20 wineserver -k

# ---------------------------------------------------------------------------------------------
# 2. The real run.
run="$work/run_ok"
mkdir "$run"
cp "$scene" "$run/object.3ds"
t0=$(date +%s%N)
start_program "$run"

window=""
for _ in $(seq 300); do
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -1)
  [ -n "$window" ] && break
  [ -f "$run/status" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled \"$title\" appeared within 30 s"

# The set-up is over once its seventeen lines are in the log, or when the log stops growing
# (a failed step ends it early).
last_size=-1 still=0
for _ in $(seq 200); do
  [ -f "$run/status" ] && break
  if [ -f "$run/DirectX.log" ]; then
    [ "$(grep -c '' "$run/DirectX.log")" -ge 17 ] && break
    size=$(stat -c %s "$run/DirectX.log")
    if [ "$size" = "$last_size" ]; then still=$((still + 1)); else still=0; fi
    last_size=$size
    [ $still -ge 20 ] && break
  fi
  sleep 0.1
done
say "window and display set-up after $(seconds_since "$t0") s"

expected="$work/expected_DirectX.log"
printf '%s\r\n' \
  "__________Direct Draw - Log__________" \
  "Debug - mode Inactive" \
  "DirectDrawCreateEx(NULL, &lpDD, IID_IDirectDraw7, NULL);" "    OK" \
  "SetCooperativeLevel(EXCLUSIVE | ALLOWREBOOT | FULLSCREEN);" "    OK" \
  "SetDisplayMode(Width, Height, 32, 0, DDSDM_STANDARDVGAMODE);" "    OK" \
  "CreateSurface(&ddsd, &lpDDSPrimary, NULL);" "    OK" \
  "GetAttachedSurface(&ddscaps, &lpDDSBack);" "    OK" \
  "Creating Offscreen surfaces" \
  "CreateSurface(&ddsd, &lpDDSOne, NULL);" "    OK" \
  "CreateSurface(&ddsd, &lpDDSTwo, NULL);" "    OK" >"$expected"
if [ ! -f "$run/DirectX.log" ]; then
  fail "no DirectX.log was written"
else
  cp "$run/DirectX.log" "$work/DirectX.log.txt"
  if ! cmp -s "$expected" "$run/DirectX.log"; then
    fail "DirectX.log differs from the successful set-up (first difference: $(cmp "$expected" "$run/DirectX.log" 2>&1 | head -1)); it reads:"
    iconv -f CP1250 -t UTF-8 "$run/DirectX.log" | sed 's/\r$/<CR>/; s/^/    /'
  fi
fi

# Every pixel the program can show is black or the base colour 0xFA8008 at a flat-shading
# intensity I in 1..255, each channel being channel * I / 256 rounded down.
# Prints "<legal pixels> <scene pixels> <distinct shades>" for a screenshot.
measure_picture() {
  convert "$1" -format %c histogram:info:- |
    sed -E 's/^ *([0-9]+): *\( *([0-9]+), *([0-9]+), *([0-9]+).*/\1 \2 \3 \4/' |
    awk 'BEGIN { for (i = 0; i < 256; i++) legal[int(250 * i / 256) " " int(128 * i / 256) " " int(8 * i / 256)] = 1 }
         NF == 4 && ($2 " " $3 " " $4) in legal {
           ok += $1
           if ($2 + $3 + $4 > 0) { scene += $1; shades++ } }
         END { printf "%d %d %d\n", ok, scene, shades }'
}

check_picture() {
  local name=$1 file=$2 total=$((screen_w * screen_h)) ok scene shades
  read -r ok scene shades <<<"$(measure_picture "$file")"
  say "$name: $scene of $total pixels show the scene in $shades shades; $((total - ok)) foreign pixels"
  # A stray pixel or two (say from a cursor) is tolerated; anything more is a wrong picture.
  [ "$ok" -ge $((total - 16)) ] ||
    fail "$name: $((total - ok)) pixels are neither black nor a shade of 0xFA8008"
  [ "$scene" -ge $((total / 100)) ] || fail "$name: only $scene pixels show the scene (black screen?)"
  [ "$shades" -ge 2 ] || fail "$name: $shades shade(s); a flat-shaded solid turning shows several"
}

if [ ! -f "$run/status" ]; then
  sleep 1.5
  xwd -root -silent | convert xwd:- "$work/screen_1.png"
  sleep 0.5
  xwd -root -silent | convert xwd:- "$work/screen_2.png"
  check_picture "screenshot 1" "$work/screen_1.png"
  check_picture "screenshot 2" "$work/screen_2.png"
  if cmp -s <(convert "$work/screen_1.png" rgb:-) <(convert "$work/screen_2.png" rgb:-); then
    fail "two screenshots 0.5 s apart are identical: the scene does not spin"
  fi
else
  fail "the program ended by itself with status $(cat "$run/status") before Escape"
fi

# ---------------------------------------------------------------------------------------------
# 3. Escape ends it. Without a window manager the focus follows the pointer, so the pointer is put
#    on the window too; the key press goes to the focused window as a user's would.
if [ ! -f "$run/status" ]; then
  [ -n "$window" ] && xdotool windowfocus "$window" >/dev/null 2>&1
  xdotool mousemove $((screen_w / 2)) $((screen_h / 2)) >/dev/null 2>&1
  t1=$(date +%s%N)
  xdotool key Escape
  status=$(wait_status "$run" 20)
  say "Escape: status $status after $(seconds_since "$t1") s"
  [ "$status" = 0 ] || fail "after Escape the program ended with status $status, expected 0"
fi
cp "$run/stderr.txt" "$work/run_stderr.txt" 2>/dev/null

say "total $(seconds_since "$t_all") s, of which ${wineboot_s} s for the fresh prefix"
if [ "$failed" -ne 0 ]; then
  say "artefacts in $artefacts"
  exit 1
fi
say "PASS"
exit 0
