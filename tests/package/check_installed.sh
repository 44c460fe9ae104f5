#!/usr/bin/env bash
# Checks an installed Kalvorant as its users meet it, from PREFIX (the folder that holds bin/ and
# share/: /usr of an unpacked .deb, or the prefix given to `cmake --install`):
#   - exactly the expected files, and nothing else (README's pictures among them);
#   - every manual page formats without a warning from man;
#   - the menu entries (viewer and demo) are valid and name programs and an icon that are
#     installed, and the viewer's opens .3ds files;
#   - kalvorant-info and kalvorant-render work on the installed scene;
#   - the thumbnailer's Exec line, run as a file manager runs it, makes a picture of a real file;
#   - the launcher kalvorant-demo: refuses with one line when its folder cannot be made, is not
#     the user's alone, or no variable names an absolute one; uses a
#     scene the user put in the folder (found through HOME when XDG_STATE_HOME is unset), and,
#     in a real X server with a fresh XDG_STATE_HOME, shows the bundled scene, writes the log
#     there and ends with status 0 on Escape;
#   - the viewer opens a window on the bundled scene and ends with status 0 on Escape.
# Nothing is written outside a temporary folder, which is removed at the end.
#
# Usage: check_installed.sh PREFIX [INSTALLED_AS]
# INSTALLED_AS is the prefix the files were installed for, which the manual pages name (/usr for
# a .deb unpacked into a private root); by default PREFIX itself.
# Exit status: 0 all passed, 1 a check failed, 77 skipped (a tool the checks need is missing).
set -uo pipefail

prefix=$(realpath -e "${1:?usage: check_installed.sh PREFIX [INSTALLED_AS]}") || exit 1
installed_as=${2:-$prefix}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/x_session.sh
. "$here/../e2e/x_session.sh"
# shellcheck source=tests/e2e/checks.sh
. "$here/../e2e/checks.sh"

for tool in man Xvfb xdotool xwd convert timeout; do
  command -v "$tool" >/dev/null || {
    echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"
    exit 77
  }
done

bin=$prefix/bin
scene=$prefix/share/kalvorant/object.3ds
begin_checks kalv_installed
# Sanitizer builds: libraries below SDL keep a few allocations until exit (as in demo_e2e.sh).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
# The programs must not depend on anything of the build or of the caller's environment.
unset XDG_STATE_HOME WAYLAND_DISPLAY SDL_VIDEODRIVER DISPLAY
export HOME=$work/home
mkdir "$HOME"

# png_size FILE: "WxH" from a PNG's header, or nothing when FILE is no PNG.
png_size() {
  local head
  head=$(head -c 24 "$1" 2>/dev/null | od -An -tx1 -v | tr -d ' \n')
  [ "${head:0:16}" = 89504e470d0a1a0a ] || return 0
  echo "$((16#${head:32:8}))x$((16#${head:40:8}))"
}

# --- The files -------------------------------------------------------------------------------
expected_files() {
  printf '%s\n' bin/kalvorant bin/kalvorant-demo bin/kalvorant-info bin/kalvorant-render \
    bin/kalvorant-view share/applications/kalvorant.desktop \
    share/applications/kalvorant-demo.desktop share/doc/kalvorant/README.md \
    share/doc/kalvorant/changelog.gz share/doc/kalvorant/copyright share/kalvorant/object.3ds \
    share/man/man1/kalvorant-info.1.gz share/man/man1/kalvorant-render.1.gz \
    share/man/man1/kalvorant-view.1.gz \
    share/icons/hicolor/256x256/apps/kalvorant.png share/man/man6/kalvorant-demo.6.gz \
    share/man/man6/kalvorant.6.gz share/thumbnailers/kalvorant.thumbnailer
  # The pictures the installed README shows, beside it at the paths it links them by.
  grep -o '](docs/[^)]*)' "$prefix/share/doc/kalvorant/README.md" 2>/dev/null |
    sed 's|^](|share/doc/kalvorant/|; s|)$||' | sort -u
}
if ! diff <(expected_files | LC_ALL=C sort) \
  <(cd "$prefix" && find . -mindepth 1 ! -type d -printf '%P\n' | LC_ALL=C sort); then
  fail "the installed files differ from the expected ones (< expected, > installed)"
fi

# --- Manual pages ------------------------------------------------------------------------------
for page in "$prefix"/share/man/man*/*; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about ${page#"$prefix"/}: $warnings"
  [ "$(LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null | wc -l)" -gt 20 ] ||
    fail "${page#"$prefix"/} formats to almost nothing"
done

# The demo's page tells the truth where a newcomer looks: the bundled scene where this install
# put it, the meshes turning about the scene's origin, and the picture mirrored left to right.
# (The page's source, since a formatter may print hyphens and quotes as other characters.)
demo_page=$(gzip -dc "$prefix/share/man/man6/kalvorant.6.gz")
for truth in "$installed_as/share/kalvorant/object.3ds" "about the scene's origin" \
  "mirrored left to right"; do
  grep -qF -- "$truth" <<<"$demo_page" || fail "kalvorant(6) does not say \"$truth\""
done

# --- Menu entries ------------------------------------------------------------------------------
# The viewer's entry opens .3ds files; the demo's starts the launcher.
for entry in kalvorant kalvorant-demo; do
  desktop=$prefix/share/applications/$entry.desktop
  if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  fi
  exec_line=$(sed -n 's/^Exec=//p' "$desktop")
  [ -x "$bin/${exec_line%% *}" ] || fail "$entry.desktop runs '$exec_line', which is not installed"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ "$(png_size "$prefix/share/icons/hicolor/256x256/apps/$icon.png")" = 256x256 ] ||
    fail "$entry.desktop's icon '$icon' is not an installed 256x256 PNG"
done
desktop=$prefix/share/applications/kalvorant.desktop
[ "$(sed -n 's/^Exec=//p' "$desktop")" = "kalvorant-view %f" ] &&
  grep -qx 'MimeType=image/x-3ds;' "$desktop" || fail "kalvorant.desktop does not open .3ds files in the viewer"
[ "$(sed -n 's/^Exec=//p' "$prefix/share/applications/kalvorant-demo.desktop")" = kalvorant-demo ] ||
  fail "kalvorant-demo.desktop does not start the launcher"

# --- The tools on the installed scene -----------------------------------------------------------
if ! "$bin/kalvorant-info" "$scene" >"$work/info.txt" 2>&1; then
  fail "kalvorant-info failed on the installed scene: $(head -n 1 "$work/info.txt")"
fi
grep -q '^meshes: 4 ' "$work/info.txt" || fail "kalvorant-info does not list the four meshes"
if ! "$bin/kalvorant-render" "$scene" --only 3 --out "$work/frames" >"$work/render.txt" 2>&1; then
  fail "kalvorant-render failed on the installed scene: $(head -n 1 "$work/render.txt")"
fi
[ "$(ls "$work/frames" 2>/dev/null)" = frame_0003.png ] || fail "kalvorant-render did not write frame_0003.png alone"
read -r lit orange < <(pixel_counts "$work/frames/frame_0003.png")
[ "$lit" -gt 2000 ] && [ "$orange" -eq "$lit" ] ||
  fail "the rendered frame does not show the scene ($orange of $lit lit pixels in the mesh colour)"

# --- The thumbnailer ------------------------------------------------------------------------------
# A file manager splits the Exec line at spaces, puts the size for %s, the output for %o and the
# input for %i (or its URI for %u), and runs it through the PATH.
real=/usr/share/glmark2/models/horse.3ds
if [ -f "$real" ]; then
  exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/thumbnailers/kalvorant.thumbnailer")
  read -ra words <<<"$exec_line"
  words=("${words[@]//%s/128}")
  words=("${words[@]//%o/$work/thumb.png}")
  words=("${words[@]//%i/$real}")
  words=("${words[@]//%u/file://$real}")
  if ! PATH=$bin:$PATH "${words[@]}" >"$work/thumb.txt" 2>&1; then
    fail "the thumbnailer failed on $real: $(head -n 1 "$work/thumb.txt")"
  fi
  [ "$(png_size "$work/thumb.png")" = 128x128 ] || fail "the thumbnailer made no 128x128 PNG"
  read -r lit orange < <(pixel_counts "$work/thumb.png")
  echo "thumbnailer on $real: $(png_size "$work/thumb.png"), $lit lit pixels"
  [ "$lit" -gt 300 ] || fail "the thumbnail of $real is nearly empty ($lit lit pixels)"
else
  echo "the thumbnailer is not run: no $real (Debian package glmark2-data)"
fi

# --- The launcher ---------------------------------------------------------------------------------
touch "$work/not-a-folder"
XDG_STATE_HOME=$work/not-a-folder "$bin/kalvorant-demo" >"$work/refused.out" 2>"$work/refused.err"
status=$?
echo "launcher with an impossible folder: status $status: $(cat "$work/refused.err")"
[ "$status" -eq 1 ] || fail "status $status when the folder cannot be made, expected 1"
[ "$(wc -l <"$work/refused.err")" -eq 1 ] && grep -q "cannot make the folder $work/not-a-folder/kalvorant" "$work/refused.err" ||
  fail "expected one line naming the folder that cannot be made"

# A folder that is not the user's alone is refused before anything is put in it, and so is an
# environment that names no absolute folder at all.
mkdir -p "$work/open/kalvorant" "$work/theirs"
chmod 777 "$work/open"
refusals=("open:is writable by other users")
# Only root can give a folder away to check the owner.
[ "$(id -u)" -ne 0 ] || { chown 65534 "$work/theirs" && refusals+=("theirs:is owned by"); }
for refusal in "${refusals[@]}"; do
  name=${refusal%%:*}
  XDG_STATE_HOME=$work/$name "$bin/kalvorant-demo" >/dev/null 2>"$work/$name.err"
  status=$?
  echo "launcher in a folder that is not the user's alone: status $status: $(cat "$work/$name.err")"
  [ "$status" -eq 1 ] && [ "$(wc -l <"$work/$name.err")" -eq 1 ] &&
    grep -q "refusing the folder $work/$name: it ${refusal#*:}" "$work/$name.err" ||
    fail "expected status 1 and one line refusing $work/$name"
  [ ! -e "$work/$name/kalvorant/object.3ds" ] || fail "the launcher used $work/$name"
done
(cd "$work" && XDG_STATE_HOME=state HOME=home "$bin/kalvorant-demo" >/dev/null 2>"$work/none.err")
status=$?
echo "launcher with relative folders only: status $status: $(cat "$work/none.err")"
[ "$status" -eq 1 ] && grep -qx "kalvorant-demo: no folder to run in: XDG_STATE_HOME is not an absolute path (state) and HOME is not an absolute path (home)" "$work/none.err" ||
  fail "expected one line naming both unusable variables"

# The demo needs a display before it reads its scene.
start_x_server "$work" || {
  echo "SKIP: the X server did not start"
  exit 77
}
# A scene of the user's own is used and left alone; without XDG_STATE_HOME it lives under HOME.
users=$HOME/.local/state/kalvorant
mkdir -p "$users"
echo "not a scene" >"$users/object.3ds"
(cd "$work" && "$bin/kalvorant-demo" >"$work/own.out" 2>"$work/own.err")
status=$?
echo "launcher with the user's own (broken) scene: status $status: $(cat "$work/own.err")"
[ "$status" -eq 1 ] && grep -q "object.3ds" "$work/own.err" ||
  fail "the demo did not try the user's own object.3ds"
[ ! -L "$users/object.3ds" ] && [ "$(cat "$users/object.3ds")" = "not a scene" ] ||
  fail "the launcher replaced the user's object.3ds"

# A fresh state folder: the launcher makes it, links the bundled scene and the log lands there.
state=$work/state
mkdir "$work/cwd"
(cd "$work/cwd" && XDG_STATE_HOME=$state exec timeout -k 5 120 "$bin/kalvorant-demo" \
  >"$work/demo.out" 2>"$work/demo.err") &
demo_pid=$!
wait_for_picture "$work/shot.png"
echo "launcher on $DISPLAY: $lit lit pixels on the screen"
[ "$lit" -gt 2000 ] || fail "the launcher showed no picture ($(head -c 300 "$work/demo.err"))"
end_with_escape
status=$?
[ "$status" -eq 0 ] || fail "status $status after Escape, expected 0 ($(head -c 300 "$work/demo.err"))"
[ "$(readlink "$state/kalvorant/object.3ds")" = "$scene" ] ||
  fail "the state folder does not link to the bundled scene"
[ "$(head -n 1 "$state/kalvorant/DirectX.log" 2>/dev/null)" = $'__________Direct Draw - Log__________\r' ] ||
  fail "no DirectX.log in $state/kalvorant"
[ -z "$(ls -A "$work/cwd")" ] || fail "the launcher wrote into the folder it was started from"

# The viewer as its menu entry runs it, on the bundled scene.
"$bin/kalvorant-view" "$scene" >"$work/view.out" 2>"$work/view.err" &
demo_pid=$!
window=$(timeout 15 xdotool search --sync --onlyvisible --name '^object\.3ds - fit' | head -n 1)
[ -n "$window" ] || fail "the viewer opened no window on the bundled scene ($(head -c 300 "$work/view.err"))"
end_with_escape
status=$?
[ "$status" -eq 0 ] || fail "the viewer ended with status $status after Escape, expected 0"

end_checks "installed tree at $prefix: all checks passed"
