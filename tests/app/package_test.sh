#!/usr/bin/env bash
# Builds the Debian package and checks it as a Debian system meets it: its name, fields and
# files, lintian, the desktop entry's and AppStream data's validators. Then, where it runs as
# root, installs it with apt-get (offline: its dependencies are there already), opens a file
# through the installed desktop entry with gtk-launch in a virtual X server, purges the package
# and checks that nothing of it is left. Elsewhere that part is skipped, and it says so.
# Usage: package_test.sh BUILD_DIR VERSION WINDOW_PART_DIR   (exit 77: skipped)
# (WINDOW_PART_DIR: where the window part is installed, below the prefix)
set -euo pipefail
build=$1
version=$2
window_part=./usr/$3/norvane-window.so

for tool in cpack dpkg-deb dpkg-shlibdeps readelf lintian desktop-file-validate appstreamcli \
            xvfb-run xdotool xwininfo xprop gtk-launch; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done

work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as its own unprivileged user
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    apt-get purge -y -o DPkg::Lock::Timeout=300 norvane >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack could not make the package"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$work/cpack/norvane_${version}-1_${arch}.deb
[ -f "$deb" ] || { ls "$work/cpack"; echo "FAIL: no package named $(basename "$deb")"; exit 1; }
echo "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

# The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = norvane ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version-1" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
[ "$(field Section)" = text ] || fail "Section is $(field Section)"
homepage=$(field Homepage)
echo "Homepage: $homepage"
[[ "$homepage" == https://* ]] || fail "Homepage is not an https address: '$homepage'"
depends=$(field Depends)
echo "Depends: $depends"
for library in libc6 libqt6widgets6; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends does not name $library"
done

# Exactly these files, nothing else.
expected=$(sort <<FILES
./usr/bin/norvane
$window_part
./usr/share/applications/norvane.desktop
./usr/share/doc/norvane/changelog.Debian.gz
./usr/share/doc/norvane/copyright
./usr/share/icons/hicolor/128x128/apps/norvane.png
./usr/share/icons/hicolor/16x16/apps/norvane.png
./usr/share/icons/hicolor/256x256/apps/norvane.png
./usr/share/icons/hicolor/32x32/apps/norvane.png
./usr/share/icons/hicolor/48x48/apps/norvane.png
./usr/share/icons/hicolor/64x64/apps/norvane.png
./usr/share/icons/hicolor/scalable/apps/norvane.svg
./usr/share/lintian/overrides/norvane
./usr/share/man/man1/norvane.1.gz
./usr/share/metainfo/org.norvane.Norvane.metainfo.xml
FILES
)
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
if [ "$actual" != "$expected" ]; then
  fail "the package's files differ from the expected ones:"
  diff <(echo "$expected") <(echo "$actual") | sed -n 's/^[<>]/  &/p'
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
readelf -S "$root/usr/bin/norvane" | grep -q '\.symtab' && fail "/usr/bin/norvane is not stripped"
readelf -S "$root/$window_part" | grep -q '\.symtab' && fail "the window part is not stripped"
# The program itself needs no Qt: only its window part does.
qt_needed=$(readelf -d "$root/usr/bin/norvane" | grep NEEDED | grep -o 'libQt[^]]*' || true)
[ -z "$qt_needed" ] || fail "/usr/bin/norvane needs $qt_needed"
for icon in "$root"/usr/share/icons/hicolor/*x*/apps/norvane.png; do
  folder=$(basename "$(dirname "$(dirname "$icon")")")
  size=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }')
  [ "$size" = "$folder" ] || fail "the icon in $folder is $size"
done
desktop-file-validate "$root/usr/share/applications/norvane.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.norvane.Norvane.metainfo.xml" >"$work/appstream.log" ||
  { cat "$work/appstream.log"; fail "appstreamcli validate"; }
grep -qF "<url type=\"homepage\">$homepage</url>" "$root/usr/share/metainfo/org.norvane.Norvane.metainfo.xml" ||
  fail "the AppStream data does not name the homepage $homepage"
# The licence is named where Debian and AppStream look for it.
grep -qx 'License: GPL-3.0+' "$root/usr/share/doc/norvane/copyright" || fail "the copyright file names no licence"
grep -qF '<project_license>GPL-3.0-or-later</project_license>' "$root/usr/share/metainfo/org.norvane.Norvane.metainfo.xml" ||
  fail "the AppStream data names no licence"
# The entry opens plain text files with the program and says what the version record says.
entry=$root/usr/share/applications/norvane.desktop
grep -qx 'Exec=norvane %f' "$entry" || fail "wrong Exec"
grep -qx 'MimeType=text/plain;' "$entry" || fail "wrong MimeType"
grep -qx 'Comment=Not to be used on regular Windows generated text files!' "$entry" || fail "wrong Comment"

# Lintian: no error and no warning; the informational tags are shown.
lintian --pedantic --display-info --display-experimental --fail-on error,warning "$deb" 2>"$work/lintian.log" ||
  { grep -v 'root privileges' "$work/lintian.log"; fail "lintian finds errors or warnings"; }

if [ "$(id -u)" != 0 ]; then
  echo "skipped: installing, starting and removing the package with apt-get (needs root)"
  [ "$failures" -eq 0 ] || exit 1
  exit 0
fi
if dpkg-query -W -f '${Status}' norvane 2>/dev/null | grep -q ' installed$'; then
  echo "skipped: installing, starting and removing the package: norvane is installed on this system already"
  [ "$failures" -eq 0 ] || exit 1
  exit 0
fi

# Which of the package's paths (folders too) exist before it is installed.
paths=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\.||; s|/$||' | grep .)
before=$(while read -r path; do [ -e "$path" ] && echo "$path"; done <<<"$paths" || true)

export DEBIAN_FRONTEND=noninteractive
installed=1
apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; echo "FAIL: apt-get could not install the package"; exit 1; }
echo "installed with apt-get: $(dpkg-query -W -f '${Package} ${Version} ${Status}' norvane)"
while read -r path; do
  [ -e "$path" ] || fail "$path is not installed"
done <<<"$(dpkg -L norvane)"

# The installed entry, found by its name as a desktop finds it, opens a file in the installed
# program. The window's title names the file; the process is /usr/bin/norvane.
printf 'one\ntwo\n' >"$work/sample.txt"
xvfb-run -a -n 600 -s "-screen 0 1024x768x24 -noreset" env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR \
  PATH=/usr/bin:/bin XDG_DATA_DIRS=/usr/share XDG_DATA_HOME="$work/data" bash -c '
    source "$2"
    gtk-launch norvane "$1" || { echo "FAIL: gtk-launch norvane failed"; exit 1; }
    window=$(wait_window "^Norvane v2\.1 - \[sample\.txt\]$") || exit 1
    pid=$(xdotool getwindowpid "$window")
    program=$(readlink "/proc/$pid/exe")
    kill "$pid"
    echo "the desktop entry opened sample.txt in $program"
    [ "$program" = /usr/bin/norvane ] || { echo "FAIL: the window belongs to $program"; exit 1; }
  ' launch "$work/sample.txt" "$(dirname "$0")/../support/x_window.sh" || fail "the installed desktop entry does not open a file in the program"

apt-get purge -y -o DPkg::Lock::Timeout=300 norvane >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; echo "FAIL: apt-get could not purge the package"; exit 1; }
installed=0
dpkg-query -W -f '${Status}' norvane 2>/dev/null | grep -q ' installed$' && fail "dpkg still lists norvane"
after=$(while read -r path; do [ -e "$path" ] && echo "$path"; done <<<"$paths" || true)
left=$(comm -13 <(sort <<<"$before") <(sort <<<"$after"))
if [ -n "$left" ]; then
  fail "left behind after purging: $left"
else
  echo "purged: none of the $(comm -23 <(sort <<<"$paths") <(sort <<<"$before") | wc -l) paths it brought is left"
fi
# The caches that the desktop's triggers rebuild no longer name the program.
for cache in /usr/share/applications/mimeinfo.cache /usr/share/icons/hicolor/icon-theme.cache; do
  [ ! -f "$cache" ] || ! grep -q norvane "$cache" || fail "$cache still names norvane"
done

[ "$failures" -eq 0 ] || { echo "$failures package checks failed"; exit 1; }
echo "the package is lintian clean, installs, opens a file from its desktop entry, and purges without a trace"
