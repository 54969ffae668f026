#!/usr/bin/env bash
# Sets up, builds and starts tornak under Wine on the simulated bridge.
#
# Attaches one simulated bridge (seen by the new library generation, and away for 300 ms after
# each reset, as a real one is while it enumerates again) unless the state file already has
# bridges. With a display (DISPLAY set) the window opens there; without one it runs
# on a virtual display and a screenshot of the window is written to build/screenshot.png.
# Runs until the window is closed or Ctrl-C.
#
#   TORNAK_SIM_STATE   the simulated bridge's state file (default: tornak-sim's own default for
#                      this user, ~/.local/state/tornak-sim/state.json)
#   TORNAK_BUILD_DIR   build folder of the Windows preset (default: build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

# A new Wine prefix takes about as long to prepare as the build takes: both at once.
. scripts/wine-env
tornak_wine_prefix &
prefix_pid=$!

# Only what runs here: the program, the two simulated libraries and the control tool; the tests
# and the benchmark are the test command's to build.
targets=(tornak tornak_sim_new tornak_sim_old tornak-sim)
build=${TORNAK_BUILD_DIR:-build/windows}
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --parallel 2 --target "${targets[@]}"
bin="$root/$build/bin"

# One state file for the libraries under Wine and for tornak-sim, native or not.
export TORNAK_SIM_STATE="${TORNAK_SIM_STATE:-${XDG_STATE_HOME:-$HOME/.local/state}/tornak-sim/state.json}"
mkdir -p "$(dirname "$TORNAK_SIM_STATE")"

wait "$prefix_pid"
had_display=${DISPLAY:-}
tornak_display

# Wine programs can hand their output to long-lived Wine processes; a file, unlike a pipe, does
# not wait for those to end.
sim_output=$(mktemp)
tornak_pid=
cleanup() {
  rm -f "$sim_output"
  if [ -n "$tornak_pid" ]; then kill "$tornak_pid" 2>/dev/null || true; fi
  # Only the virtual display this script brought up goes, with the Wine processes on it.
  if [ -z "$had_display" ]; then tornak_stop_wine; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

sim() {
  "$tornak_wine" "$bin/tornak-sim.exe" "$@" >"$sim_output" 2>&1 || { tr -d '\r' <"$sim_output" >&2; return 1; }
}

sim show
if grep -q "none attached" "$sim_output"; then
  sim attach --reenumeration-ms 300
  echo "Attached simulated bridge $(tr -d '\r' <"$sim_output")."
else
  echo "Using the bridges already in $TORNAK_SIM_STATE."
fi
cat <<EOF
Change the simulated bridge while tornak runs, for example:
  TORNAK_SIM_STATE=$TORNAK_SIM_STATE scripts/wine-run $build/bin/tornak-sim.exe set bridge1 --pid 840E
  TORNAK_SIM_STATE=$TORNAK_SIM_STATE scripts/wine-run $build/bin/tornak-sim.exe detach --all
EOF

"$tornak_wine" "$bin/tornak.exe" &
tornak_pid=$!

if [ -n "$had_display" ]; then
  echo "tornak is open on display $DISPLAY. Close the window or press Ctrl-C to end it."
else
  echo "No DISPLAY set: tornak runs on the virtual display $DISPLAY."
  window=
  for _ in $(seq 60); do
    window=$(xdotool search --name '^Kavren PID changer$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$tornak_pid" 2>/dev/null || break
    sleep 0.5
  done
  if [ -n "$window" ]; then
    sleep 2  # a few ticks, so the read-outs show the bridge
    screenshot="$root/build/screenshot.png"
    import -window "$window" "$screenshot"
    echo "Screenshot of the window: $screenshot"
  else
    echo "The window did not appear; no screenshot." >&2
  fi
  echo "Press Ctrl-C to end tornak and the virtual display."
fi

wait "$tornak_pid" || true
tornak_pid=
