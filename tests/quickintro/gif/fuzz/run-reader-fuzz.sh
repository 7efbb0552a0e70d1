#!/usr/bin/env bash
# Runs the picture reader's fuzz target (libFuzzer, ASan, UBSan) for a set
# time, starting from the kept corpus (reader_corpus/, left unchanged: what
# the run finds goes to a work folder in the build tree).
#
#   tests/quickintro/gif/fuzz/run-reader-fuzz.sh [SECONDS [MAX_BYTES]]
#
# SECONDS defaults to 600; inputs are at most MAX_BYTES long (default 8192).
# A run with inputs of a few megabytes (4194304) reaches files of many
# thousand frames, where a picture's memory and the time its copies take
# grow with the frame count; such inputs are born large (-len_control=0) and
# take a second or more each.
#
# Builds in build/fuzz-reader (the fuzz preset: clang, ZARA_FUZZ=ON). Exit
# status 0 when the time ran out without a finding; a finding leaves its
# input in build/fuzz-reader/findings/ and makes the status non-zero.
# Frames of every declared size are decoded, under a memory cap: the largest
# bitmap the reader may take is 64 MiB, so any single allocation above 80 MB,
# or more than 1 GB in all, is a finding.
# Keep a found input (once fixed) in reader_corpus/ so the corpus test runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../../.." && pwd)
seconds=${1:-600}
max_bytes=${2:-8192}
build=$root/build/fuzz-reader
work=$build/corpus
findings=$build/findings

cd "$root"
mkdir -p "$build"
cmake --preset fuzz -B "$build" >"$build/configure.log" 2>&1 || { tail -n 30 "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 --target quickintro_gif_reader_fuzzer >"$build/build.log" 2>&1 ||
  { tail -n 30 "$build/build.log"; exit 1; }
mkdir -p "$work" "$findings"
cp -n "$root"/tests/quickintro/gif/fuzz/reader_corpus/* "$work"/

large=()
[ "$max_bytes" -le 65536 ] || large=(-len_control=0)
echo "fuzzing the picture reader for $seconds s, inputs up to $max_bytes bytes; new inputs in $work, findings in $findings"
"$build/bin/quickintro_gif_reader_fuzzer" \
  -max_total_time="$seconds" -max_len="$max_bytes" "${large[@]}" -timeout=30 -rss_limit_mb=1024 -malloc_limit_mb=80 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$work"
