#!/usr/bin/env bash
# Builds the Windows program for both targets (presets mingw-i686 and mingw-x86_64), checks that
# each kalvorant.exe is a self-contained GUI program, and runs the x86_64 one end to end under Wine
# (tests/e2e/windows_e2e.sh). The 32-bit program is only built: it cannot run where the kernel
# refuses 32-bit code, and Debian's wine64 has no 32-bit half.
#
# Usage: scripts/windows.sh [--build-only]
# Exit status: 0 when everything passed, 77 when the build passed but Wine or Xvfb is missing and
# cannot be installed, anything else on failure.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
run_e2e=1
case "${1:-}" in
  --build-only) run_e2e=0 ;;
  "") ;;
  *)
    echo "usage: scripts/windows.sh [--build-only]" >&2
    exit 2
    ;;
esac

say() { printf 'windows: %s\n' "$*"; }
now() { date +%s%N; }
seconds_since() { echo "$(($(now) - $1))" | awk '{ printf "%.1f", $1 / 1e9 }'; }

# What a Windows installation provides; anything else imported would have to ship beside the exe.
readonly system_dlls="ddraw.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll"

# Checks that $2 is a GUI program of the right word size that imports system DLLs only.
check_exe() {
  local arch=$1 exe=$2 headers magic dll bad=0
  headers=$("${arch}-w64-mingw32-objdump" -p "$exe")
  grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || {
    say "FAIL: $exe is not a Windows GUI program"
    bad=1
  }
  magic=$(awk '$1 == "Magic" { print $2 }' <<<"$headers")
  case "$arch:$magic" in
    i686:010b | x86_64:020b) ;;
    *)
      say "FAIL: $exe has PE magic $magic, wrong for $arch"
      bad=1
      ;;
  esac
  while read -r dll; do
    case " $system_dlls " in
      *" $dll "*) ;;
      *)
        say "FAIL: $exe needs $dll beside it (the run-time must be linked statically)"
        bad=1
        ;;
    esac
  done < <(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers")
  return $bad
}

build() {
  local preset=$1 arch=${1#mingw-} t0 exe log
  t0=$(now)
  log="$root/build/$preset.build.log"
  mkdir -p "$root/build"
  # Warnings fail the build: the Windows program must compile as cleanly as the Linux one.
  if ! cmake --preset "$preset" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >"$log" 2>&1 ||
    ! cmake --build --preset "$preset" --parallel "$(nproc 2>/dev/null || echo 2)" >>"$log" 2>&1; then
    tail -40 "$log"
    say "FAIL: $preset build failed (full output in $log)"
    return 1
  fi
  if grep -q 'warning:' "$log"; then
    grep 'warning:' "$log" | head -20
    say "FAIL: $preset build printed warnings"
    return 1
  fi
  exe="$root/build/$preset/app/kalvorant.exe"
  [ -f "$exe" ] || {
    say "FAIL: $preset built no $exe"
    return 1
  }
  check_exe "$arch" "$exe" || return 1
  if [ -f "$root/assets/object.3ds" ] && ! cmp -s "$root/assets/object.3ds" "$(dirname "$exe")/object.3ds"; then
    say "FAIL: $preset did not put assets/object.3ds beside kalvorant.exe"
    return 1
  fi
  say "$preset: $(realpath --relative-to="$root" "$exe") ($(stat -c %s "$exe") bytes) in $(seconds_since "$t0") s"
}

t_all=$(now)
build mingw-i686
build mingw-x86_64

status=0
# The 64-bit program's frames under Wine against the hashes every other build is checked with.
frame_hashes_under_wine() {
  command -v wine >/dev/null || { say "SKIP: no wine for the frame hashes"; return 0; }
  local prefix rc=0
  prefix=$(mktemp -d /tmp/kalv-wine-hashes.XXXXXX)
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64 \
    timeout 900 wine "$root/build/mingw-x86_64/app/kalv_frame_hashes.exe" \
    "$root/assets/object.3ds" --check "$root/tests/data/frame_hashes.txt" || rc=$?
  WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1
  rm -rf "$prefix"
  [ $rc -eq 0 ] || say "FAIL: the x86_64 frames under Wine differ from tests/data/frame_hashes.txt"
  return $rc
}

if [ $run_e2e -eq 1 ]; then
  t0=$(now)
  frame_hashes_under_wine || status=1
  say "Wine frame hashes: $(seconds_since "$t0") s"
  scene="$root/build/mingw-x86_64/app/object.3ds"
  [ -f "$scene" ] || scene="$root/assets/object.3ds"
  t0=$(now)
  e2e=0
  "$root/tests/e2e/windows_e2e.sh" "$root/build/mingw-x86_64/app/kalvorant.exe" "$scene" || e2e=$?
  [ $status -ne 0 ] || status=$e2e
  say "Wine end-to-end test: status $status in $(seconds_since "$t0") s"
fi
say "Windows part took $(seconds_since "$t_all") s in all"
exit $status
