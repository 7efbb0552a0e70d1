#!/usr/bin/python3
"""Frame decoding throughput of the wizard's decoder, Wuffs, giflib and
Pillow on the same GIF frames, in megapixels per second of CPU time.

    gif_decode_compare.py BENCH_PROGRAM ROUNDS FRAME.gif...

BENCH_PROGRAM (gif_decode_bench) checks that it, giflib and Wuffs (when built
in) give the same indices for every frame, and times them; Pillow is timed
here, in this process, on the very same files. Within a round the program
times every decoder on every frame REPETITIONS times in a random order, so
that a burst of load on a shared machine falls on all of them alike, and
gives the median of each; rounds alternate between it and Pillow. Each figure
is the median over the rounds, and so is each ratio (ours over the other in
the same round).
"""
import io
import json
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image

MIN_SECONDS = 0.4  # Pillow's timing of one frame
REPETITIONS = 5
REPETITION_SECONDS = 0.08


def run_native(program, frames, first):
    with tempfile.TemporaryDirectory() as work:
        out = pathlib.Path(work) / "native.json"
        output = subprocess.run(
            [program, *frames, f"--benchmark_min_time={REPETITION_SECONDS}",
             f"--benchmark_repetitions={REPETITIONS}", "--benchmark_enable_random_interleaving=true",
             "--benchmark_report_aggregates_only=true",
             f"--benchmark_out={out}", "--benchmark_out_format=json"],
            check=True, capture_output=True, text=True).stdout
        if first:
            print("".join(line + "\n" for line in output.splitlines() if "pixels," in line), end="")
        figures = {}
        for bench in json.loads(out.read_text())["benchmarks"]:
            if bench.get("aggregate_name") != "median":
                continue
            decoder, frame = bench["run_name"].split("/")[:2]
            figures[(frame, decoder)] = bench["items_per_second"] / 1e6
    return figures


def time_pillow(data):
    """CPU seconds of one open-and-decode, over enough repetitions."""
    count, start = 0, time.process_time()
    while True:
        with Image.open(io.BytesIO(data)) as image:
            image.load()
        count += 1
        spent = time.process_time() - start
        if spent >= MIN_SECONDS:
            return spent / count


def run_pillow(frames):
    figures = {}
    for path in frames:
        data = pathlib.Path(path).read_bytes()
        with Image.open(io.BytesIO(data)) as image:
            pixels = image.size[0] * image.size[1]
        figures[(pathlib.Path(path).stem, "pillow")] = pixels / time_pillow(data) / 1e6
    return figures


def median_of(samples, frame, decoder):
    values = samples.get((frame, decoder))
    return statistics.median(values) if values else None


def median_ratio(samples, frame, others):
    """Median over the rounds of ours over the fastest of others in that round."""
    rounds = zip(samples[(frame, "ours")], *(samples[(frame, other)] for other in others))
    return statistics.median(ours / max(rest) for ours, *rest in rounds)


def print_table(samples, names, rounds, with_wuffs):
    print(f"\nMpx/s (CPU time), median of {rounds} rounds; Pillow {Image.__version__}")
    print(f"{'frame':<22} {'ours':>8} {'Wuffs':>8} {'giflib':>8} {'Pillow':>8}  {'ours/Wuffs':>10}  ours/best of giflib, Pillow")
    lowest_wuffs = lowest_other = None
    for frame in names:
        figures = [median_of(samples, frame, d) for d in ("ours", "wuffs", "giflib", "pillow")]
        text = [f"{f:8.1f}" if f is not None else f"{'-':>8}" for f in figures]
        versus_others = median_ratio(samples, frame, ("giflib", "pillow"))
        lowest_other = versus_others if lowest_other is None else min(lowest_other, versus_others)
        versus_wuffs = f"{'-':>10}"
        if with_wuffs:
            ratio = median_ratio(samples, frame, ("wuffs",))
            lowest_wuffs = ratio if lowest_wuffs is None else min(lowest_wuffs, ratio)
            versus_wuffs = f"{ratio:10.2f}"
        print(f"{frame:<22} {' '.join(text)}  {versus_wuffs}  {versus_others:5.2f}")
    if with_wuffs:
        print(f"lowest ratio to Wuffs: {lowest_wuffs:.2f}")
    else:
        print("Wuffs: missing (set WUFFS_DIR to the folder of wuffs-unsupported-snapshot.c to time it too)")
    print(f"lowest ratio to the best of giflib and Pillow: {lowest_other:.2f}")


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    program, rounds, frames = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    names = [pathlib.Path(path).stem for path in frames]
    samples = {}
    for round_number in range(rounds):
        for key, value in {**run_native(program, frames, round_number == 0), **run_pillow(frames)}.items():
            samples.setdefault(key, []).append(value)
    print_table(samples, names, rounds, any(decoder == "wuffs" for _, decoder in samples))


if __name__ == "__main__":
    main()
