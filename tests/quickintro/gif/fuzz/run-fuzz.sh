#!/usr/bin/env bash
# Fuzzes the frame decoder for SECONDS (default 60) with libFuzzer, ASan and
# UBSan: builds the fuzz preset into build/gifdec-fuzz (or $BUILD_DIR), starts
# from the kept corpus, and leaves new inputs in the build directory. A
# finding stops the run with a non-zero status; its input is written to
# build/.../fuzz-findings/ (copy it into corpus/ once the fault is mended).
# Its frames are at most 256 x 128 pixels: a single allocation above 16 MB,
# or more than 1 GB in all, is a finding.
#   tests/quickintro/gif/fuzz/run-fuzz.sh SECONDS
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../../.." && pwd)
build=${BUILD_DIR:-$root/build/gifdec-fuzz}
mkdir -p "$(dirname "$build")"

cd "$root"
cmake --preset fuzz -B "$build" >"$build.configure.log" 2>&1 || { tail -n 30 "$build.configure.log"; exit 1; }
cmake --build "$build" -j2 --target quickintro_gif_fuzzer >"$build.build.log" 2>&1 || { tail -n 40 "$build.build.log"; exit 1; }

work=$build/fuzz-corpus
findings=$build/fuzz-findings
mkdir -p "$work" "$findings"
# New inputs go to the first directory; the kept corpus is only read.
"$build/bin/quickintro_gif_fuzzer" "$work" "$here/corpus" \
  -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=16 \
  -artifact_prefix="$findings/" -print_final_stats=1
