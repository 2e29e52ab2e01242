#!/usr/bin/env bash
# Configures and builds Norvane (Release) into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

configure=(cmake -S . -B build -DCMAKE_BUILD_TYPE=Release)
# Choose the generator only on the first configure; an existing build tree keeps its own.
[ -f build/CMakeCache.txt ] || configure+=(-G Ninja)
"${configure[@]}"
cmake --build build -j2
