#!/usr/bin/env bash
# Builds the web page and serves it on 127.0.0.1, printing the address to open.
#   bash scripts/serve-web.sh [PORT]      (default 8000; 0 picks a free port)
# Needs Debian's emscripten and nodejs (scripts/deps.sh installs them). Ctrl+C stops the server.
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8000}
env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER cmake --preset web >/dev/null
cmake --build --preset web -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
exec node web/serve.js build/web/page "$port"
