# shellcheck shell=bash
# Sourced by the shell tests: "check DESCRIPTION COMMAND..." runs the command
# as one check and prints "ok: ..." or "FAILED: ..."; checks_summary prints
# "N passed, N failed" and fails when any check did.
passed=0 failed=0
check() {
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $what"
  else failed=$((failed + 1)); echo "FAILED: $what (checked: $*)"; fi
}
checks_summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
