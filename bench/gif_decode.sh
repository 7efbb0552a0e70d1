#!/usr/bin/env bash
# Frame decoding throughput: the wizard's decoder against Wuffs, giflib and
# Pillow on the same GIF files, measured side by side in one run, median of
# ROUNDS. The frames are written by other programs (Pillow, ImageMagick,
# giflib; bench/make_bench_frames.py): small and large photographs, flat
# pictures, long runs of one colour, two colours, noise, an interlaced one.
#
#   [WUFFS_DIR=FOLDER] bench/gif_decode.sh [ROUNDS]        default 5
#
# WUFFS_DIR names the folder of Wuffs' wuffs-unsupported-snapshot.c; without
# it the bench runs without that peer and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
build=$PWD/build/gifdec-bench
mkdir -p "$(dirname "$build")"

tools/setup.sh >/dev/null
wuffs_dir=${WUFFS_DIR:-}
if [ -n "$wuffs_dir" ]; then
  [ -f "$wuffs_dir/wuffs-unsupported-snapshot.c" ] ||
    { echo "gif_decode.sh: WUFFS_DIR: no wuffs-unsupported-snapshot.c in $wuffs_dir" >&2; exit 2; }
  wuffs_dir=$(cd "$wuffs_dir" && pwd)
fi
echo "== building gif_decode_bench (preset bench) in $build, Wuffs: ${wuffs_dir:-missing}"
cmake --preset bench -B "$build" -DZARA_WUFFS_DIR="$wuffs_dir" >"$build.configure.log" 2>&1 ||
  { tail -n 30 "$build.configure.log"; exit 1; }
cmake --build "$build" -j2 --target gif_decode_bench >"$build.build.log" 2>&1 || { tail -n 40 "$build.build.log"; exit 1; }

echo "== CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "== writing the frames into $build/gif-frames"
/usr/bin/python3 bench/make_bench_frames.py "$build/gif-frames" >"$build/gif-frames.log"
cat "$build/gif-frames.log"
frames=()
while read -r name _; do frames+=("$build/gif-frames/$name.gif"); done <"$build/gif-frames.log"
/usr/bin/python3 bench/gif_decode_compare.py "$build/bin/gif_decode_bench" "$rounds" "${frames[@]}"
