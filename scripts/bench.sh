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
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
build/bench/norvane_bench "$@"
build/bench/pane/norvane_pane_bench "$@"
