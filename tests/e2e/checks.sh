# shellcheck shell=bash
# checks.sh: the bookkeeping of a shell test that runs many checks and reports them all. Source it.
#   begin_checks NAME  makes the scratch folder $work, removed on exit together with the X server
#                      ($xvfb_pid) and the program under test ($demo_pid) when they are running
#   fail TEXT          prints "FAIL: TEXT" and counts the failure; the test goes on
#   end_checks TEXT    exits 1 after naming the count when a check failed, else prints TEXT, exits 0

begin_checks() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  xvfb_pid=""
  demo_pid=""
  failures=0
  trap end_of_run_cleanup EXIT
}

# shellcheck disable=SC2317  # run by the EXIT trap
end_of_run_cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

end_checks() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "$*"
  exit 0
}
