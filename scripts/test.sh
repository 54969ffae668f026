#!/usr/bin/env bash
# Sets up, builds and runs every test: the portable core natively (with sanitizers, and a short
# bounded run of each fuzzer), the 64-bit and the 32-bit Windows builds under Wine, a
# one-minute soak of each running program (64-bit and 32-bit), static analysis (scripts/tidy),
# and the release packages of both Windows builds. Exits non-zero when anything fails, and ends
# with the time of each stage.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# A job still preparing a Wine prefix would start its session after wine-stop.
trap 'wait; scripts/wine-stop' EXIT

failed=()
not_run=
# The time of each stage, and the CPU time of the commands that ended in it: on a machine shared
# with other work, the latter says what a build cost.
mkdir -p build
times=()
cpu_seconds() {  # sets cpu to that of every command waited for so far (in this shell, not a subshell)
  times >build/test-times.txt
  cpu=$(awk 'NR == 2 { split($0, t, /[ms ]+/); printf "%d", t[1] * 60 + t[2] + t[3] * 60 + t[4] }' build/test-times.txt)
}
stage_name=
stage() {  # stage [NAME]: ends the stage before, if any, and starts the one named
  local cpu
  cpu_seconds
  [ -n "$stage_name" ] &&
    times+=("$(printf '%-18s %5d s %5d s' "$stage_name" $((SECONDS - stage_start)) $((cpu - stage_cpu)))")
  stage_name=${1:-}
  stage_start=$SECONDS
  stage_cpu=$cpu
  [ -z "$stage_name" ] || echo "=== $stage_name"
}

# The Wine prefixes (the project's, and the window tests' 144- and 120-DPI ones) made and their
# sessions started once, before any test needs them: no test then waits for a prefix being made,
# nor holds its slot until the session ends (scripts/wine-env). Making a prefix mostly waits, so
# it runs beside the native builds.
(. scripts/wine-env && tornak_each_prefix tornak_keep_session) >build/wine-sessions.log 2>&1 &
wine_sessions=$!

# The native suite runs once, with the sanitizers; of the plain native build only the tool that
# the soaks drive is made.
stage "tornak-sim"
cmake --preset native >/dev/null
cmake --build --preset native --target tornak-sim
for preset in native-asan fuzz windows windows-x86; do
  stage "$preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  case "$preset" in
    windows*) ;;  # under Wine, once both builds are there
    *) ctest --preset "$preset" || failed+=("$preset") ;;
  esac
done

stage "Wine sessions"
wait "$wine_sessions" || { cat build/wine-sessions.log; failed+=("Wine sessions"); }
for preset in windows windows-x86; do
  stage "$preset tests"
  ctest --preset "$preset" || failed+=("$preset")
done

# The soak mostly waits on the running program, with a core to spare for static analysis; at the
# lowest priority it does not slow the program's answers (scripts/tidy, README).
nice -n 19 scripts/tidy >build/tidy.log 2>&1 &
tidy=$!

# The running program under Wine for a minute, on the builds above (scripts/soak, README).
stage soak
scripts/soak --minutes 1 --windows-bin build/windows/bin --sim build/native/bin/tornak-sim || failed+=(soak)
stage "soak, 32-bit"
# A machine that does not run 32-bit code cannot run the 32-bit program at all (scripts/wine-env);
# ctest skips its 32-bit Wine tests there likewise.
if (. scripts/wine-env && $tornak_runs_32bit); then
  scripts/soak --minutes 1 --windows-bin build/windows-x86/bin --sim build/native/bin/tornak-sim || failed+=(soak-x86)
else
  echo "Not run: this machine does not run 32-bit programs."
  not_run=yes
fi

stage "static analysis"
wait "$tidy" || failed+=(tidy)
cat build/tidy.log

# The ZIP packages of both Windows builds, as scripts/release.sh makes them.
stage packages
scripts/release.sh --built || failed+=(packages)
stage

echo "Time of each stage, and the CPU time of the commands that ended in it (Wine's own processes"
echo "aside; static analysis runs beside the soaks, and its stage is what was left of it after them):"
cpu_seconds
printf '  %s\n' "${times[@]}" "$(printf '%-18s %5d s %5d s' total "$SECONDS" "$cpu")"
if [ -n "$not_run" ]; then
  echo "NOT RUN on this machine, which does not run 32-bit programs: the 32-bit Wine tests (skipped"
  echo "in ctest's list above) and the 32-bit soak. The 32-bit build and its file checks did run."
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test presets passed."
