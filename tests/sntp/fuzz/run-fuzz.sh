#!/usr/bin/env bash
# Fuzzes the reply decoder and the reply checks for SECONDS (default 60) with
# libFuzzer, ASan and UBSan: builds the fuzz preset into build/sntp-fuzz (or
# $BUILD_DIR), starts from the kept corpus (left unchanged) and writes new
# inputs to a work folder there. A finding stops the run with a non-zero
# status and leaves its input in build/sntp-fuzz/findings/; once the fault is
# mended, keep the input in corpus/ so that every test run replays it.
#   tests/sntp/fuzz/run-fuzz.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${BUILD_DIR:-$root/build/sntp-fuzz}
work=$build/corpus
findings=$build/findings

cd "$root"
mkdir -p "$build" "$work" "$findings"
cmake --preset fuzz -B "$build" >"$build/configure.log" 2>&1 || { tail -n 30 "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 --target sntp_reply_fuzzer >"$build/build.log" 2>&1 || { tail -n 40 "$build/build.log"; exit 1; }

echo "fuzzing the reply decoder and checks for $seconds s; new inputs in $work, findings in $findings"
"$build/bin/sntp_reply_fuzzer" "$work" "$here/corpus" \
  -max_total_time="$seconds" -max_len=100 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$findings/" -print_final_stats=1
