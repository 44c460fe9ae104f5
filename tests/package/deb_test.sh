#!/usr/bin/env bash
# Checks the Debian package as a user's dpkg would meet it:
#   - its name and Version carry the version of the project() call, its control fields are
#     complete, and every package it depends on is installed here in a version that satisfies it;
#   - lintian reports no error (its full output is shown);
#   - dpkg installs it into a private root whose package database knows only the packages it
#     depends on, so dpkg itself checks the dependencies; the installed programs are then
#     checked from there (tests/package/check_installed.sh);
#   - dpkg purges it again and nothing of it is left.
# The private root keeps the test clean and repeatable on a shared machine: the system's own
# package database and /usr are never touched, and runs side by side do not meet.
#
# Usage: deb_test.sh DEB
# Exit status: 0 all passed, 1 a check failed, 77 skipped (a tool the checks need is missing).
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
deb=$(realpath -e "${1:?usage: deb_test.sh DEB}") || exit 1

for tool in dpkg dpkg-deb dpkg-query lintian; do
  command -v "$tool" >/dev/null || {
    echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"
    exit 77
  }
done

# shellcheck source=tests/e2e/checks.sh
. "$root/tests/e2e/checks.sh"
begin_checks kalv_deb

# --- Name and control fields ---------------------------------------------------------------------
version=$(sed -n 's/^project(kalvorant VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(basename "$deb")" = "kalvorant_${version}_amd64.deb" ] ||
  fail "the package is called $(basename "$deb"), expected kalvorant_${version}_amd64.deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kalvorant ] && [ "$(field Version)" = "$version" ] &&
  [ "$(field Architecture)" = amd64 ] || fail "Package, Version or Architecture is wrong"
for name in Maintainer Section Priority Description Depends Installed-Size; do
  [ -n "$(field "$name")" ] || fail "the control field $name is missing"
done
echo "--- dpkg-deb -c"
dpkg-deb -c "$deb"
echo "--- control: Installed-Size $(field Installed-Size) KiB, Depends: $(field Depends)"

# A dependency "name (op version)" is met when an installed instance of the package satisfies it.
dependency_met() {
  local name=$1 op=${2:-} wanted=${3:-} installed
  installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Version}\n' "$name" 2>/dev/null |
    awk '$1 == "ii" { print $2; exit }')
  [ -n "$installed" ] || return 1
  [ -z "$op" ] || dpkg --compare-versions "$installed" "$op" "$wanted"
}
needed=()
while read -r name op wanted; do
  needed+=("$name")
  dependency_met "$name" "$op" "$wanted" || fail "the dependency '$name $op $wanted' is not met here"
done < <(field Depends | tr ',' '\n' | sed 's/[()]//g')
if field Depends | grep -q '|'; then
  fail "a dependency with alternatives: the test cannot check those yet"
fi

# --- lintian ---------------------------------------------------------------------------------------
echo "--- lintian"
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v '^running with root privileges' |
  tee "$work/lintian.txt"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian reports an error"

# --- Install, check, purge ---------------------------------------------------------------------------
# The private package database holds the system's records of the packages depended on, and no
# others: dpkg checks the dependencies against them and has nothing else to configure.
sysroot=$work/root
admin=$sysroot/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates"
dpkg-query -s "${needed[@]}" >"$admin/status" 2>/dev/null
dpkg_private() { dpkg --root="$sysroot" --log=/dev/null --force-not-root "$@"; }

if ! dpkg_private -i "$deb" >"$work/install.txt" 2>&1; then
  cat "$work/install.txt"
  fail "dpkg could not install the package"
else
  bash "$here/check_installed.sh" "$sysroot/usr" /usr
  status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || fail "the installed package failed its checks"
  if ! dpkg_private --purge kalvorant >"$work/purge.txt" 2>&1; then
    cat "$work/purge.txt"
    fail "dpkg could not purge the package"
  fi
  dpkg-query --admindir="$admin" -W kalvorant >/dev/null 2>&1 && fail "dpkg still lists kalvorant"
  left=$(cd "$sysroot" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg*')
  [ -z "$left" ] || fail "the purge left behind: $left"
fi

end_checks "$(basename "$deb"): all checks passed"
