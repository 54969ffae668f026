#!/usr/bin/env bash
# Builds and runs the benchmark, and prints its one table (Markdown) on stdout: tornak's own
# work per tick natively, the same through the simulated libraries, start-up, polling CPU and
# memory (on simulated libraries that hold the bridge in memory, and through the state file),
# plug-to-display latency (timer alone and announced) and press-to-new-identity latency (the
# bridge back at once and away as long as the run command's) under Wine, and the size of
# tornak.exe as shipped. Every figure stands beside its baseline, measured in the same run.
# Details go to stderr.
#
#   bench/run.sh            the table (about three and a half minutes after the builds)
#   bench/run.sh --profile  where the start-up time and memory go, step by step from a bare window
#
# The Windows programs run in a Wine prefix of the benchmark's own, so that nothing else
# shares its wineserver or its display.
set -euo pipefail
cd "$(dirname "$0")/.."

profile=false
case "${1:-}" in
  "") ;;
  --profile) profile=true ;;
  *) echo "usage: bench/run.sh [--profile]" >&2; exit 2 ;;
esac

scripts/setup.sh >&2

native=build/bench-native
windows=build/bench-windows
stage=$windows/stage
{
  cmake --preset native -B "$native" >/dev/null
  cmake --build "$native" -j2 --target tornak_core_bench
  cmake --preset windows -B "$windows" >/dev/null
  cmake --build "$windows" -j2 --target tornak tornak_sim_new tornak_sim_old tornak-sim tornak_window_bench
  # tornak.exe and the simulated libraries as the packages ship them (stripped), with the
  # benchmark's programs beside them, built and stripped the same way.
  rm -rf "$stage"
  for component in program simulator bench; do
    cmake --install "$windows" --prefix "$stage" --component "$component" --strip >/dev/null
  done
} >&2
folder=$(echo "$stage"/tornak-*-win64)

export TORNAK_WINEPREFIX="${XDG_CACHE_HOME:-$HOME/.cache}/tornak/bench-wineprefix"
work=$(mktemp -d)
trap 'scripts/wine-stop; rm -rf "$work"' EXIT
export TORNAK_SIM_STATE="$work/state.txt"

if $profile; then
  scripts/wine-run "$folder/tornak_window_bench.exe" --profile 2> >(grep -v wine32 >&2)
  exit 0
fi

# The press row with the bridge away after its reset takes the time the run command gives its bridge.
away_ms=$(sed -n 's/.*--reenumeration-ms[ =]\([0-9][0-9]*\).*/\1/p' scripts/run.sh | head -n 1)

"$native/bin/tornak_core_bench"
scripts/wine-run "$folder/tornak_window_bench.exe" --rows-only ${away_ms:+--away-ms "$away_ms"} 2> >(grep -v wine32 >&2)

# Size: the file as shipped, and what it needs of the system.
row() { echo "| $1 | $2 | $3 | $4 | $5 |"; }
kib() { echo "$(( ($1 + 512) / 1024 )) KiB"; }
imports() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | sort -f | paste -sd' ' -
}
tornak_bytes=$(stat -c %s "$folder/tornak.exe")
bare_bytes=$(stat -c %s "$folder/bare_window.exe")
limit=$((600 * 1024))
verdict=met
[ "$tornak_bytes" -lt "$limit" ] || verdict="NOT met"
row "Size of tornak.exe as shipped" "$(kib "$tornak_bytes") ($tornak_bytes bytes)" \
  "$(kib "$bare_bytes"), bare window" "$(awk "BEGIN { printf \"%.2fx\", $tornak_bytes / $bare_bytes }")" \
  "under 600 KiB: $verdict"
verdict=met
release/check_binaries.sh x86_64-w64-mingw32-objdump x86_64-w64-mingw32-nm 64 --program "$folder/tornak.exe" >&2 ||
  verdict="NOT met"
row "DLLs tornak.exe imports" "$(imports "$folder/tornak.exe")" "$(imports "$folder/bare_window.exe"), bare window" "" \
  "Windows system DLLs only, no MinGW runtime: $verdict"
