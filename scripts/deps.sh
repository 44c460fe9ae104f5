#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kalvorant need.
# Packages that are already installed are left alone; nothing is fetched when all are present.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build clang libclang-rt-14-dev clang-format
  libgtest-dev libbenchmark-dev libpng-dev libgif-dev libsdl2-dev
  # the pictures materials name: stb_image (linked as a shared library; the .deb then needs libstb0)
  libstb-dev
  # the same-work comparison with Mesa's software OpenGL (bench_mesa, built when present)
  libosmesa6-dev
  # end-to-end tests: a real X server, key presses, screenshots, a window manager
  xvfb xdotool x11-apps imagemagick openbox
  # the Windows program: cross compilers and Wine to run it
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine64
  # real .3ds files written by other programs, used as test data
  glmark2-data assimp-testmodels
  # another program's 3DS reader, to check that the bundled scene opens elsewhere too
  assimp-utils
  # packages: dependencies of the .deb, its checks, manual pages, the zips' checks
  dpkg-dev lintian man-db desktop-file-utils unzip file
  python3
  # the web page: WebAssembly compiler, a browser and Node for its tests
  emscripten chromium nodejs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# npm comes with some builds of nodejs (NodeSource's, which conflicts with Debian's npm package).
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
echo "deps: done"
