#!/usr/bin/env bash
# Sets up, builds and runs every test: the portable core natively (plain, with sanitizers, and a
# short bounded run of each fuzzer), the 64-bit and the 32-bit Windows builds under Wine, a
# one-minute soak of each running program (64-bit and 32-bit), and the release packages of both
# Windows builds. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
trap 'scripts/wine-stop' EXIT

failed=()
for preset in native native-asan fuzz windows windows-x86; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  if [ "$preset" = windows ]; then
    # Both Wine prefixes (the second is the window tests' 144-DPI one) made and their sessions
    # started once, here, rather than by the first tests that need them: no test then waits for
    # a prefix being made, nor holds its slot until the session ends (scripts/wine-env).
    (. scripts/wine-env && tornak_each_prefix tornak_keep_session)
  fi
  ctest --preset "$preset" || failed+=("$preset")
done

# The running program under Wine for a minute, on the builds above (scripts/soak, README).
echo "=== soak"
scripts/soak --minutes 1 --windows-bin build/windows/bin --sim build/native/bin/tornak-sim || failed+=(soak)
echo "=== soak, 32-bit"
scripts/soak --minutes 1 --windows-bin build/windows-x86/bin --sim build/native/bin/tornak-sim || failed+=(soak-x86)

# The ZIP packages of both Windows builds, as scripts/release.sh makes them.
echo "=== packages"
scripts/release.sh --built || failed+=(packages)

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test presets passed."
