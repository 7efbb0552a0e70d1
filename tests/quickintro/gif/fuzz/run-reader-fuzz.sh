#!/usr/bin/env bash
# Runs the picture reader's fuzz target (libFuzzer, ASan, UBSan) for a set
# time, starting from the kept corpus (reader_corpus/, left unchanged: what
# the run finds goes to a work folder in the build tree).
#
#   tests/quickintro/gif/fuzz/run-reader-fuzz.sh [SECONDS]    default 600
#
# Exit status 0 when the time ran out without a finding; a finding leaves
# its input in build/fuzz/reader-findings/ and makes the status non-zero.
# Keep a found input (once fixed) in reader_corpus/ so the corpus test runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../../.." && pwd)
seconds=${1:-600}
build=$root/build/fuzz
work=$build/reader-corpus
findings=$build/reader-findings

cd "$root"
cmake --preset fuzz >"$build-configure.log" 2>&1 || { tail -n 30 "$build-configure.log"; exit 1; }
cmake --build --preset fuzz --target quickintro_gif_reader_fuzzer >"$build-reader-build.log" 2>&1 ||
  { tail -n 30 "$build-reader-build.log"; exit 1; }
mkdir -p "$work" "$findings"
cp -n "$root"/tests/quickintro/gif/fuzz/reader_corpus/* "$work"/

echo "fuzzing the picture reader for $seconds s; new inputs in $work, findings in $findings"
"$(find "$build" -name quickintro_gif_reader_fuzzer -type f -perm -u+x | head -n 1)" \
  -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$findings/" "$work"
