#!/usr/bin/env bash
# tools/test.sh's verdict: it exits 0 only when every suite ran and passed,
# and its closing line counts what failed. The driver runs in a tree of its
# own where stand-ins replace what it calls (cmake, ctest, the guest run, the
# checks, the Wine set-up); each case makes one of them fail, on the path
# where 32-bit code runs under wine32 and on the emulated one.
#   test_driver_test.sh WORKDIR
set -euo pipefail
work=$1
driver=$(cd "$(dirname "$0")/../../tools" && pwd)/test.sh
stand_ins=$(cd "$(dirname "$0")" && pwd)/driver_stand_ins
# shellcheck source=tests/checks.sh
. "$(dirname "$0")/../checks.sh"

# The driver beside the stand-ins of driver_stand_ins/, which fail as
# ZARA_STUB_FAIL says (see stand_in.sh there).
make_tree() {
  local tree=$1
  rm -rf "$tree" && mkdir -p "$tree"
  cp -r "$stand_ins/." "$tree"
  cp "$driver" "$(dirname "$driver")/build-preset" "$tree/tools/"
}

# Runs the driver in its tree; sets status and closing (its last line).
run_driver() {  # 32-bit code runs (yes/no), ZARA_I686_IN_GUEST, stub failures
  local tree=$work/tree
  make_tree "$tree"
  export ZARA_STUB_CALLS=$work/calls ZARA_STUB_X86_32=$1 ZARA_I686_IN_GUEST=$2 ZARA_STUB_FAIL=$3
  : >"$ZARA_STUB_CALLS"
  status=0
  PATH=$tree/bin:$PATH "$tree/tools/test.sh" >"$work/out" 2>&1 </dev/null || status=$?
  closing=$(tail -n 1 "$work/out")
}

ran() { grep -qxF "$1" "$work/calls"; }
did_not_run() { ! ran "$1"; }

mkdir -p "$work"
unset WINEARCH WINEPREFIX
# 32-bit code runs | ZARA_I686_IN_GUEST | stand-ins that fail | exit status | closing line
cases=(
  "yes|||0|all suites: 16 passed, 0 failed"
  "no|||0|all suites: 33 passed, 0 failed"
  "yes|1||0|all suites: 33 passed, 0 failed"
  "no||ctest:windows-x64|1|all suites: 32 passed, 1 failed"
  "yes||ctest:windows|1|all suites: 15 passed, 1 failed"
  "no||guest|1|all suites: 18 passed, 1 failed"
  "yes|1|guest|1|all suites: 18 passed, 1 failed"
  "yes||crash:windows|1|all suites: 13 passed, 1 failed"
  "no||build:windows|1|all suites: 13 passed, 1 failed"
  "yes||build:native|1|all suites: 13 passed, 1 failed"
  "no||crash:tsan|1|all suites: 30 passed, 1 failed"
  "yes||names platform layers shellcheck|1|all suites: 12 passed, 4 failed"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r x86_32 in_guest failing expected_status expected_closing <<<"$entry"
  what="32-bit code runs: $x86_32${in_guest:+, ZARA_I686_IN_GUEST=$in_guest}, failing: ${failing:-nothing}"
  run_driver "$x86_32" "$in_guest" "$failing"
  check "$what: exit status $expected_status" [ "$status" -eq "$expected_status" ]
  check "$what: closing line '$expected_closing'" [ "$closing" = "$expected_closing" ]
done

# The paths themselves: the i686 suite under 32-bit Wine where it runs, else
# its static checks here and the rest in the emulated machine; the x86_64
# suite under wine64 on both.
run_driver yes '' ''
check "32-bit code runs: the windows suite runs under 32-bit Wine" ran "ctest --preset windows under win32"
check "32-bit code runs: no emulated machine" did_not_run i686-tests
check "the windows-x64 suite runs under wine64" ran "ctest --preset windows-x64 under win64"
run_driver no '' ''
check "no 32-bit code: the static checks run here" ran "ctest --preset windows -L static under no Wine"
check "no 32-bit code: the rest runs in the emulated machine" ran i686-tests

checks_summary
