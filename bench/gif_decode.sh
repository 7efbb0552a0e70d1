#!/usr/bin/env bash
# Frame decoding throughput: the wizard's decoder against giflib and Pillow on
# the same generated frames (a 393 x 210 and a 1024 x 768 photo-like frame, a
# flat and a two-colour flat 1024 x 768 frame, an interlaced one and a
# 4000 x 3000 one), measured side by side in one run, median of ROUNDS.
#   bench/gif_decode.sh [ROUNDS]        default 5
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
build=$PWD/build/gifdec-bench
mkdir -p "$(dirname "$build")"

tools/setup.sh >/dev/null
echo "== building gif_decode_bench (preset bench) in $build"
cmake --preset bench -B "$build" >"$build.configure.log" 2>&1 || { tail -n 30 "$build.configure.log"; exit 1; }
cmake --build "$build" -j2 --target gif_decode_bench >"$build.build.log" 2>&1 || { tail -n 40 "$build.build.log"; exit 1; }
/usr/bin/python3 bench/gif_decode_compare.py "$build/bin/gif_decode_bench" "$build/gif-frames" "$rounds"
