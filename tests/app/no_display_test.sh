#!/usr/bin/env bash
# The real program started where it can't show a window (no DISPLAY, no WAYLAND_DISPLAY, no
# QT_QPA_PLATFORM), as from a console on a machine without a desktop: a command line that needs
# the window says so and exits 2 instead of ending in Qt's abort, and a mistyped option gets
# the usage, not an attempt to open a file by that name.
# Usage: no_display_test.sh PROGRAM
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'a\n' > a.txt

failures=0
# arguments (| between them)   exit status   what standard error says
cases=(
  "a.txt|2|no display to show the window on"
  "|2|no display to show the window on"
  "--verison|2|unknown option --verison"
  "--verison|2|Usage: norvane \[FILE\]"
  "--|--verison|2|no display to show the window on"
)
for row in "${cases[@]}"; do
  IFS='|' read -r -a fields <<<"$row"
  expected_status=${fields[-2]} expected_text=${fields[-1]}
  arguments=("${fields[@]:0:${#fields[@]}-2}")
  [ "${#arguments[@]}" -eq 1 ] && [ -z "${arguments[0]}" ] && arguments=()
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "${arguments[@]}" >out.txt 2>err.txt
  status=$?
  echo "norvane ${arguments[*]}: exit $status: $(head -n 1 err.txt)"
  if [ "$status" -ne "$expected_status" ] || ! grep -q "$expected_text" err.txt; then
    echo "FAIL: expected exit $expected_status and '$expected_text'; standard error was:"
    cat err.txt
    failures=$((failures + 1))
  fi
  [ ! -s out.txt ] || { echo "FAIL: it wrote to standard output: $(cat out.txt)"; failures=$((failures + 1)); }
done
[ "$(cat a.txt)" = a ] || { echo "FAIL: a.txt changed"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ]
