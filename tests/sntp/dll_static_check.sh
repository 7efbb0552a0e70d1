#!/usr/bin/env bash
# Static checks of the shipped binaries, run without executing them:
# SNTP.dll and sntpquery.exe import system DLLs only (the C++ runtime, libgcc
# and winpthread are linked in), and SNTP.dll exports exactly QueryServer @1,
# SNTPCleanUp @2, isConnected @3 and setLoopFunction @4.
#   dll_static_check.sh OBJDUMP SNTP.dll sntpquery.exe
set -euo pipefail
objdump=$1
dll=$2
exe=$3
status=0
fail() { echo "FAILED: $*"; status=1; }

[ "$(basename "$dll")" = "SNTP.dll" ] || fail "library file is named $(basename "$dll"), not SNTP.dll"

system_dlls='^(KERNEL32|USER32|GDI32|ADVAPI32|WSOCK32|WS2_32|MSVCRT)\.DLL$'
for binary in "$dll" "$exe"; do
  imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
  [ -n "$imports" ] || fail "$(basename "$binary"): no import table found"
  for name in $imports; do
    if grep -Eq "$system_dlls" <<<"${name^^}"; then
      echo "ok: $(basename "$binary") imports $name"
    else
      fail "$(basename "$binary") imports $name, not a system DLL"
    fi
  done
done

# Name and ordinal of each export: "[ i] Name" lines of the name pointer
# table, i counted from the ordinal base.
exports=$("$objdump" -p "$dll" | awk '
  /^Ordinal Base/ { base = $3 }
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && /^[[:space:]]*\[[[:space:]]*[0-9]+\] [^ ]+$/ {
    gsub(/[][]/, " "); printf "%s@%d ", $2, $1 + base; next }
  names && NF == 0 { names = 0 }')
expected="QueryServer@1 SNTPCleanUp@2 isConnected@3 setLoopFunction@4 "
if [ "$exports" = "$expected" ]; then
  echo "ok: exports $exports"
else
  fail "exports are '$exports', expected '$expected'"
fi
exit $status
