#!/usr/bin/env bash
# The pane on a real X server (Xvfb at 96 dpi) with Debian's default font configuration,
# which this script sets up itself so the result does not depend on the machine's: for
# each monospace font below and each scale factor, norvane_pane_cells_check checks that
# every character's ink lies in its own cells and that clicks type where they land.
# Usage: pane_cells_check.sh CHECKER OUTPUT_FOLDER (screenshots of failures stay there).
# Exits 77 (skipped) when xvfb-run or xdotool is missing.
set -euo pipefail
checker=$1
out=$2
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
mkdir -p "$out"

# What fontconfig's "monospace" names, and the font the pane must end up with: a
# proportional font named as monospace by a badly set desktop is refused.
fonts=(
  "DejaVu Sans Mono|DejaVu Sans Mono"   # fonts-dejavu-core
  "Liberation Mono|Liberation Mono"     # fonts-liberation2
  "DejaVu Sans|DejaVu Sans Mono"
)
# CJK comes from Droid Sans Fallback (fonts-droid-fallback) through fontconfig's fallback.

failures=0
for entry in "${fonts[@]}"; do
  monospace=${entry%%|*}
  expected=${entry#*|}
  for scale in 1 1.5 2; do
    name="$(echo "$monospace" | tr ' ' '-')-x$scale"
    mkdir -p "$out/$name"
    # Debian's defaults from /etc/fonts/conf.d: antialiasing, hinting "slight", no
    # sub-pixel rendering, the default LCD filter, no bitmap fonts.
    cat >"$out/$name/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts</dir>
  <cachedir>$out/fontconfig-cache</cachedir>
  <match target="pattern">
    <edit name="antialias" mode="append"><bool>true</bool></edit>
    <edit name="hinting" mode="append"><bool>true</bool></edit>
    <edit name="hintstyle" mode="append"><const>hintslight</const></edit>
    <edit name="rgba" mode="append"><const>none</const></edit>
    <edit name="lcdfilter" mode="append"><const>lcddefault</const></edit>
  </match>
  <selectfont><rejectfont><pattern><patelt name="scalable"><bool>false</bool></patelt></pattern></rejectfont></selectfont>
  <alias binding="same"><family>monospace</family><prefer><family>$monospace</family></prefer></alias>
</fontconfig>
CONF
    echo "== monospace = $monospace, scale factor $scale"
    if ! env -u QT_QPA_PLATFORMTHEME -u QT_SCREEN_SCALE_FACTORS -u QT_FONT_DPI -u XDG_CURRENT_DESKTOP \
        FONTCONFIG_FILE="$out/$name/fonts.conf" QT_SCALE_FACTOR="$scale" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -n 300 -s "-screen 0 2560x400x24 -dpi 96 -noreset" "$checker" "$expected" "$out/$name"; then
      failures=$((failures + 1))
    fi
  done
done
echo "screenshots of failures: $out"
exit "$failures"
