#!/usr/bin/env bash
# Runs every test: the platform-free code natively under ASan, UBSan and TSan;
# the Windows code under Wine and Xvfb, end to end against chrony included;
# the naming style of CONTRIBUTING.md and shellcheck over the scripts.
# The shipped binaries are i686; where this machine cannot execute 32-bit x86
# code, they run under 32-bit Wine in an emulated machine (tools/i686-tests.sh),
# and the same sources built for x86_64 run the Windows tests under wine64 here
# as well, as the fast stand-in. ZARA_I686_IN_GUEST=1 takes the emulated
# machine even where this one executes 32-bit code.
#
# Installs missing packages first (as root). Every suite leaves one line
# "== NAME: N passed, N failed" in build/test-summary.log; the closing line
# adds them up, and the exit status is its verdict: 0 only when no suite
# failed and every suite ran.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/setup.sh

mkdir -p build
log=$root/build/test-summary.log
: >"$log"

record() {  # name passed failed
  echo "== $1: $2 passed, $3 failed" | tee -a "$log"
}

# Counts of the passed and the failed tests in a suite's output: CTest's
# "N% tests passed, N tests failed out of N", and "== NAME: N passed, N failed"
# of the checks that CTest does not run.
counts_in() {
  awk '/tests passed, [0-9]+ tests failed out of [0-9]+$/ { total += $NF; failed += $(NF-5) }
       /^== .*: [0-9]+ passed, [0-9]+ failed$/ { total += $(NF-3) + $(NF-1); failed += $(NF-1) }
       END { print total - failed, failed + 0 }' "$1"
}

# suite NAME COMMAND...: a suite whose output counts its tests. A command
# that fails with no failure counted, or that counts no tests at all, failed
# as a whole: one failed test.
suite() {
  local name=$1 output=$root/build/suite-$1.log status=0 passed=0 failed=0
  shift
  echo "== $name: $*"
  "$@" 2>&1 | tee "$output" || status=$?
  read -r passed failed < <(counts_in "$output")
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
  if [ "$status" -eq 0 ] && [ "$((passed + failed))" -eq 0 ]; then failed=1; fi
  record "$name" "$passed" "$failed"
}

# check NAME COMMAND...: one check, passed when the command exits 0.
check() {
  local name=$1
  shift
  echo "== $name: $*"
  if "$@"; then record "$name" 1 0; else record "$name" 0 1; fi
}

# build PRESET: configures and builds; a failure is one failed check, and
# the caller skips the preset's tests.
build() {
  echo "== $1: configure and build"
  tools/build-preset "$1" || { record "$1 build" 0 1; return 1; }
}

# with_wine PREFIX-DIR 32|64 COMMAND...: the command with Xvfb and a wineserver
# of its own; its exit status is the command's.
with_wine() {
  local prefix=$1 bits=$2
  shift 2
  (
    # shellcheck source=tools/wine-env.sh
    . tools/wine-env.sh "$prefix" "$bits"
    trap zara_wine_stop EXIT
    "$@"
  )
}

if build native; then suite native ctest --preset native; fi
if build tsan; then suite tsan ctest --preset tsan; fi
if build windows-x64; then
  suite windows-x64 with_wine "$root/build/windows-x64/wineprefix" 64 ctest --preset windows-x64
fi
check names tools/check-names.sh
check platform tools/check-platform.sh
check layers tools/check-layers.sh
check shellcheck tools/check-scripts.sh
if build windows; then
  if tools/can-run-x86-32 && [ "${ZARA_I686_IN_GUEST:-}" != 1 ]; then
    suite windows with_wine "$root/build/windows/wineprefix" 32 ctest --preset windows
  else
    echo "== windows: static checks here, the rest in an emulated machine (no 32-bit x86 mode here, or ZARA_I686_IN_GUEST=1)"
    suite windows-static ctest --preset windows -L static
    suite windows-i686-guest tools/i686-tests.sh
  fi
fi

# The closing line and the verdict, from the suites' lines alone.
awk '/^== .*: [0-9]+ passed, [0-9]+ failed$/ { passed += $(NF-3); failed += $(NF-1); suites++ }
     END { printf "all suites: %d passed, %d failed\n", passed, failed; exit !(suites > 0 && failed == 0) }' "$log"
