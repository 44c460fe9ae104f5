#!/usr/bin/env bash
# The slowest frame a small file can ask for, and how long the demo then takes to answer Escape.
#
# Usage: bench/slow_frame.sh [BUILD_DIR]   (default: build/default)
#
# Writes a 524 KB scene of 65 534 copies of one triangle that covers the whole view
# (tests/e2e/write_3ds.py screen-faces), then:
#   1. times kalvorant-render --threads 1 on frames 1 to 3 (the demo draws on one thread, through
#      the same frame code) and prints wall and CPU (user + system) time; start-up, loading and
#      writing one PNG take well under 1% of it;
#   2. counts the lit pixels of frame 3, which every face of it fills (the first frames differ
#      by a few pixels), and divides faces x pixels by the CPU time of a frame: the fill rate;
#   3. where Xvfb and xdotool are installed, runs the demo on the file, presses Escape once the
#      first frame is on the screen and reports how long the demo took to end.
# The load average is printed first: wall times only mean something on a quiet machine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root/build/default}")
render=$build/tools/kalvorant-render
demo=$build/app/kalvorant
work=$(mktemp -d /tmp/kalv-slow-frame.XXXXXX)
trap 'rm -rf "$work"' EXIT
faces=65534

echo "slow_frame: load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
python3 "$root/tests/e2e/write_3ds.py" screen-faces "$work/object.3ds" "$faces"
echo "slow_frame: $faces full-view faces, $(stat -c %s "$work/object.3ds") bytes"

# Prints "WALL CPU" in seconds for one run of the given command.
measure() {
  local start end before after ticks me=$BASHPID
  ticks=$(getconf CLK_TCK)
  # This shell's children's CPU time: the command's, once it has been waited for.
  before=$(awk '{ print $16 + $17 }' "/proc/$me/stat")
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  after=$(awk '{ print $16 + $17 }' "/proc/$me/stat")
  awk -v s="$start" -v e="$end" -v c=$((after - before)) -v t="$ticks" \
    'BEGIN { printf "%.3f %.3f\n", e - s, c / t }'
}

frames=3
read -r wall cpu < <(measure "$render" "$work/object.3ds" --threads 1 --only "$frames" --quiet \
  --png "$work/frame.png")
frame_cpu=$(awk -v c="$cpu" -v n="$frames" 'BEGIN { printf "%.2f", c / n }')
echo "slow_frame: kalvorant-render --threads 1, $frames frames: $wall s wall, $cpu s CPU:" \
  "$frame_cpu s CPU a frame"

if command -v convert >/dev/null; then
  lit=$(convert "$work/frame.png" -depth 8 txt:- |
    awk -F'[(),]' 'NR > 1 && $3 + $4 + $5 > 0 { n++ } END { print n + 0 }')
  awk -v f="$faces" -v p="$lit" -v t="$frame_cpu" 'BEGIN {
    printf "slow_frame: %d lit pixels a face, %.0f pixels a frame: %.2f billion pixels a second\n",
           p, f * p, f * p / t / 1e9 }'
fi

if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "slow_frame: Xvfb or xdotool missing: the demo's answer to Escape is not measured"
  exit 0
fi
# shellcheck source=tests/e2e/x_session.sh
. "$root/tests/e2e/x_session.sh"
start_x_server "$work" || exit 1
trap 'kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
(cd "$work" && exec timeout -k 5 300 "$demo" >/dev/null 2>&1) &
demo_pid=$!
wait_for_picture "$work/first.png"
pressed=$(date +%s.%N)
timeout 10 xdotool mousemove 256 192 key Escape
status=0
wait "$demo_pid" || status=$?
ended=$(date +%s.%N)
awk -v s="$pressed" -v e="$ended" -v st="$status" \
  'BEGIN { printf "slow_frame: the demo ended %.2f s after Escape (status %d)\n", e - s, st }'
