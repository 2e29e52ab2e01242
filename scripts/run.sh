#!/usr/bin/env bash
# Builds Norvane and starts it, passing every argument through: scripts/run.sh [FILE]
# (or scripts/run.sh --fix FILE..., --help, --version, which need no display).
# Without a display it starts the window in a virtual X server, saves a screenshot of it
# to build/norvane-window.png and closes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

case "${1:-}" in
  --fix | --help | --version) windowless=1 ;;
  *) windowless=0 ;;
esac
display=1
if [ "$windowless" = 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  display=0
  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset): Norvane will be shown in a virtual X" \
    "server once it is built, and a screenshot of its window saved"
fi

scripts/setup.sh
scripts/build.sh

if [ "$display" = 1 ]; then
  exec build/norvane "$@"
fi

shot=$PWD/build/norvane-window.png
rm -f "$shot"
# Inside the virtual server: start the program, wait for its window, take the picture.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96 -noreset" bash -c '
  shot=$1; shift
  build/norvane "$@" & program=$!
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^Norvane" >/dev/null 2>&1 && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.5
  import -window root "$shot"
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
' run-in-xvfb "$shot" "$@"
if [ -s "$shot" ]; then
  echo "run: Norvane's window, as shown in a virtual X server, is saved in $shot (the program was then closed;" \
    "to fix files without a window use: build/norvane --fix FILE...)"
else
  echo "run: the window could not be shown in a virtual X server" >&2
  exit 1
fi
