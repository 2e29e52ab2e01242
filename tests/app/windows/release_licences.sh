#!/usr/bin/env bash
# The licence texts of the Windows releases: the zip holds, beside Norvane.exe, COPYING.txt
# (Norvane's licence), THIRD-PARTY-NOTICES.txt and Qt's licence texts in LICENSES/, each
# byte for byte as its source; the notices name the third-party code that the static Qt
# links, with its licence. The installer, run silently under Wine, installs the same files
# and its uninstaller removes every one of them. Runs in the Wine prefix of the tests.
# Usage: release_licences.sh ZIP INSTALLER COPYING QT_NOTICES_FOLDER WORK_FOLDER
set -euo pipefail
zip=$1
installer=$2
copying=$3
notices=$4
work=$5

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Each file of a release beside the program, and where it comes from.
sources=("COPYING.txt|$copying" "THIRD-PARTY-NOTICES.txt|$notices/THIRD-PARTY-NOTICES.txt")
for text in "$notices"/LICENSES/*.txt; do
  sources+=("LICENSES/$(basename "$text")|$text")
done
expected=$( (echo Norvane.exe; for s in "${sources[@]}"; do echo "${s%%|*}"; done) | sort)

# The files of the folder $1, one a line, relative to it.
files_in() { (cd "$1" && find . -type f | sed 's|^\./||' | sort); }

# Every text in folder $1 holds the same bytes as its source.
same_texts() {
  local s
  for s in "${sources[@]}"; do
    cmp -s "$1/${s%%|*}" "${s#*|}" || fail "$2: ${s%%|*} differs from ${s#*|}"
  done
}

echo "== the notices name the third-party code of the static Qt, with its licence"
# Each row: the component's heading in the notices, its licence as the notices give it.
components=(
  "HarfBuzz-NG|MIT"
  "PCRE2|BSD-3-Clause"
  "LibPNG|Libpng AND libpng-2.0"
  "Data Compression Library (zlib)|Zlib"
  "Efficient Binary-Decimal and Decimal-Binary Conversion Routines for IEEE Doubles|BSD-3-Clause"
  "MD4C|MIT"
  "Unicode Character Database (UCD)|Unicode-DFS-2016"
)
for row in "${components[@]}"; do
  name=${row%%|*} licence=${row#*|}
  # The heading is the component's name, then its version when it has one; the next line
  # names its licence.
  found=$(tr -d '\r' <"$notices/THIRD-PARTY-NOTICES.txt" | awk -v name="$name" '
    heading { print; heading = 0 }
    index($0, name) == 1 && (length($0) == length(name) || substr($0, length(name) + 1, 1) == " ") && !seen++ { heading = 1 }')
  case "$found" in
    "Licence: $licence"*) echo "  $name: $found" ;;
    '') fail "the notices have no heading '$name'" ;;
    *) fail "the notices give $name the licence '$found', not '$licence'" ;;
  esac
done
for text in LGPL-3.0-only GPL-3.0-only; do
  [ -f "$notices/LICENSES/$text.txt" ] || fail "Qt's licence text $text.txt is not among the notices"
done

echo "== the zip"
rm -rf "$work"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
release=$(find "$work/zip" -mindepth 1 -maxdepth 1 -type d)
listed=$(files_in "$release")
echo "$listed" | sed 's/^/  /'
[ "$listed" = "$expected" ] || fail "the zip holds
$listed
not
$expected"
same_texts "$release" "the zip"

echo "== the installer, silently, and its uninstaller"
installed="$WINEPREFIX/drive_c/Program Files/Norvane"
wine "$installer" /S
listed=$(files_in "$installed" 2>/dev/null | grep -vx Uninstall.exe || true)
echo "$listed" | sed 's/^/  /'
[ "$listed" = "$expected" ] || fail "the installer installed
$listed
not
$expected"
same_texts "$installed" "the installed folder"
wine 'C:\Program Files\Norvane\Uninstall.exe' /S
# The uninstaller runs from a copy of itself, which removes the folder once it is done.
for _ in $(seq 300); do [ -e "$installed" ] || break; sleep 0.1; done
[ ! -e "$installed" ] || fail "uninstalling left $(files_in "$installed" | tr '\n' ' ')"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "the Windows releases carry their licence texts: every check passed"
