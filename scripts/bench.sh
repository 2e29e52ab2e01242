#!/usr/bin/env bash
# Builds Norvane and runs its benchmarks, passing every argument through.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

if [ ! -x build/bench/norvane_bench ]; then
  echo "bench: build/bench/norvane_bench was not built (no benchmarks yet, or NORVANE_BUILD_BENCHMARKS is OFF)" >&2
  exit 1
fi
build/bench/norvane_bench "$@"
build/bench/headless/norvane_headless_bench --runs 3
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build/bench/pane/norvane_pane_bench "$@"
# The window benchmark starts the program in an X server: a virtual one if there is none.
if [ -n "${DISPLAY:-}" ]; then
  build/bench/window/norvane_window_bench "$@"
else
  xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96 -noreset" build/bench/window/norvane_window_bench "$@"
fi
