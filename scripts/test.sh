#!/usr/bin/env bash
# Builds Norvane and runs every test headless; exits non-zero if any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
