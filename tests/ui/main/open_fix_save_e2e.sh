#!/usr/bin/env bash
# Drives the real program in a virtual X server as a person would: starts it with no
# file, opens a file with LF line ends through the Open dialog, fixes it, saves it, and
# checks the bytes on disk; then does the same with a file named outside ASCII given on
# the command line, with the locale unset and with LANG=C; and checks that arguments Qt
# would take for its own name files. Screenshots of each step go to the output folder.
# Usage: open_fix_save_e2e.sh PROGRAM OUTPUT_FOLDER   (exit 77: skipped)
set -euo pipefail
program=$1
out=$2
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

if [ -z "${NORVANE_E2E_INSIDE_X:-}" ]; then
  export NORVANE_E2E_INSIDE_X=1
  exec xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$@"
fi

mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
printf 'first\nsecond\n\nlast line\n' > "$work/a.txt"

unset XDG_CURRENT_DESKTOP QT_QPA_PLATFORMTHEME
export QT_QPA_PLATFORM=xcb
"$program" &
pid=$!

# Waits up to ten seconds for a window whose title matches; prints its id.
wait_window() {
  for _ in $(seq 100); do
    if id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window titled '$1' appeared" >&2
  xdotool search --onlyvisible --name . getwindowname %@ >&2 || true
  return 1
}

# Clicks the middle of a control given in twips from the client area's top-left corner
# (15 twips a pixel at 96 dpi).
click_control() {
  local left=$1 top=$2 width=$3 height=$4
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --sync $((X + (left + width / 2) / 15)) $((Y + (top + height / 2) / 15)) click 1
}

shot() { sleep 0.3; import -window root "$out/$1.png"; }

window=$(wait_window '^Norvane v2\.1 - \[No File\]$')
shot 1-start

click_control 120 120 1335 375   # Open File...
dialog=$(wait_window '^Open$')
xdotool windowfocus --sync "$dialog"
sleep 0.3
xdotool type --delay 5 "$work/a.txt"
xdotool key Return
wait_window '^Norvane v2\.1 - \[a\.txt\]$' >/dev/null
shot 2-loaded

click_control 120 600 1335 375   # Fix File
wait_window '^Norvane v2\.1 - \[a\.txt\] - Fixed$' >/dev/null
shot 3-fixed

click_control 120 1080 1335 375  # Save File
expected=$(printf 'first\r\nsecond\r\n\r\nlast line\r\n' | od -An -tx1)
for _ in $(seq 50); do
  [ "$(od -An -tx1 < "$work/a.txt")" = "$expected" ] && break
  sleep 0.1
done
actual=$(od -An -tx1 < "$work/a.txt")

click_control 120 2400 1335 255  # Show Text: hide the pane
shot 4-hidden

if [ "$actual" != "$expected" ]; then
  echo "saved bytes differ"; echo "expected: $expected"; echo "actual:   $actual"
  exit 1
fi
echo "opened, fixed and saved through the window: bytes on disk as expected"
kill "$pid"
wait "$pid" 2>/dev/null || true

# A name outside ASCII from the command line, whatever the locale says.
name='Größe €.txt'
for locale in unset C; do
  printf 'a\nb' > "$work/$name"
  if [ "$locale" = unset ]; then
    (cd "$work" && exec env -u LANG -u LC_ALL -u LC_CTYPE "$program" "$name") &
  else
    (cd "$work" && exec env -u LC_ALL -u LC_CTYPE LANG=C "$program" "$name") &
  fi
  pid=$!
  # xdotool's patterns are not sure to match outside ASCII: the title is compared whole.
  window=$(wait_window '^Norvane v2\.1 - \[Gr.*\.txt\]$')
  title=$(xdotool getwindowname "$window")
  if [ "$title" != "Norvane v2.1 - [$name]" ]; then
    echo "with LANG $locale, the title reads: $title"
    exit 1
  fi
  click_control 120 600 1335 375   # Fix File
  wait_window '^Norvane v2\.1 - \[Gr.*\.txt\] - Fixed$' >/dev/null
  click_control 120 1080 1335 375  # Save File
  expected=$(printf 'a\r\nb\r\n' | od -An -tx1)
  for _ in $(seq 50); do
    [ "$(od -An -tx1 < "$work/$name")" = "$expected" ] && break
    sleep 0.1
  done
  shot "5-locale-$locale"
  actual=$(od -An -tx1 < "$work/$name")
  if [ "$actual" != "$expected" ]; then
    echo "with LANG $locale, $name saved as: $actual"
    exit 1
  fi
  kill "$pid"
  wait "$pid" 2>/dev/null || true
done
echo "opened, fixed and saved '$name' from the command line with LANG unset and LANG=C"

# The command line is the program's alone: what Qt would take for its own options names the
# file to open, and the window stays on this display.
printf 'x\n' > "$work/-reverse"
(cd "$work" && exec "$program" -reverse) &
pid=$!
wait_window '^Norvane v2\.1 - \[-reverse\]$' >/dev/null
kill "$pid"
wait "$pid" 2>/dev/null || true
(cd "$work" && exec "$program" -platform offscreen a.txt) &
pid=$!
box=$(wait_window '^Norvane$')  # "Error, cannot read file!": no file has that whole name
xdotool windowfocus --sync "$box" key Return
wait_window '^Norvane v2\.1 - \[No File\]$' >/dev/null
shot 6-qt-options
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "took -reverse and -platform offscreen a.txt as file names, on this display"
