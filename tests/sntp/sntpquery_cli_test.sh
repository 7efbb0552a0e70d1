#!/usr/bin/env bash
# sntpquery.exe's command line: help, usage errors, the result line of a
# query that fails at once, its timing and trace lines, output that cannot be written,
# repeats with clean-up, and a missing SNTP.dll.
#   sntpquery_cli_test.sh EMULATOR SNTPQUERY.EXE WORKDIR
set -euo pipefail
run=$1
exe=$2
work=$3
status=0
fail() { echo "FAILED: $*"; status=1; }

# Runs sntpquery with the arguments; sets out and code.
query() {
  code=0
  "$run" "$exe" "$@" >"$work/out" 2>"$work/err" </dev/null || code=$?
  out=$(tr -d '\r' <"$work/out")
}

expect_code() {  # expected code, description
  if [ "$code" -eq "$1" ]; then echo "ok: $2"; else fail "$2: exit $code, expected $1"; cat "$work/err"; fi
}

rm -rf "$work" && mkdir -p "$work"

query --help
expect_code 0 "--help"
grep -q '^usage: sntpquery' <<<"$out" || fail "--help prints the usage"

for args in "" "--repeat" "--repeat 0" "--repeat x 256.1.1.1" "--frobnicate 256.1.1.1"; do
  # shellcheck disable=SC2086
  query $args
  expect_code 64 "usage error for '$args'"
  grep -q 'usage: sntpquery' "$work/err" || fail "usage error for '$args' explains on stderr"
done

line='256.1.1.1: code 3 Resolve Error, offset -1000.0000000000 days (-86400000.000000 s)'
query 256.1.1.1
expect_code 3 "a bad address exits with code 3"
[ "$(grep -v '^connected: ' <<<"$out")" = "$line" ] || fail "result line: '$out'"
grep -Eq '^connected: (yes|no)$' <<<"$out" || fail "connected line: '$out'"

query --timing 256.1.1.1
expect_code 3 "--timing"
grep -Eq '^256\.1\.1\.1: QueryServer took [0-9]+\.[0-9]{3} ms \(system clock [0-9.]+ to [0-9.]+\)$' <<<"$out" ||
  fail "timing line: '$out'"

# The library's debug output, caught as a debug output viewer does.
query --trace 256.1.1.1
expect_code 3 "--trace"
grep -q '^256\.1\.1\.1: SNTP > no address for 256\.1\.1\.1$' <<<"$out" || fail "trace lines: '$out'"

# Results that cannot be written are a failure of their own.
code=0
"$run" "$exe" 256.1.1.1 >/dev/full 2>"$work/err" </dev/null || code=$?
expect_code 74 "output to a full device"

query --repeat 2 --cleanup "" 256.1.1.1
expect_code 3 "repeat with clean-up"
[ "$(grep -c 'code 3 Resolve Error' <<<"$out")" -eq 4 ] || fail "two rounds of two servers: '$out'"

# Alone in a folder, the program finds no SNTP.dll.
cp "$exe" "$work/alone.exe"
code=0
"$run" "$work/alone.exe" 256.1.1.1 >"$work/out" 2>"$work/err" </dev/null || code=$?
expect_code 69 "no SNTP.dll beside the program"
grep -q 'SNTP.dll' "$work/err" || fail "the missing library is named on stderr"

exit $status
