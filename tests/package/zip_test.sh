#!/usr/bin/env bash
# Checks the Windows zips: each holds exactly one folder named after it with kalvorant.exe, the
# bundled scene and README.txt (CR LF line ends, naming the version) in it; the exe is a GUI
# program for the zip's word size; and the 64-bit exe, unpacked, passes the Wine end-to-end test
# (tests/e2e/windows_e2e.sh), which runs it beside the scene from the same zip.
#
# Usage: zip_test.sh ZIP...   (names ending in -win64.zip or -win32.zip)
# Exit status: 0 all passed, 1 a check failed, 77 skipped (unzip or Wine is missing).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || {
  echo "usage: zip_test.sh ZIP..." >&2
  exit 2
}
command -v unzip >/dev/null || {
  echo "SKIP: unzip is not installed"
  exit 77
}

# shellcheck source=tests/e2e/checks.sh
. "$root/tests/e2e/checks.sh"
begin_checks kalv_zip
version=$(sed -n 's/^project(kalvorant VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
wine_status=0

for zip in "$@"; do
  name=$(basename "$zip" .zip)
  case $name in
  "kalvorant-$version-win64") machine="PE32+ executable (GUI) x86-64" ;;
  "kalvorant-$version-win32") machine="PE32 executable (GUI) Intel 80386" ;;
  *)
    fail "$zip is not named kalvorant-$version-win64.zip or kalvorant-$version-win32.zip"
    continue
    ;;
  esac
  echo "--- $name.zip"
  unzip -l "$zip"
  expected=$(printf '%s\n' "$name/README.txt" "$name/kalvorant.exe" "$name/object.3ds")
  [ "$(unzip -Z1 "$zip" | grep -v '/$' | sort)" = "$expected" ] ||
    fail "$name.zip does not hold exactly README.txt, kalvorant.exe and object.3ds in $name/"
  [ -z "$(unzip -Z1 "$zip" | grep '/$' | grep -vx "$name/")" ] || fail "$name.zip holds other folders"
  unzip -q "$zip" -d "$work" || fail "$name.zip does not unpack"
  dir=$work/$name
  file -b "$dir/kalvorant.exe" | grep -qF "$machine" || fail "$name: kalvorant.exe is not a $machine"
  cmp -s "$dir/object.3ds" "$root/assets/object.3ds" || fail "$name: object.3ds is not the bundled scene"
  readme=$dir/README.txt
  [ "$(wc -l <"$readme")" -gt 5 ] && [ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] &&
    [ "$(tail -c 2 "$readme" | od -An -tx1 | tr -d ' ')" = 0d0a ] ||
    fail "$name: README.txt does not end every line in CR LF"
  grep -q "version $version" "$readme" || fail "$name: README.txt does not name version $version"

  if [ "${name##*-}" = win64 ]; then
    bash "$root/tests/e2e/windows_e2e.sh" "$dir/kalvorant.exe" "$dir/object.3ds"
    wine_status=$?
    [ "$wine_status" -eq 0 ] || [ "$wine_status" -eq 77 ] || fail "$name: the Wine run failed"
  fi
done

[ "$failures" -eq 0 ] && [ "$wine_status" -eq 77 ] && exit 77
end_checks "zips: all checks passed"
