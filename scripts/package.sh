#!/usr/bin/env bash
# Builds the three packages into build/packages/:
#   kalvorant_<version>_amd64.deb     the Linux program, tools, manual pages, menu entry (preset deb)
#   kalvorant-<version>-win64.zip     the 64-bit Windows program (preset mingw-x86_64)
#   kalvorant-<version>-win32.zip     the 32-bit Windows program (preset mingw-i686)
# The version is the one in the project() call of CMakeLists.txt.
#
# Usage: scripts/package.sh [deb|win64|win32]...   (default: all three)
# Exit status: 0 when every package asked for was made, 1 otherwise (the failing step is named).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
out=$root/build/packages
jobs=$(nproc 2>/dev/null || echo 2)

say() { printf 'package: %s\n' "$*"; }
fail() {
  say "FAIL: $*"
  exit 1
}

# The changelog date and the archive times follow the last commit, so the same commit packs to
# the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=""
  [ -n "$SOURCE_DATE_EPOCH" ] && export SOURCE_DATE_EPOCH
fi

# build PRESET GENERATOR [cmake options...]: configure, build and pack one preset into $out.
build_and_pack() {
  local preset=$1 generator=$2 log
  shift 2
  log=$root/build/$preset.package.log
  mkdir -p "$root/build" "$out"
  say "$preset: building (log in $log)"
  if ! cmake --preset "$preset" "$@" >"$log" 2>&1 ||
    ! cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1; then
    tail -n 30 "$log"
    fail "$preset build failed"
  fi
  if ! cpack --config "$root/build/$preset/CPackConfig.cmake" -G "$generator" -B "$out" \
    >>"$log" 2>&1; then
    tail -n 30 "$log"
    fail "cpack $generator for $preset failed"
  fi
}

# Debian's hardening flags (stack protector, fortified C library calls, read-only relocations
# bound at start-up), as a Debian build of the package would use.
deb() {
  local cflags="" cxxflags="" ldflags=""
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  if command -v dpkg-buildflags >/dev/null; then
    cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    ldflags=$(dpkg-buildflags --get LDFLAGS)
  fi
  command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (Debian package dpkg-dev)"
  build_and_pack deb DEB "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags" \
    "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
}

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(deb win64 win32)
# A package of an earlier version is removed first, so the folder holds only what was just made.
for target in "${targets[@]}"; do
  case $target in
  deb) rm -f "$out"/kalvorant_*_amd64.deb && deb ;;
  win64) rm -f "$out"/kalvorant-*-win64.zip && build_and_pack mingw-x86_64 ZIP ;;
  win32) rm -f "$out"/kalvorant-*-win32.zip && build_and_pack mingw-i686 ZIP ;;
  *) fail "unknown package '$target' (deb, win64 or win32)" ;;
  esac
done
rm -rf "$out/_CPack_Packages"
for f in "$out"/kalvorant*.deb "$out"/kalvorant*.zip; do
  [ -f "$f" ] && say "$(realpath --relative-to="$root" "$f") ($(stat -c %s "$f") bytes)"
done
exit 0
