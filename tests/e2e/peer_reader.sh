#!/usr/bin/env bash
# The bundled scene as another program reads it. assimp's importer (Debian's assimp-utils) builds
# its scene graph from the key-frame nodes and refuses a file whose mesh, camera or light has no
# node; it must accept ours, with the counts and names our own loader reports.
#
# Usage: peer_reader.sh KALVORANT_INFO SCENE. Exit 0 accepted, 1 refused or different, 77 skipped
# (assimp not installed).
set -uo pipefail
info=$1
scene=$(realpath "$2") || exit 1

if ! command -v assimp >/dev/null 2>&1; then
  echo "skipped: no assimp program (install the Debian package assimp-utils to run this test)"
  exit 77
fi
# assimp writes a log file into the current folder.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

ours=$("$info" "$scene") || { echo "kalvorant-info failed on $scene"; exit 1; }
theirs=$(cd "$work" && assimp info "$scene" 2>&1 | grep -v '%$')
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "assimp info refuses $scene (status $status):"
  echo "$theirs" | tail -5
  exit 1
fi

failed=0
expect() { # FIELD VALUE: assimp's "FIELD: VALUE" line
  if ! grep -Eq "^$1: +$2\$" <<<"$theirs"; then
    echo "assimp reports '$(grep -E "^$1:" <<<"$theirs")', expected $1: $2"
    failed=1
  fi
}
expect Faces "$(sed -nE 's/^meshes: [0-9]+ \([0-9]+ vertices, ([0-9]+) faces\)$/\1/p' <<<"$ours")"
expect Cameras "$(sed -nE 's/^cameras: ([0-9]+)$/\1/p' <<<"$ours")"
expect Lights "$(sed -nE 's/^lights: ([0-9]+)$/\1/p' <<<"$ours")"

# Every mesh, camera and light is a node of assimp's graph, under the name our loader gives it.
graph=$(sed -n '/^Node hierarchy:/,$p' <<<"$theirs")
names=$(sed -nE 's/^  "([^"]+)": .*/\1/p' <<<"$ours")
[ -n "$names" ] || { echo "no names in kalvorant-info's summary"; exit 1; }
while IFS= read -r name; do
  if ! grep -Eq "^[^A-Za-z0-9]*$name( |\$)" <<<"$graph"; then
    echo "no node \"$name\" in assimp's graph:"
    echo "$graph"
    failed=1
  fi
done <<<"$names"
[ "$failed" -eq 0 ] && echo "assimp reads $scene: $(tr '\n' ' ' <<<"$names")"
exit "$failed"
