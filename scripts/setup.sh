#!/usr/bin/env bash
# Installs every Debian package that building, running and testing tornak needs.
# Safe to run again: it installs only what is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev nlohmann-json3-dev
  clang libclang-rt-14-dev clang-tidy
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 wine32:i386 fonts-wine
  xvfb x11-utils xdotool imagemagick
  zip unzip
  python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
# Wine's 32-bit half runs the 32-bit program and its tests; it comes from the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
