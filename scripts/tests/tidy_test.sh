#!/usr/bin/env bash
# Checks which sources scripts/tidy reads, with which build's flags, and that a finding fails
# it, against a stand-in for clang-tidy that notes its calls and reports what it is told to.
set -uo pipefail
tidy="$(cd "$(dirname "$0")/.." && pwd)/tidy"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
. "$(dirname "$0")/checks.sh"

mkdir -p "$scratch/build/native" "$scratch/build/windows"
touch "$scratch/build/native/compile_commands.json" "$scratch/build/windows/compile_commands.json"
cat >"$scratch/clang-tidy" <<'EOF'
#!/bin/sh
echo "$*" >>"$STUB_CALLS"
for file; do :; done
case " $STUB_FINDINGS_IN " in
  *" $file "*) echo "/src/cp210x/shared.hpp:3:1: warning: a finding [bugprone-x]"; exit 1 ;;
esac
EOF
chmod +x "$scratch/clang-tidy"
export CLANG_TIDY="$scratch/clang-tidy" TORNAK_TIDY_BUILD="$scratch/build" STUB_CALLS="$scratch/calls"

# run NAME FINDINGS_IN [FILE...]: scripts/tidy's output to NAME.out, its exit status to NAME.status.
run() {
  : >"$STUB_CALLS"
  STUB_FINDINGS_IN=$2 "$tidy" "${@:3}" >"$scratch/$1.out" 2>&1
  echo $? >"$scratch/$1.status"
}

"$tidy" --list >"$scratch/list"
check "the Windows build reads window/ and the *_win.cpp halves, the native one the rest" \
  test -z "$(awk '($1 == "windows") != ($2 ~ /^window\// || $2 ~ /_win\.cpp$/)' "$scratch/list")"
check "no test or test helper is read" test -z "$(grep -E '/(tests|testing)/' "$scratch/list")"
for entry in "windows window/winmain.cpp" "windows cp210x/library_win.cpp" "native cp210x/library_posix.cpp" \
  "native sim/tool/main_posix.cpp" "native fault/fault.cpp"; do
  check "$entry is read" grep -qx "$entry" "$scratch/list"
done

run clean ""
check "nothing found passes" grep -qx 0 "$scratch/clean.status"
check "every source is read once" test "$(wc -l <"$STUB_CALLS")" -eq "$(wc -l <"$scratch/list")"
check "a Windows source is read through the MinGW target and the Windows build's flags" \
  grep -q -- "-p $scratch/build/windows --extra-arg=--target=x86_64-w64-mingw32 .* window/winmain.cpp$" "$STUB_CALLS"
check "a portable source is read with the native build's flags alone" \
  grep -qx -- "--quiet -p $scratch/build/native fault/fault.cpp" "$STUB_CALLS"

run finding "fault/fault.cpp window/layout.cpp"
check "a finding fails the run" grep -qx 1 "$scratch/finding.status"
check "a finding in a shared header is listed once, with the sources it came from" \
  grep -qx "clang-tidy: 1 findings in 2 of $(wc -l <"$scratch/list") sources:" "$scratch/finding.out"

run some "" ./fault/fault.cpp window/layout.cpp
check "named sources alone are read" test "$(wc -l <"$STUB_CALLS")" -eq 2
run unknown "" fault/tests/fault_test.cpp
check "a source it does not read is refused" grep -qx 2 "$scratch/unknown.status"

checks_done
