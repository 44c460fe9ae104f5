#!/usr/bin/env bash
# The README's first steps, as a newcomer takes them on a fresh clone: `bash scripts/demo.sh`
# (here without a display, so it renders the bundled scene headless), then the README's own
# `cmake --install build/default --prefix ~/.local`, which must install everything from what
# demo.sh built; the installed tree is then checked as its users meet it
# (tests/package/check_installed.sh).
#
# The commands are taken from README.md, so a change of the README's words is a change of the
# test. The clone is of the committed HEAD of SOURCE_DIR (work not yet committed is not in it),
# built from nothing in a temporary folder with a temporary HOME, which are removed at the end.
#
# Usage: readme_fresh_clone.sh SOURCE_DIR
# Exit status: 0 pass, 1 fail, 77 skipped (SOURCE_DIR is no git clone, or git is missing).
set -uo pipefail

say() { printf 'readme_fresh_clone: %s\n' "$*"; }
source_dir=$(realpath -e "${1:?usage: readme_fresh_clone.sh SOURCE_DIR}") || exit 1
readme=$source_dir/README.md
if ! command -v git >/dev/null || ! git -C "$source_dir" rev-parse --verify -q HEAD >/dev/null; then
  say "SKIP: $source_dir is not a git clone with a commit (or git is missing)"
  exit 77
fi

# The README's commands, word for word.
demo_command=$(grep -m1 -oE '^bash scripts/demo\.sh' "$readme")
install_command=$(grep -m1 -oE 'cmake --install build/default --prefix [^`) ]+' "$readme")
if [ -z "$demo_command" ] || [ -z "$install_command" ]; then
  say "FAIL: README.md no longer gives 'bash scripts/demo.sh' and 'cmake --install ... --prefix'"
  exit 1
fi

work=$(mktemp -d /tmp/kalv-fresh-clone.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT
clone=$work/clone
export HOME=$work/home
mkdir "$HOME"
git clone -q "$source_dir" "$clone" || exit 1
cd "$clone" || exit 1

step() { # LOG COMMAND: run a README command in the clone, its output kept for a failure
  say "\$ $2"
  if ! env -u DISPLAY -u WAYLAND_DISPLAY bash -c "$2" >"$work/$1" 2>&1; then
    say "FAIL: '$2' failed on a fresh clone; its last lines:"
    tail -n 15 "$work/$1"
    exit 1
  fi
}
step demo.txt "$demo_command"
[ -s build/default/demo.gif ] || {
  say "FAIL: demo.sh without a display made no build/default/demo.gif"
  exit 1
}
step install.txt "$install_command"

prefix=$(bash -c "printf %s ${install_command##* }")
say "installed into $prefix; checking it"
bash "$source_dir/tests/package/check_installed.sh" "$prefix"
