#!/usr/bin/env bash
# Reading and decoding the wizard's eleven layout pictures (quickintro/art/*.gif)
# natively: the wizard's own reader (gifdecode --repeat), against giflib and
# Pillow decoding the same files in the same run. Each reader decodes every
# picture ROUNDS times in one process; a trial is the time for all eleven
# pictures that many times, and the figure is the median of TRIALS trials,
# given per set of eleven pictures in CPU time.
#
#   bench/gif_reader.sh [ROUNDS [TRIALS]]     defaults: 200 rounds, 5 trials
#
# Then the wizard's start-up under Wine (bench/wizard_first_paint.sh, on
# QUICKINTRO_EXE or build/windows-x64's quickintro.exe when one is built):
# its time to first paint, with every picture decoded at load.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${1:-200}
trials=${2:-5}
build=$root/build/gif-reader-bench
art=$root/quickintro/art
pictures=("$art"/*.gif)

echo "== building gifdecode (Release) in $build"
mkdir -p "$build"
cmake --preset native -B "$build" -DCMAKE_BUILD_TYPE=Release -DZARA_SANITIZE=OFF >"$build/configure.log" 2>&1 ||
  { tail -n 30 "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 --target gifdecode >"$build/build.log" 2>&1 || { tail -n 30 "$build/build.log"; exit 1; }

# giflib: open, read all blocks and decode every frame, ROUNDS times a file.
cat >"$build/giflib_decode.c" <<'EOF'
#include <gif_lib.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) {
  int rounds = atoi(argv[1]);
  for (int i = 2; i < argc; ++i) {
    for (int r = 0; r < rounds; ++r) {
      int error = 0;
      GifFileType* gif = DGifOpenFileName(argv[i], &error);
      if (!gif || DGifSlurp(gif) != GIF_OK) { fprintf(stderr, "giflib cannot read %s\n", argv[i]); return 1; }
      DGifCloseFile(gif, &error);
    }
  }
  return 0;
}
EOF
cc -O2 -o "$build/giflib_decode" "$build/giflib_decode.c" -lgif

cat >"$build/pillow_decode.py" <<'EOF'
import sys
from PIL import Image
rounds = int(sys.argv[1])
for path in sys.argv[2:]:
    for _ in range(rounds):
        with Image.open(path) as image:
            image.load()
EOF

ours() {
  local picture
  for picture in "${pictures[@]}"; do
    "$build/bin/gifdecode" --repeat "$rounds" "$picture" "$build/last.bmp"
  done
}
giflib() { "$build/giflib_decode" "$rounds" "${pictures[@]}"; }
pillow() { /usr/bin/python3 "$build/pillow_decode.py" "$rounds" "${pictures[@]}"; }

# Prints the median of TRIALS timings of a command, in microseconds of CPU
# time (user and system) per set: on a machine shared with other work the
# wall clock mostly measures the others.
median_per_set() {
  local times=() cpu
  for ((t = 0; t < trials; ++t)); do
    cpu=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | tail -n 1)
    times+=("$(awk -v rounds="$rounds" '{ printf "%d", ($1 + $2) * 1000000 / rounds }' <<<"$cpu")")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((trials + 1) / 2))p"
}

echo "== ${#pictures[@]} pictures, $(cat "${pictures[@]}" | wc -c) bytes; $rounds rounds a trial, median of $trials trials"
printf '%-22s %12s\n' "reader" "CPU us per set"
for reader in ours giflib pillow; do
  printf '%-22s %12s\n' "$reader" "$(median_per_set "$reader")"
done

exe=${QUICKINTRO_EXE:-$root/build/windows-x64/bin/quickintro.exe}
if [ -x bench/wizard_first_paint.sh ] && [ -f "$exe" ]; then
  echo "== the wizard's time to first paint, with its pictures, under Wine ($exe)"
  bench/wizard_first_paint.sh "$exe"
fi
