#!/usr/bin/env bash
# The real program in a virtual X server with the accessibility bus, driven only through
# AT-SPI as assistive tools drive it (assistive_driver.py): "Show Text" and "Fix File".
# Usage: assistive_e2e.sh PROGRAM   (exit 77: skipped)
set -euo pipefail
program=$1
for tool in xvfb-run dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# Debian's Python, which holds python3-pyatspi, whatever other Python comes first on PATH.
python=$(command -v /usr/bin/python3 python3 | head -n 1)
"$python" -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }

if [ -z "${NORVANE_A11Y_INSIDE_X:-}" ]; then
  export NORVANE_A11Y_INSIDE_X=1
  # Display numbers from 500 up, apart from the other X tests; a session bus of its own, on
  # which the accessibility bus starts when first asked for.
  exec xvfb-run -a -n 500 -s "-screen 0 1024x768x24 -dpi 96 -noreset" dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)
pid=''
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
printf 'first\nsecond\nlast line\n' > "$work/a.txt"

unset QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
"$program" "$work/a.txt" &
pid=$!
"$python" "$(dirname "$0")/assistive_driver.py" a.txt
