#!/usr/bin/env bash
# Builds Norvane and starts it, passing every argument through: scripts/run.sh [FILE]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found (DISPLAY and WAYLAND_DISPLAY are unset); to run without one use: xvfb-run -a scripts/run.sh [FILE]" >&2
  exit 1
fi
exec build/norvane "$@"
