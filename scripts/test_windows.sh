#!/usr/bin/env bash
# Cross-builds Norvane for 64-bit Windows into build-windows/ and runs its tests under Wine:
# the engine's and the platform layer's, and, where the Qt for Windows that
# scripts/build_qt_windows.sh makes is in its cache, the program itself (Norvane.exe, the
# zip and the installer in build-windows/) driven in a virtual X server. Without that Qt the
# program is skipped ("windows program: SKIPPED", with the command that builds it) and the
# rest still runs; this script never builds Qt itself (it only has the script gather Qt's
# licence notices into the cache when they are missing). ctest's report goes to
# build-windows/test-report.xml. When it can't run the tests at all (NORVANE_SKIP_WINDOWS=1,
# or the cross compiler, GoogleTest's sources or Wine missing) it says why and exits 77.
# Exits non-zero if a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

skip() {
  echo "windows tests: skipped: $*"
  exit 77
}
[ "${NORVANE_SKIP_WINDOWS:-0}" != 1 ] || skip "NORVANE_SKIP_WINDOWS=1"
command -v x86_64-w64-mingw32-g++-posix >/dev/null || command -v x86_64-w64-mingw32-g++ >/dev/null ||
  skip "no mingw-w64 cross compiler (Debian package g++-mingw-w64-x86-64-posix)"
[ -f /usr/src/googletest/CMakeLists.txt ] || skip "no GoogleTest sources (Debian package googletest)"
command -v wine >/dev/null || [ -x /usr/lib/wine/wine64 ] || skip "no Wine (Debian packages wine and wine64)"

started=$(date +%s)
qt=$(scripts/build_qt_windows.sh --prefix 2>/dev/null) || qt=''
if [ -n "$qt" ] && [ -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  # The releases carry Qt's licence notices; a Qt built before they were gathered gets
  # them now, from its source, in under a minute (Qt itself is not built again).
  [ -f "$qt/notices/THIRD-PARTY-NOTICES.txt" ] || scripts/build_qt_windows.sh
  gui=(-DNORVANE_BUILD_GUI=ON -DNORVANE_WINDOWS_QT="$qt")
  echo "windows program: built with the Qt for Windows in $qt"
else
  gui=(-DNORVANE_BUILD_GUI=OFF)
  echo "windows program: SKIPPED: no Qt for Windows in its cache; build it once (15 minutes on idle cores, up to 2 hours on busy ones) with:" \
    "scripts/build_qt_windows.sh"
fi
configure=(cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake
  "${gui[@]}" -DNORVANE_BUILD_BENCHMARKS=OFF)
[ -f build-windows/CMakeCache.txt ] || configure+=(-G Ninja)
"${configure[@]}"
cmake --build build-windows -j2

# The tests start Wine in build-windows/wine-prefix (and the program's test in a prefix of
# its own) and stop its server when they end; it is stopped here too, whatever happens.
trap 'WINEPREFIX="$PWD/build-windows/wine-prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$PWD/build-windows/tests/app/program_e2e/wine-prefix" wineserver -k 2>/dev/null || true' EXIT
echo "windows tests: running under $(wine --version 2>/dev/null || echo Wine)"
report=build-windows/test-report.xml
rm -f "$report"
status=0
ctest --test-dir build-windows --output-on-failure -j2 --test-output-size-passed 1000000 \
  --output-junit "$PWD/$report" || status=$?

# What each test program's GoogleTest said, and the version record as read back.
log=build-windows/Testing/Temporary/LastTest.log
if [ -f "$log" ]; then
  echo "windows tests: GoogleTest summaries under Wine"
  awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
       /^\[==========\] .* ran\./ || /^\[  (PASSED|FAILED)  \]/ { print "  " name ": " $0 }' "$log"
  echo "windows tests: version record of norvane_version_probe.exe, read back with GetFileVersionInfoW"
  sed -n 's/^record: /  /p' "$log"
fi
for release in build-windows/Norvane-*-win64.zip build-windows/Norvane-*-win64-setup.exe; do
  [ -f "$release" ] && echo "windows tests: release $release ($(du -h "$release" | cut -f1))"
done
echo "windows tests: built and ran in $(($(date +%s) - started)) s"
exit $status
