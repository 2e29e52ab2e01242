#!/usr/bin/env bash
# Builds Norvane and runs every test headless: the Windows build's tests under Wine first
# (scripts/test_windows.sh; skipped, with the reason, where that can't be done), then the
# tests of the build for this system. Ends with one line that sums up both,
#   tests: N passed, N failed[, N skipped]
# and exits non-zero exactly when something failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

scripts/setup.sh
scripts/build.sh

passed=0 failed=0 skipped=0
# Adds the counts of a ctest JUnit report to the totals; a part with no report failed.
count_report() {
  local report=$1 part=$2 field
  if [ ! -s "$report" ]; then
    echo "failed: $part: no test report (the build or ctest failed)"
    failed=$((failed + 1))
    return
  fi
  field() { sed -n "s/^[[:space:]]*$1=\"\\([0-9]*\\)\".*/\\1/p" "$report" | head -n 1; }
  local tests failures skips disabled
  tests=$(field tests) failures=$(field failures) skips=$(field skipped) disabled=$(field disabled)
  passed=$((passed + tests - failures - skips - disabled))
  failed=$((failed + failures))
  skipped=$((skipped + skips + disabled))
  # Each skipped test, with the reason it printed.
  awk -v part="$part" '
    /<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7);
                   skipping = $0 ~ /status="(notrun|disabled)"/; reason = "" }
    skipping && /skipped: / && reason == "" { reason = $0; sub(/.*skipped: /, "", reason) }
    /<\/testcase>/ && skipping { print "skipped: " part ": " name (reason != "" ? " (" reason ")" : "") }
  ' "$report"
}

windows_log=$(mktemp)
trap 'rm -f "$windows_log"' EXIT
windows_status=0
scripts/test_windows.sh 2>&1 | tee "$windows_log" || windows_status=${PIPESTATUS[0]}

native_report=build/test-report.xml
rm -f "$native_report"
ctest --test-dir build --output-on-failure -j2 --output-junit "$PWD/$native_report" || true

echo
if [ "$windows_status" -eq 77 ]; then
  echo "skipped: Windows tests: $(sed -n 's/^windows tests: skipped: //p' "$windows_log" | tail -n 1)"
  skipped=$((skipped + 1))
else
  count_report build-windows/test-report.xml "Windows tests under Wine"
fi
count_report "$native_report" "tests of this system's build"
summary="tests: $passed passed, $failed failed"
[ "$skipped" -eq 0 ] || summary+=", $skipped skipped"
echo "$summary"
[ "$failed" -eq 0 ]
