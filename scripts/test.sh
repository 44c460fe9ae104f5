#!/usr/bin/env bash
# The whole test suite: installs what is missing, then builds and tests every configuration.
#   1. default preset (optimised): unit tests, end-to-end tests, tool tests
#   1b. the core built at Release (-O3): its frames against the committed frame hashes
#   2. fuzzing the scene loader, then the loader with the renderer, for a bounded time (clang,
#      libFuzzer)
#   3. the Windows program: both cross builds, and the 64-bit one run under Wine
#   4. packages: the .deb and both Windows zips made by scripts/package.sh, then checked: lintian,
#      dpkg install into a private root, the installed programs, purge; each zip's contents and
#      the 64-bit exe from the unpacked zip under Wine
#   5. asan preset: the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer
#   6. the web page: WebAssembly build, Node and headless Chromium tests (scripts/web-test.sh)
# Exits non-zero when any stage fails. KALV_FUZZ_SECONDS sets the loader's fuzzing time (default
# 60), KALV_RENDER_FUZZ_SECONDS the renderer's (default 30).
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0
failed_stages=()

stage() {
  local name=$1
  shift
  echo
  echo "=== $name ==="
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "=== $name: passed in $((SECONDS - start)) s ==="
  else
    failed=$((failed + 1))
    failed_stages+=("$name")
    echo "=== $name: FAILED after $((SECONDS - start)) s ==="
  fi
}

build_and_test() {
  local preset=$1
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$jobs" &&
    ctest --preset "$preset" -j "$jobs"
}

# The core at -O3 (a plain Release build, what most people pick) must draw the very pixels the
# committed frame hashes record.
release_frames() {
  cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKALV_TESTS=OFF -DKALV_BENCH=OFF \
    >/dev/null &&
    cmake --build build/release -j "$jobs" --target kalv_frame_hashes &&
    build/release/app/kalv_frame_hashes assets/object.3ds --check tests/data/frame_hashes.txt
}

packages() {
  local status=0
  bash scripts/package.sh || return 1
  bash tests/package/deb_test.sh build/packages/kalvorant_*_amd64.deb || status=1
  bash tests/package/zip_test.sh build/packages/kalvorant-*-win64.zip \
    build/packages/kalvorant-*-win32.zip || status=1
  return $status
}

stage "default build and tests" build_and_test default
stage "Release (-O3) frames" release_frames
stage "loader and renderer fuzzing" bash fuzz/run-fuzz.sh "${KALV_FUZZ_SECONDS:-60}" \
  "${KALV_RENDER_FUZZ_SECONDS:-30}"
stage "Windows builds and Wine run" bash scripts/windows.sh
stage "packages" packages
stage "sanitizer build and tests" build_and_test asan
stage "web page" bash scripts/web-test.sh

echo
if [ "$failed" -ne 0 ]; then
  echo "failed stages: ${failed_stages[*]}"
fi
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
