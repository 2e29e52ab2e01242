#!/usr/bin/env bash
# The pane under a real X server (Xvfb): a file whose lines end in bare LF shows as one
# long line with box marks; the same text with CR LF shows one line per line.
# Usage: pane_screenshot_check.sh VIEWER OUTPUT_FOLDER (the screenshots stay there).
# Exits 77 (skipped) when xvfb-run or ImageMagick is missing.
set -euo pipefail
viewer=$1
out=$2
for tool in xvfb-run import convert; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
mkdir -p "$out"
printf 'first line\nsecond line\nthird line\n' >"$out/lf.txt"
printf 'first line\r\nsecond line\r\nthird line\r\n' >"$out/crlf.txt"
for kind in lf crlf; do
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x320x24" "$viewer" "$out/$kind.txt" "$out/$kind.png" >"$out/$kind.cells"
done

# Dark pixels in a range of cells of one text row of a screenshot, leaving out the outer
# pixel columns, where a glyph of the neighbouring cell may reach.
ink() {  # kind row first_column columns
  local width height x y
  read -r _ width height _ x y <"$out/$1.cells"
  convert "$out/$1.png" -crop "$((width * $4 - 2))x${height}+$((x + width * $3 + 1))+$((y + height * $2))" +repage \
    -colorspace gray -threshold 50% -negate -format '%[fx:round(mean*w*h)]' info:
}

failures=0
expect() {  # description condition
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
expect "bare LF file: text on the first row" '[ "$(ink lf 0 0 40)" -gt 0 ]'
expect "bare LF file: nothing on the second row" '[ "$(ink lf 1 0 40)" -eq 0 ]'
expect "bare LF file: a box mark behind \"first line\"" '[ "$(ink lf 0 10 1)" -gt 0 ]'
expect "bare LF file: a box mark behind \"second line\"" '[ "$(ink lf 0 22 1)" -gt 0 ]'
for row in 0 1 2; do
  expect "CR LF file: text on row $row" '[ "$(ink crlf '$row' 0 40)" -gt 0 ]'
done
expect "CR LF file: nothing behind \"first line\"" '[ "$(ink crlf 0 10 30)" -eq 0 ]'
expect "CR LF file: nothing below the last line" '[ "$(ink crlf 4 0 40)" -eq 0 ]'
echo "screenshots: $out/lf.png $out/crlf.png"
exit "$failures"
