#!/usr/bin/env bash
# Builds the 64-bit and 32-bit Windows programs and packs each into its two ZIP files:
#   build/windows/packages/tornak-<version>-win64.zip            tornak.exe and its user guide
#   build/windows/packages/tornak-simulator-<version>-win64.zip  the simulated bridge
# and the same with -win32 under build/windows-x86/packages.
#
#   scripts/release.sh           set up, build and pack
#   scripts/release.sh --built   only pack the builds already there (the test command's step)
set -euo pipefail
cd "$(dirname "$0")/.."

built=false
case "${1:-}" in
  "") ;;
  --built) built=true ;;
  *) echo "usage: scripts/release.sh [--built]" >&2; exit 2 ;;
esac

if ! $built; then
  scripts/setup.sh
fi
for preset in windows windows-x86; do
  if ! $built; then
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
  fi
  rm -rf "build/$preset/packages"
  (cd "build/$preset" && cpack >/dev/null)
  ls "build/$preset/packages"/*.zip
done
