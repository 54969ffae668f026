#!/usr/bin/env bash
# Sets up, builds and runs every test: the portable core natively (with sanitizers, and a short
# bounded run of each fuzzer), the 64-bit and the 32-bit Windows builds under Wine, a
# one-minute soak of each running program (64-bit and 32-bit), static analysis (scripts/tidy),
# and the release packages of both Windows builds. Exits non-zero when anything fails, and ends
# with the time of each stage.
#
# The stages run in lanes side by side (README, Tests). The builds keep both cores busy and run
# one after another, at low priority, and static analysis beside them at the lowest. The Wine
# tests and the soaks mostly wait on Wine and its timers: each starts as soon as what it needs is
# built, at normal priority, so that the builds beside them do not slow the programs' answers.
# Each stage's output is kept and printed whole when the stage ends.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

# The 32-bit soak runs beside the 64-bit one, in a Wine prefix (and so a session and a display)
# of its own: in one session the two programs would hear each other's device-change
# announcements and share the pointer and the keyboard focus.
soak32_prefix="${XDG_CACHE_HOME:-$HOME/.cache}/tornak/wineprefix-soak-x86"
runs_32bit=false
if (. scripts/wine-env && $tornak_runs_32bit); then runs_32bit=true; fi
# Runs a function of scripts/wine-env in the prefixes of the Windows suites, or in the 32-bit soak's.
suites_sessions() { (. scripts/wine-env && tornak_each_prefix "$1"); }
soak32_session() { (export TORNAK_WINEPREFIX=$soak32_prefix && . scripts/wine-env && "$1"); }
stages=build/stages
rm -rf "$stages"
mkdir -p "$stages"
# At the end, or on an early stop, the Wine lane is waited for (a job preparing a Wine prefix
# would start its session after the stop); stages that it still waits for then do not run.
trap 'touch "$stages/.ended"; wait; suites_sessions tornak_stop_wine; soak32_session tornak_stop_wine' EXIT
# Ctrl-C or a stop ends the Wine lane too: a job started in the background ignores Ctrl-C.
end_tree() {
  local child
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do end_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
trap '[ -z "${wine_lane:-}" ] || end_tree "$wine_lane"; exit 130' INT TERM

stage_file() { echo "$stages/${1//[^A-Za-z0-9-]/_}"; }
# The CPU time of every command this shell has waited for (not a subshell's: each lane counts its
# own). Wine's own processes are not among them: its server and the programs' processes run
# outside the commands that start them.
cpu_seconds() {  # sets cpu
  local file="$stages/times.$BASHPID"
  times >"$file"
  cpu=$(awk 'NR == 2 { split($0, t, /[ms ]+/); printf "%d", t[1] * 60 + t[2] + t[3] * 60 + t[4] }' "$file")
}

# run_stage LANE NAME LABEL COMMAND...: runs one stage, prints its output when it ends, and
# records when it started and ended, its CPU time and its status (NAME's .rc, which stages that
# need it wait for). LABEL names it in the list of failures.
run_stage() {
  local lane=$1 name=$2 label=$3 file start cpu cpu_before status=0
  shift 3
  file=$(stage_file "$name")
  start=$SECONDS
  cpu_seconds
  cpu_before=$cpu
  echo "... $name started"
  "$@" >"$file.log" 2>&1 || status=$?
  cpu_seconds
  printf '%s\t%s\t%d\t%d\t%d\t%d\t%s\n' "$lane" "$name" "$start" "$SECONDS" $((cpu - cpu_before)) \
    "$status" "$label" >"$file.row"
  {
    flock 9
    echo "=== $name ($((SECONDS - start)) s$([ "$status" -eq 0 ] || echo ", FAILED"))"
    cat "$file.log"
  } 9>"$stages/print.lock"
  echo "$status" >"$file.rc.new" && mv "$file.rc.new" "$file.rc"
  return "$status"
}

# needs NAME...: waits for those stages to end; fails when one of them failed, or when the run is
# stopping.
needs() {
  local name file
  for name; do
    file=$(stage_file "$name")
    until [ -f "$file.rc" ]; do
      [ ! -f "$stages/.ended" ] || return 1
      sleep 1
    done
    [ "$(cat "$file.rc")" -eq 0 ] || return 1
  done
}

# not_run LANE NAME LABEL WHY: a stage that cannot run, because one it needs failed.
not_run() {
  echo "=== $2: not run, $4"
  printf '%s\t%s\t%d\t-\t-\tnot run\t%s\n' "$1" "$2" "$SECONDS" "$3 (not run)" >"$(stage_file "$2").row"
  echo 1 >"$(stage_file "$2").rc.new" && mv "$(stage_file "$2").rc.new" "$(stage_file "$2").rc"
}

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }
# Of the plain native build only the tool the soaks drive: the native suite runs once, with the
# sanitizers.
build_tool() { cmake --preset native >/dev/null && cmake --build --preset native --target tornak-sim; }

# The Wine lane ------------------------------------------------------------------------------

soak_x86() {
  if $runs_32bit; then
    TORNAK_WINEPREFIX=$soak32_prefix scripts/soak --minutes 1 --windows-bin build/windows-x86/bin \
      --sim build/native/bin/tornak-sim
  else
    # A machine that does not run 32-bit code cannot run the 32-bit program at all
    # (scripts/wine-env); ctest skips its 32-bit Wine tests there likewise.
    echo "Not run: this machine does not run 32-bit programs."
  fi
}

wine_lane() {
  # The Wine prefixes made and their sessions started once, before any test needs them: no test
  # then waits for a prefix being made, nor holds its slot until the session ends
  # (scripts/wine-env). Those of the Windows suites (the project's own and the window tests'
  # 144- and 120-DPI ones) first; the 32-bit soak's beside them.
  local soak32_session_job=
  if $runs_32bit; then
    run_stage Wine "Wine session, 32-bit soak" "Wine sessions" soak32_session tornak_keep_session &
    soak32_session_job=$!
  fi
  run_stage Wine "Wine sessions" "Wine sessions" suites_sessions tornak_keep_session || true
  local preset
  for preset in windows windows-x86; do
    if needs "$preset"; then
      run_stage Wine "$preset tests" "$preset" ctest --preset "$preset" || true
    else
      not_run Wine "$preset tests" "$preset" "its build failed"
    fi
  done
  # The running programs under Wine for a minute each, on the builds above (scripts/soak,
  # README); the two bitnesses side by side, each in its own session.
  if needs tornak-sim windows; then
    run_stage Wine soak soak scripts/soak --minutes 1 --windows-bin build/windows/bin \
      --sim build/native/bin/tornak-sim &
    if needs windows-x86; then
      [ -z "$soak32_session_job" ] || wait "$soak32_session_job" || true
      run_stage Wine "soak, 32-bit" soak-x86 soak_x86 &
    else
      not_run Wine "soak, 32-bit" soak-x86 "its build failed"
    fi
    wait
  else
    not_run Wine soak soak "a build it needs failed"
    not_run Wine "soak, 32-bit" soak-x86 "a build it needs failed"
  fi
}

wine_lane &
wine_lane=$!

# The build lane and static analysis ---------------------------------------------------------

# The builds and the native tests at low priority, static analysis at the lowest: the Wine lane's
# programs come first, and static analysis takes what CPU the builds leave.
renice -n 10 $$ >/dev/null
# First what the Wine lane waits for: the 64-bit Windows build, the native tool the soaks drive,
# the 32-bit Windows build.
run_stage builds windows "windows (build)" build windows || true
run_stage builds tornak-sim "native (build)" build_tool || true
# Static analysis reads the flags of the native and the 64-bit Windows builds, configured by now.
run_stage analysis "static analysis" tidy nice -n 9 scripts/tidy &
run_stage builds windows-x86 "windows-x86 (build)" build windows-x86 || true
for preset in native-asan fuzz; do
  if run_stage builds "$preset" "$preset (build)" build "$preset"; then
    run_stage builds "$preset tests" "$preset" ctest --preset "$preset" || true
  else
    not_run builds "$preset tests" "$preset" "its build failed"
  fi
done

wait
# The ZIP packages of both Windows builds, as scripts/release.sh makes them.
if needs windows windows-x86; then
  run_stage builds packages packages scripts/release.sh --built || true
else
  not_run builds packages packages "a build it needs failed"
fi

# The table: one row a stage, the lanes apart; start and end in seconds from the start of the run.
failed=()
rows() { cat "$stages"/*.row | awk -F'\t' -v lane="$1" '$1 == lane' | sort -t$'\t' -k3,3n; }
print_rows() {
  local lane name start end cpu status label
  while IFS=$'\t' read -r lane name start end cpu status label; do
    if [ "$status" = "not run" ]; then
      printf '    %-26s %6d %s\n' "$name" "$start" "  not run"
    else
      printf '    %-26s %6d %6d %6d s %5d s%s\n' "$name" "$start" "$end" $((end - start)) "$cpu" \
        "$([ "$status" -eq 0 ] || echo "  FAILED")"
    fi
    [ "$status" = 0 ] || failed+=("$label")
  done < <(rows "$1")
}
echo "Time of each stage: its start and end (seconds from the start of the run), how long it took,"
echo "and the CPU time of its commands (Wine's own processes aside)."
printf '    %-26s %6s %6s %8s %7s\n' stage start end wall CPU
echo "  one after another, at low priority (nice 10):"
print_rows builds
echo "  beside them, at the lowest priority (nice 19), on the CPU they leave:"
print_rows analysis
echo "  beside them, under Wine (each stage once what it needs is built; the soaks side by side):"
print_rows Wine
cpu_seconds
printf '    %-26s %13s %6d s %5d s\n' total "" "$SECONDS" "$cpu"
if ! $runs_32bit; then
  echo "NOT RUN on this machine, which does not run 32-bit programs: the 32-bit Wine tests (skipped"
  echo "in ctest's list above) and the 32-bit soak. The 32-bit build and its file checks did run."
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test presets passed."
