#!/usr/bin/env bash
# Builds export_convention_test.cpp with sntpquery's thunk for 32-bit Linux
# and runs it: natively where this machine executes 32-bit code, else under
# qemu-i386. Exit 77 (skipped) when neither a 32-bit compiler nor a way to run
# the result is at hand.   export_convention_test.sh WORKDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$1
mkdir -p "$work"
if ! g++ -m32 -static -no-pie -fno-pie -O2 -std=c++20 -I"$root" \
     "$root/tests/sntp/library/export_convention_test.cpp" "$root/tools/sntpquery/register_call_i686.S" \
     -o "$work/export_convention_test" 2>"$work/compile.log"; then
  echo "SKIP: no 32-bit x86 compiler here (g++-multilib):"; head -n 5 "$work/compile.log"
  exit 77
fi
if "$root/tools/can-run-x86-32"; then
  exec "$work/export_convention_test"
elif command -v qemu-i386-static >/dev/null; then
  exec qemu-i386-static "$work/export_convention_test"
fi
echo "SKIP: this machine cannot run 32-bit x86 code and has no qemu-i386-static"
exit 77
