#!/usr/bin/env bash
# Runs every test: the platform-free code natively under ASan, UBSan and TSan;
# the Windows code under Wine and Xvfb, end to end against chrony included;
# the naming style of CONTRIBUTING.md.
# The shipped binaries are i686; where this machine cannot execute 32-bit x86
# code, they run under 32-bit Wine in an emulated machine (tools/i686-tests.sh),
# and the same sources built for x86_64 run the Windows tests under wine64 here
# as well, as the fast stand-in.
# Installs missing packages first (as root). Exit status 0 only if all passed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/setup.sh || exit 1

log=$root/build/test-summary.log
mkdir -p build && : >"$log"
status=0

build() {  # preset: configure and build, logs in build/
  echo "== $1: configure and build"
  if ! cmake --preset "$1" >"build/$1-configure.log" 2>&1; then
    tail -n 40 "build/$1-configure.log"; return 1
  fi
  if ! cmake --build --preset "$1" >"build/$1-build.log" 2>&1; then
    tail -n 60 "build/$1-build.log"; return 1
  fi
}

run_tests() {  # preset, then extra ctest arguments
  local preset=$1; shift
  echo "== $preset: tests"
  ctest --preset "$preset" "$@" 2>&1 | tee -a "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}

# The i686 suite in an emulated machine. A guest that cannot boot or a run
# that hangs counts as one failed test in the closing line.
run_i686_in_guest() {
  echo "== windows: tests in an emulated 32-bit x86 machine (tools/i686-tests.sh)"
  local guest_log=$root/build/i686-guest.log
  tools/i686-tests.sh 2>&1 | tee "$guest_log" | tee -a "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] && return 0
  grep -q 'tests failed out of' "$guest_log" || echo "== i686 guest run: 0 passed, 1 failed" | tee -a "$log"
  return 1
}

# The naming style of CONTRIBUTING.md, read from the native and the x86_64
# Windows builds' compile commands; one check in the closing line.
check_names() {
  echo "== names: tools/check-names.sh"
  if tools/check-names.sh; then
    echo "== names: 1 passed, 0 failed" | tee -a "$log"
  else
    echo "== names: 0 passed, 1 failed" | tee -a "$log"
    return 1
  fi
}

with_wine() {  # prefix dir, 32|64, then the command
  local prefix=$1 bits=$2; shift 2
  ( . tools/wine-env.sh "$prefix" "$bits"; trap zara_wine_stop EXIT; "$@" ) || status=1
}

build native && run_tests native || status=1
build tsan && run_tests tsan || status=1
build windows-x64 && with_wine "$root/build/windows-x64/wineprefix" 64 run_tests windows-x64 || status=1
check_names || status=1
# ZARA_I686_IN_GUEST=1 takes the emulated machine even where this one executes
# 32-bit code, to try or measure that path.
if build windows; then
  if tools/can-run-x86-32 && [ "${ZARA_I686_IN_GUEST:-}" != 1 ]; then
    with_wine "$root/build/windows/wineprefix" 32 run_tests windows
  else
    echo "== windows: static checks here, the rest in an emulated machine (no 32-bit x86 mode here, or ZARA_I686_IN_GUEST=1)"
    run_tests windows -L static
    run_i686_in_guest || status=1
  fi
else
  status=1
fi

# One closing line over all suites: CTest's, and the checks that report as
# "== NAME: N passed, N failed".
awk '/tests passed, [0-9]+ tests failed out of/ { total += $NF; failed += $(NF-5) }
     /^== .*: [0-9]+ passed, [0-9]+ failed$/ { total += $(NF-3) + $(NF-1); failed += $(NF-1) }
     END { printf "all suites: %d passed, %d failed\n", total - failed, failed }' "$log"
exit $status
