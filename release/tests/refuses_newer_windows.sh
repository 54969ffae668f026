#!/usr/bin/env bash
# The check of the shipped files refuses a file that needs a later Windows than 7 SP1, naming
# each import and the subsystem version that give it away.
#   refuses_newer_windows.sh OBJDUMP NM BITS LIBRARY
set -uo pipefail
here=$(dirname "$0")
. "$here/../../scripts/tests/checks.sh"

output=$("$here/../check_binaries.sh" "$1" "$2" "$3" --program "$4" 2>&1)
status=$?
echo "$output"
check "the check fails" test "$status" -ne 0
check "it names GetDpiForWindow" grep -q "imports GetDpiForWindow from user32.dll, which Windows 7 SP1" <<<"$output"
check "it names GetSystemTimePreciseAsFileTime" \
  grep -q "imports GetSystemTimePreciseAsFileTime from kernel32.dll, which Windows 7 SP1" <<<"$output"
check "it names the subsystem version" grep -Eq "has subsystem version [45]\.[0-9]+, not 6\.1" <<<"$output"
checks_done
