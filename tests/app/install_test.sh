#!/bin/sh
# Installs the build into a scratch folder as a package would (prefix /usr) and checks that
# a free desktop finds what it needs: the program, its desktop entry, its icons and its
# AppStream data, the last two files passing their validators.
# Usage: install_test.sh BUILD_DIR. Exits 77 (skipped) when a validator is missing.
set -eu
build=$1

for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

failed=0
for file in bin/norvane share/applications/norvane.desktop share/metainfo/org.norvane.Norvane.metainfo.xml \
            share/icons/hicolor/16x16/apps/norvane.png share/icons/hicolor/32x32/apps/norvane.png; do
  if [ ! -f "$stage/usr/$file" ]; then
    echo "not installed: /usr/$file"
    failed=1
  fi
done
[ -x "$stage/usr/bin/norvane" ] || { echo "/usr/bin/norvane is not executable"; failed=1; }

desktop-file-validate "$stage/usr/share/applications/norvane.desktop" || failed=1
appstreamcli validate --no-net --explain "$stage/usr/share/metainfo/org.norvane.Norvane.metainfo.xml" || failed=1

# The entry opens plain text files with the installed program and says what the record says.
grep -qx 'Exec=norvane %f' "$stage/usr/share/applications/norvane.desktop" || { echo "wrong Exec"; failed=1; }
grep -qx 'MimeType=text/plain;' "$stage/usr/share/applications/norvane.desktop" || { echo "wrong MimeType"; failed=1; }
grep -qx 'Comment=Not to be used on regular Windows generated text files!' \
  "$stage/usr/share/applications/norvane.desktop" || { echo "wrong Comment"; failed=1; }
exit $failed
