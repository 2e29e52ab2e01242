#!/usr/bin/env bash
# The real program started where it can't show a window (no DISPLAY, no WAYLAND_DISPLAY, no
# QT_QPA_PLATFORM), as from a console on a machine without a desktop: a command line that needs
# the window says so and exits 2 instead of ending in Qt's abort, and a mistyped option gets
# the usage, not an attempt to open a file by that name. Then the commands without a window,
# which load no Qt library.
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

# The commands that need no window start like a small tool: they load no Qt library, with a
# display or without one. (The dynamic loader names every library it opens.)
printf 'b\n' > b.txt
# arguments (| between them)   exit status
commands=("--version|0" "--help|0" "--check|a.txt|1" "--fix|b.txt|0" "--verison|2" "a.txt|2")
for display in "" ":1"; do
  for row in "${commands[@]}"; do
    IFS='|' read -r -a fields <<<"$row"
    expected_status=${fields[-1]}
    arguments=("${fields[@]:0:${#fields[@]}-1}")
    [ -n "$display" ] && [ "${arguments[0]}" = a.txt ] && continue  # that one shows the window
    rm -f loaded.*
    if [ -n "$display" ]; then shown=(DISPLAY="$display"); else shown=(-u DISPLAY); fi
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${shown[@]}" LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loaded" "$program" "${arguments[@]}" >out.txt 2>err.txt
    status=$?
    qt=$(cat loaded.* 2>/dev/null | grep -o 'file=[^ ]*libQt6[^ ]*' | sort -u | tr '\n' ' ')
    echo "norvane ${arguments[*]} (display '${display}'): exit $status, Qt libraries loaded: ${qt:-none}"
    ls loaded.* >/dev/null 2>&1 || { echo "FAIL: the loader wrote no list of what it loaded"; failures=$((failures + 1)); }
    [ "$status" -eq "$expected_status" ] || { echo "FAIL: expected exit $expected_status"; cat err.txt; failures=$((failures + 1)); }
    [ -z "$qt" ] || { echo "FAIL: it loaded Qt"; failures=$((failures + 1)); }
  done
done
[ "$(cat b.txt)" = $'b\r' ] || { echo "FAIL: --fix did not fix b.txt"; failures=$((failures + 1)); }

# A program whose window part is missing says so instead of failing silently.
mkdir alone
cp "$program" alone/norvane
DISPLAY=:1 alone/norvane a.txt >out.txt 2>err.txt
status=$?
echo "norvane without its window part: exit $status: $(head -n 1 err.txt)"
if [ "$status" -ne 2 ] || ! grep -q "the window could not be loaded" err.txt; then
  echo "FAIL: expected exit 2 and a message that the window could not be loaded"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
