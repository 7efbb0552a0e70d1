#!/usr/bin/env bash
# Static checks of the shipped binaries, run without executing them:
# SNTP.dll and sntpquery.exe import system DLLs only (the C++ runtime, libgcc
# and winpthread are linked in), declare Windows Vista (6.0) as the oldest
# system they run on and import nothing newer (tests/support/
# newer_than_vista_imports.txt), and SNTP.dll exports exactly QueryServer @1,
# SNTPCleanUp @2, isConnected @3 and setLoopFunction @4.
#   dll_static_check.sh OBJDUMP SNTP.dll sntpquery.exe
set -euo pipefail
objdump=$1
dll=$2
exe=$3
newer_than_vista=$(sed -n 's/^\([A-Za-z0-9_]\{1,\}\) .*/\1/p' "$(dirname "$0")/../support/newer_than_vista_imports.txt")
status=0
fail() { echo "FAILED: $*"; status=1; }

# "os 6.0 subsystem 6.0" from the PE optional header.
declared_versions() {
  "$objdump" -p "$1" | awk '
    { field[$1] = $2 }
    END { printf "os %s.%s subsystem %s.%s", field["MajorOSystemVersion"], field["MinorOSystemVersion"],
            field["MajorSubsystemVersion"], field["MinorSubsystemVersion"] }'
}

# The names of the functions imported by name, one a line.
imported_functions() {
  "$objdump" -p "$1" | awk '
    /^\tDLL Name: / { table = 1; next }
    table && /^\t[0-9a-f]+\t +[0-9]+  [^ ]+$/ { print $3; next }
    NF == 0 { table = 0 }'
}

for binary in "$dll" "$exe"; do
  versions=$(declared_versions "$binary")
  if [ "$versions" = "os 6.0 subsystem 6.0" ]; then
    echo "ok: $(basename "$binary") declares $versions"
  else
    fail "$(basename "$binary") declares $versions, not os 6.0 subsystem 6.0 (Windows Vista)"
  fi
  functions=$(imported_functions "$binary")
  [ -n "$functions" ] || fail "$(basename "$binary"): no imported functions found"
  newer=$(grep -Fx -e "$newer_than_vista" <<<"$functions" | tr "\n" " ") || true
  if [ -z "$newer" ]; then
    echo "ok: $(basename "$binary") imports nothing newer than Windows Vista"
  else
    fail "$(basename "$binary") imports functions newer than Windows Vista: $newer"
  fi
done

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
