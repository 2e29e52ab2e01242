#!/usr/bin/env bash
# Builds Norvane and runs every test headless: the Windows build's tests under Wine first
# (scripts/test_windows.sh; skipped, with the reason, where that can't be done), then the
# tests of the build for this system, then the unit suites built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/) and the window's background load and save tests
# built with ThreadSanitizer (build-tsan/). Ends with one line that sums up all of them,
#   tests: N passed, N failed[, N skipped]
# and exits non-zero exactly when something failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

scripts/setup.sh
scripts/build.sh

passed=0 failed=0 skipped=0
# Adds the counts of a ctest JUnit report to the totals, each skipped test named with its
# reason; a part with no report failed. A GoogleTest program counts as the cases it ran,
# from its own summary lines; any other test counts as one. Only a test that skipped itself
# (its exit status 77) counts as skipped: one that did not run, as when its set-up failed,
# counts as failed, with the reason.
count_report() {
  local report=$1 part=$2 counts
  if [ ! -s "$report" ]; then
    echo "failed: $part: no test report (the build or ctest failed)"
    failed=$((failed + 1))
    return
  fi
  counts=$(awk -v part="$part" '
    function number(line, pattern,   text) {
      if (!match(line, pattern)) return -1
      text = substr(line, RSTART, RLENGTH); gsub(/[^0-9]/, "", text); return text + 0
    }
    function finish(   cases, ok, bad, skip) {
      cases = total >= 0 ? total : 1
      skip = skips > 0 ? skips : 0
      if (status == "run") { ok = cases - skip; bad = 0 }
      else if (status == "fail") { ok = passes > 0 ? passes : 0; bad = cases - ok - skip; if (bad < 1) bad = 1 }
      else if (status == "notrun" && notrun !~ /^SKIP_RETURN_CODE/) {
             ok = 0; bad = cases; skip = 0
             print "failed: " part ": " name ": not run: " notrun (reason != "" ? " (" reason ")" : "") > "/dev/stderr" }
      else { ok = 0; bad = 0; skip = cases
             print "skipped: " part ": " name (reason != "" ? " (" reason ")" : "") > "/dev/stderr" }
      p += ok; f += bad; s += skip
    }
    /<testcase / { if (name != "") finish()
                   match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7)
                   match($0, /status="[a-z]*"/); status = substr($0, RSTART + 8, RLENGTH - 9)
                   total = -1; passes = -1; skips = -1; reason = ""; notrun = "" }
    /<skipped message="/ { notrun = $0; sub(/.*<skipped message="/, "", notrun); sub(/".*/, "", notrun) }
    /Failed test dependencies: / && reason == "" { reason = $0; sub(/.*Failed test dependencies: /, "the set-up that failed: ", reason)
                                                   sub(/<\/system-out>.*/, "", reason) }
    /\[==========\] Running [0-9]+ tests?/ { total = number($0, "Running [0-9]+") }
    /\[  PASSED  \] [0-9]+ tests?/ { passes = number($0, "\\] [0-9]+") }
    /\[  SKIPPED \] [0-9]+ tests?/ { skips = number($0, "\\] [0-9]+") }
    /skipped: / && reason == "" { reason = $0; sub(/.*skipped: /, "", reason) }
    END { if (name != "") finish(); print p + 0, f + 0, s + 0 }
  ' "$report")
  read -r p f s <<<"$counts"
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
}

windows_log=$(mktemp)
trap 'rm -f "$windows_log"' EXIT
windows_status=0
scripts/test_windows.sh 2>&1 | tee "$windows_log" || windows_status=${PIPESTATUS[0]}

native_report=build/test-report.xml
rm -f "$native_report"
ctest --test-dir build --output-on-failure -j2 --test-output-size-passed 1000000 \
  --output-junit "$PWD/$native_report" || true

# A build of its own with a sanitizer (NORVANE_SANITIZE) for each, with only the test
# programs it runs: folder, sanitizer, targets to build (one word, split at commas), then
# what selects ctest's tests.
sanitized() {
  local folder=$1 sanitizer=$2 target=$3 started=$SECONDS
  shift 3
  local configure=(cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Debug -DNORVANE_SANITIZE="$sanitizer"
                   -DNORVANE_BUILD_BENCHMARKS=OFF)
  [ -f "$folder/CMakeCache.txt" ] || configure+=(-G Ninja)
  mkdir -p "$folder"
  rm -f "$folder/test-report.xml"
  echo "== $sanitizer sanitizer: building $target in $folder"
  "${configure[@]}" >"$folder/configure.log" 2>&1 || { cat "$folder/configure.log"; return; }
  cmake --build "$folder" -j2 --target ${target//,/ } || return
  ctest --test-dir "$folder" --output-on-failure -j2 --output-junit "$PWD/$folder/test-report.xml" "$@" || true
  echo "== $sanitizer sanitizer: built and ran in $((SECONDS - started)) s"
}
sanitized build-asan address norvane_unit_tests -L '^unit$'
sanitized build-tsan thread norvane_main_tests,norvane_engine_tests,norvane_platform_tests \
  -R '^norvane_(main|engine|platform)_tests$'

echo
if [ "$windows_status" -eq 77 ]; then
  echo "skipped: Windows tests: $(sed -n 's/^windows tests: skipped: //p' "$windows_log" | tail -n 1)"
  skipped=$((skipped + 1))
else
  count_report build-windows/test-report.xml "Windows tests under Wine"
fi
count_report "$native_report" "tests of this system's build"
count_report build-asan/test-report.xml "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
count_report build-tsan/test-report.xml "window, engine and file tests under ThreadSanitizer"
summary="tests: $passed passed, $failed failed"
[ "$skipped" -eq 0 ] || summary+=", $skipped skipped"
echo "$summary"
[ "$failed" -eq 0 ]
