#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and benchmark Norvane.
# Idempotent: a machine that already has every package does no network work.
# NORVANE_SKIP_WINDOWS=1 leaves out the Windows cross compiler and Wine.
set -euo pipefail
source "$(dirname "$0")/environment.sh"

packages=(
  build-essential cmake ninja-build   # compiler and build tools
  qt6-base-dev libgl-dev libxkbcommon-dev  # Qt 6 Widgets (its CMake files look for GL and XKB)
  libgtest-dev libgmock-dev           # unit tests
  libbenchmark-dev dos2unix           # benchmarks and the unix2dos peer they compare against
  xvfb xauth imagemagick xdotool x11-utils  # headless X server and tools for the GUI tests
  fonts-dejavu-core fonts-liberation2 fonts-droid-fallback  # monospace and CJK fonts of the rendering check
  desktop-file-utils appstream         # validators of the desktop entry and AppStream data
  openbox qt6ct python3                # a framing window manager, a desktop's font and colours, pixel checks
  dpkg-dev file lintian libgtk-3-bin   # the Debian package: its dependencies, its checker, gtk-launch
  libx11-dev libxtst-dev               # the window benchmark's own X client: events, pings and input
  at-spi2-core python3-pyatspi dbus-daemon  # driving and reading the windows as assistive tools do
  weston qt6-wayland                   # a Wayland desktop: the compositor's headless back end, Qt's client
  libxfixes3 adwaita-icon-theme        # reading which pointer X shows, named by a cursor theme
  unicode-data                         # the character widths' source (scripts/make_char_width_table.py) and test
)

# The Windows build and its tests under Wine (scripts/test_windows.sh). Only 64-bit Wine is
# needed, so no i386 architecture; its recommended fonts and media libraries are not.
windows_packages=(
  g++-mingw-w64-x86-64-posix googletest  # cross compiler; GoogleTest is built from its sources
  wine wine64                            # runs the Windows programs
  locales                                # locale sources: Wine under another ANSI code page
  nsis                                   # the Windows installer
  patch                                  # applies the project's patches to Qt's source
  # The fonts a Debian desktop offers, which Wine offers Windows programs too: the program
  # must start and draw with them (a colour emoji font, CJK fonts).
  fonts-noto-color-emoji fonts-noto-cjk
)

installed() {
  dpkg -s "$1" 2>/dev/null | grep -q '^Status: install ok installed$'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
windows_missing=()
if [ "${NORVANE_SKIP_WINDOWS:-0}" != 1 ]; then
  for p in "${windows_packages[@]}"; do
    installed "$p" || windows_missing+=("$p")
  done
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#windows_missing[@]} -eq 0 ]; then
  echo "setup: all required packages are installed"
  exit 0
fi

echo "setup: installing ${missing[*]} ${windows_missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
elif [ ${#missing[@]} -eq 0 ]; then
  echo "setup: missing Windows build packages (${windows_missing[*]}); run this script as root to install them" >&2
  exit 0
else
  echo "setup: missing packages (${missing[*]}); run this script as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo[@]}" apt-get install -y "${missing[@]}"
fi
if [ ${#windows_missing[@]} -gt 0 ]; then
  # Without them only the Windows tests are skipped, so a failure here is not fatal.
  "${sudo[@]}" apt-get install -y --no-install-recommends "${windows_missing[@]}" ||
    echo "setup: could not install ${windows_missing[*]}; the Windows tests will be skipped" >&2
fi
