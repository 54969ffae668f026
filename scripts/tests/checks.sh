# Sourced by the scripts' checks: check DESCRIPTION COMMAND... counts a passing command and names
# a failing one, with the stand-ins' notes ($STUB_CALLS) below it; checks_done closes the run.
passed=0 failed=0
check() {
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $1"
    if [ -f "${STUB_CALLS:-}" ]; then sed 's/^/    call: /' "$STUB_CALLS"; fi
  fi
}

checks_done() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
