#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and benchmark Norvane.
# Idempotent: a machine that already has every package does no network work.
set -euo pipefail

packages=(
  build-essential cmake ninja-build   # compiler and build tools
  qt6-base-dev libgl-dev              # Qt 6 Widgets (its CMake files need the GL headers)
  libgtest-dev libgmock-dev           # unit tests
  libbenchmark-dev dos2unix           # benchmarks and the unix2dos peer they compare against
  xvfb xauth imagemagick xdotool x11-utils  # headless X server and tools for the GUI tests
  desktop-file-utils appstream         # validators of the desktop entry and AppStream data
)

installed() {
  dpkg -s "$1" 2>/dev/null | grep -q '^Status: install ok installed$'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all required packages are installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: missing packages (${missing[*]}); run this script as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y "${missing[@]}"
