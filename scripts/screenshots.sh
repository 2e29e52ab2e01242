#!/usr/bin/env bash
# Takes the README's screenshots from the real program, so that they show what it shows today:
# builds it, starts it in a virtual X server under openbox (96 dpi, no desktop settings) with a
# file of bare LF line ends, and saves each window with its frame into docs/screenshots/:
#   main-loaded.png   the main window with the file loaded
#   main-fixed.png    the same after Fix File
#   main-compact.png  with Show Text unticked
#   about.png         the About box
# Usage: scripts/screenshots.sh [PROGRAM]   (default: build/norvane, built first)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

if [ -z "${NORVANE_SCREENSHOTS_INSIDE_X:-}" ]; then
  if [ $# -eq 0 ]; then
    scripts/setup.sh
    scripts/build.sh
  fi
  export NORVANE_SCREENSHOTS_INSIDE_X=1
  # Display numbers from 700 up, apart from the tests' own; -noreset keeps the server up
  # between clients.
  exec xvfb-run -a -n 700 -s "-screen 0 1024x768x24 -dpi 96 -noreset" "$0" "$@"
fi

program=$(realpath "${1:-build/norvane}")
out=docs/screenshots
source tests/support/x_window.sh
mkdir -p "$out"
work=$(mktemp -d)
pid='' wm=''
trap 'kill $pid $wm 2>/dev/null || true; rm -rf "$work"' EXIT

# The desktop is openbox with its own defaults, whatever this machine's settings say.
unset XDG_CURRENT_DESKTOP QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR QT_FONT_DPI
export QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
openbox 2>/dev/null &
wm=$!
sleep 1

# A short script as it arrives from a Unix system: every line ends in a bare LF.
printf '%s\n' '#!/bin/sh' '# Copies the reports to the share.' 'for f in reports/*.csv; do' \
  '  cp "$f" /mnt/share/' 'done' 'echo "copied"' > "$work/copy-reports.sh"

# Saves window $1 with its frame, the pointer out of the way.
save() {
  xdotool mousemove 1023 767
  sleep 0.5
  measure "$1"
  import -window root -crop "$((CW + FL + FR))x$((CH + FT + FB))+$((CX - FL))+$((CY - FT))" +repage \
    -strip "$out/$2.png"
  echo "saved $out/$2.png ($((CW + FL + FR))x$((CH + FT + FB)), $(stat -c %s "$out/$2.png") bytes)"
}

(cd "$work" && exec "$program" copy-reports.sh) &
pid=$!
window=$(wait_window '^Norvane v2\.1 - \[copy-reports\.sh\]$')
save "$window" main-loaded

click_control 120 600 1335 375   # Fix File
wait_window '^Norvane v2\.1 - \[copy-reports\.sh\] - Fixed$' >/dev/null
save "$window" main-fixed

click_control 120 2400 1335 255  # Show Text: hide the pane
sleep 0.5
save "$window" main-compact

click_control 120 2880 1335 375  # About/Help...
about=$(wait_window '^About Norvane$')
save "$about" about
