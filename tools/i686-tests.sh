#!/usr/bin/env bash
# Runs the shipped i686 binaries' Windows tests under 32-bit Wine in an
# emulated x86 machine (tools/guest-run), for hosts that cannot execute 32-bit
# code: CTest of the windows preset, the end-to-end test against chrony
# included, and the wizard's screenshots from the i686 quickintro.exe.
#
#   tools/i686-tests.sh [--timeout SECONDS]
#
# Needs the windows preset built (cmake --preset windows && cmake --build
# --preset windows). Results (screenshots, CTest's log, the kept 32-bit
# prefix) go to build/windows/guest. Exit 0 only if every test passed; a guest
# that cannot boot or a run that hangs fails too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
timeout=3600
case ${1:-} in
  -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
  --timeout) timeout=${2:?}; shift 2 ;;
  "") ;;
  *) echo "i686-tests: unknown argument $1 (see --help)" >&2; exit 64 ;;
esac

build=$root/build/windows
if [ ! -f "$build/CTestTestfile.cmake" ] || [ ! -f "$build/bin/SNTP.dll" ]; then
  echo "i686-tests: no i686 build in $build: cmake --preset windows && cmake --build --preset windows" >&2
  exit 69
fi
results=$build/guest
mkdir -p "$results"

cd "$root" || exit 1
# Three prefixes of ~600 MB live in the guest's memory at the end-to-end test.
exec tools/guest-run --share "$results" --timeout "$timeout" --memory 6144 -- \
  tools/i686-tests-guest.sh "$results"
