#!/usr/bin/env bash
# The web page's tests: builds the WebAssembly module and the page (web preset) and the native
# tools they are compared with (default preset), checks the module's size, installs the test's
# npm packages from the committed lockfile (puppeteer-core, which downloads no browser), then runs
# the Node tests (frames and loader verdicts equal the native ones) and the page in Debian's
# chromium. KALV_WEB_SCREENSHOT=FILE also saves a screenshot of the running page there.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# A compiler launcher such as ccache would stand in front of emcc, which it does not understand.
env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER cmake --preset web >/dev/null
cmake --build --preset web -j "$jobs"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target kalvorant-render kalvorant-info

bash scripts/web-size.sh build/web/page

(cd web && npm ci --ignore-scripts --no-audit --no-fund)
node --test web/tests/
