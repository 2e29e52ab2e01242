#!/usr/bin/env bash
# Cross-builds the part of Qt that Norvane needs (Core, Gui, Widgets, the windows platform
# plugin and the Windows Vista style) for 64-bit Windows, from Debian's own qt6-base source
# of the same version as this system's Qt, with the project's mingw-w64 toolchain, and
# installs it into a cache folder outside the work tree:
#
#   scripts/build_qt_windows.sh             builds it unless it is there (15 minutes on 2 idle
#                                           cores, up to 2 hours on 2 busy ones)
#   scripts/build_qt_windows.sh --prefix    only prints the folder it is, or would be, in
#
# Beside Qt the folder holds notices/: the licence notices that a program linking this Qt
# owes (THIRD-PARTY-NOTICES.txt and Qt's licence texts in LICENSES/), which
# scripts/qt_notices.py gathers from the source that was built. A Qt built before the
# notices were gathered gets them on the next run, from its source fetched again, without
# being built again.
#
# The folder is ${NORVANE_QT_WINDOWS_CACHE:-~/.cache/norvane}/qt6-windows-VERSION-KEY, KEY
# standing for everything that changes the result: the qt6-base version, the cross
# compiler's and the host tools' package versions, the toolchain file, the configure
# flags and the patches in scripts/qt_windows_patches/, applied to the source in name
# order; a build for other inputs goes to another folder. NORVANE_QT_WINDOWS_JOBS sets the
# parallel jobs (default 2). The build runs at niceness 10 unless its caller already
# lowered its priority, which it then keeps.
#
# Qt is built static: Norvane.exe then carries Qt, the platform and style plugins and the
# C++ run-time and imports only system DLLs, so the program is one file that runs anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/environment.sh

cache_root=${NORVANE_QT_WINDOWS_CACHE:-$HOME/.cache/norvane}
jobs=${NORVANE_QT_WINDOWS_JOBS:-2}
toolchain=$PWD/cmake/toolchain-mingw-w64-x86_64.cmake
patches=("$PWD"/scripts/qt_windows_patches/*.patch)

package_version() {
  dpkg-query -W -f '${Version}' "$1" 2>/dev/null || true
}
qt_version=$(package_version qt6-base-dev)
tools_version=$(package_version qt6-base-dev-tools)
mingw_version=$(package_version g++-mingw-w64-x86-64-posix)
for need in "qt6-base-dev:$qt_version" "qt6-base-dev-tools:$tools_version" "g++-mingw-w64-x86-64-posix:$mingw_version"; do
  if [ -z "${need#*:}" ]; then
    echo "build_qt_windows: Debian package ${need%%:*} is not installed (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

# Only what the program uses: no OpenGL (the +dfsg source lacks what the Windows OpenGL
# back ends need, and the widgets don't draw with it), no tablet events (the +dfsg source
# drops the wintab headers), and none of the modules or image formats the program doesn't
# load. Direct2D stays: the windows platform plugin takes its DirectWrite font database
# from it.
configure_flags=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DINPUT_opengl=no -DFEATURE_opengl=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=OFF
  -DFEATURE_vulkan=OFF -DFEATURE_freetype=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_zstd=OFF -DFEATURE_icu=OFF
)

key=$( (printf '%s\n' "$qt_version" "$tools_version" "$mingw_version" "${configure_flags[@]}"
  cat "$toolchain" "${patches[@]}") | sha256sum | cut -c1-12)
upstream_version=${qt_version#*:}
upstream_version=${upstream_version%%+*}
upstream_version=${upstream_version%%-*}
prefix=$cache_root/qt6-windows-$upstream_version-$key

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi
qt_built=0
[ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && qt_built=1
if [ $qt_built = 1 ] && [ -f "$prefix/notices/THIRD-PARTY-NOTICES.txt" ]; then
  echo "build_qt_windows: Qt $upstream_version for Windows is already built in $prefix"
  exit 0
fi

# The build yields to other work on the machine; a caller that started it with nice keeps
# its own niceness.
if [ "$(nice)" -eq 0 ]; then
  renice -n 10 -p $$ >/dev/null
fi

started=$(date +%s)
step() {
  echo "build_qt_windows: [$(( ($(date +%s) - started) / 60 )) min] $*"
}
if [ $qt_built = 1 ]; then
  step "Qt $upstream_version for Windows is built in $prefix but lacks its licence notices;" \
    "gathering them from its source (Qt is not built again)"
else
  step "building Qt $upstream_version for 64-bit Windows into $prefix;" \
    "this takes about 15 minutes on 2 idle cores, up to 2 hours on 2 busy ones" \
    "(NORVANE_QT_WINDOWS_JOBS=$jobs jobs, niceness $(nice)) and is done once"
fi

work=$cache_root/qt6-windows-work-$key
rm -rf "$work" "$prefix.partial" "$prefix/notices.partial"
mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial" "$work/apt/sources.list.d"
trap 'status=$?; [ $status -eq 0 ] || echo "build_qt_windows: failed; its files are in $work" >&2' EXIT

# The source package comes from the suites this system installs from, through a private
# APT configuration: the system's own source lists and package lists stay untouched.
step "fetching Debian's qt6-base $qt_version source"
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$list" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list" >>"$work/apt/sources.list"
done
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$sources" >"$work/apt/sources.list.d/$(basename "$sources")"
done
touch "$work/apt/sources.list"
cat >"$work/apt/apt.conf" <<EOF
Dir::Etc::sourcelist "$work/apt/sources.list";
Dir::Etc::sourceparts "$work/apt/sources.list.d";
Dir::State::lists "$work/apt/lists";
Dir::Cache::archives "$work/apt/archives";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
APT::Sandbox::User "root";
EOF
export APT_CONFIG=$work/apt/apt.conf
apt-get -q update >"$work/apt-update.log" 2>&1 || { cat "$work/apt-update.log" >&2; exit 1; }
(cd "$work" && apt-get -q source "qt6-base=${qt_version}" >apt-source.log 2>&1) ||
  { cat "$work/apt-source.log" >&2; exit 1; }
unset APT_CONFIG
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$source_dir" ] || { echo "build_qt_windows: no source folder in $work" >&2; exit 1; }
for patch_file in "${patches[@]}"; do
  step "applying $(basename "$patch_file")"
  patch -d "$source_dir" -p1 --forward --batch <"$patch_file" >"$work/patch.log" 2>&1 ||
    { cat "$work/patch.log" >&2; exit 1; }
done

# The notices of the Qt installed in the folder $1, gathered into $1/notices.
gather_notices() {
  step "gathering the licence notices of the Qt in $1"
  python3 scripts/qt_notices.py "$source_dir" "$1" "$upstream_version" "$1/notices.partial" >"$work/notices.log" ||
    { cat "$work/notices.log" >&2; exit 1; }
  mv "$1/notices.partial" "$1/notices"
}
if [ $qt_built = 1 ]; then
  gather_notices "$prefix"
  rm -rf "$work"
  step "done: the notices are in $prefix/notices"
  exit 0
fi

step "configuring (the host tools moc, rcc and uic are Debian's, from /usr)"
cmake -S "$source_dir" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
  "${configure_flags[@]}" >"$work/configure.log" 2>&1 ||
  { tail -n 60 "$work/configure.log" >&2; exit 1; }

# Ninja prints "[n/total] ..." for each step. Every 50 steps this says how far it is and,
# from the time the steps so far took, roughly how long the rest will take.
progress() {
  local line done_steps total left
  local compile_started=$SECONDS
  while IFS= read -r line; do
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      done_steps=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
      if (( done_steps > 0 && (done_steps % 50 == 0 || done_steps == total) )); then
        left=$(( (SECONDS - compile_started) * (total - done_steps) / done_steps / 60 ))
        step "  $done_steps/$total, ~$left min left"
      fi
    elif [[ $line == *error:* || $line == FAILED:* ]]; then
      echo "$line"
    fi
  done
}
step "compiling (about 950 steps)"
if ! cmake --build "$work/build" -j "$jobs" 2>&1 | tee "$work/build.log" | progress; then
  echo "build_qt_windows: the build failed; see $work/build.log" >&2
  exit 1
fi

step "installing"
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -n 30 "$work/install.log" >&2; exit 1; }
gather_notices "$prefix.partial"
mv "$prefix.partial" "$prefix"
rm -rf "$work"
step "done: Qt for Windows is in $prefix ($(du -sh "$prefix" | cut -f1))"
