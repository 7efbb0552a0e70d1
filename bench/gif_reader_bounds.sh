#!/usr/bin/env bash
# The picture reader's bounds on files of many frames, in a 32-bit build as
# the wizard runs: the memory a picture of 4 MiB of empty 1 x 1 frames takes,
# and the time a copy of a picture of 5,000, 10,000 and 20,000 frames takes
# (gif_reader_bounds.cpp).
#
#   bench/gif_reader_bounds.sh
#
# Needs g++ with 32-bit support (g++-multilib); the heap is counted by
# glibc's mallinfo2.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/gif-reader-bounds
mkdir -p "$build"
sources=(bench/gif_reader_bounds.cpp quickintro/gif/{bitmap_file,code_reader,dib_writer,gif_image,gif_parser,lzw_decoder,pixel_writer}.cpp)
g++ -m32 -std=c++20 -O2 -DNDEBUG -fno-tree-slp-vectorize -I. "${sources[@]}" -o "$build/gif_reader_bounds32" ||
  { echo "gif_reader_bounds.sh: no 32-bit build (is g++-multilib installed?)" >&2; exit 1; }
"$build/gif_reader_bounds32"
