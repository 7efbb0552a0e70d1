#!/usr/bin/python3
"""Frame decoding throughput of the wizard's decoder, giflib and Pillow on
the same GIF frames, in megapixels per second of CPU time.

    gif_decode_compare.py BENCH_PROGRAM WORK_DIR [ROUNDS]

BENCH_PROGRAM (gif_decode_bench) makes the frames, checks that it and giflib
decode them exactly, writes them to WORK_DIR and times itself and giflib;
Pillow is timed here, in this process, on the very same files. Rounds
alternate between the two so that both see the same machine load; each
figure is the median over the rounds.
"""
import io
import json
import pathlib
import statistics
import subprocess
import sys
import time

from PIL import Image

MIN_SECONDS = 0.4


def run_native(program, work, first):
    out = work / "native.json"
    output = subprocess.run(
        [program, f"--frames-dir={work}", f"--benchmark_min_time={MIN_SECONDS}",
         f"--benchmark_out={out}", "--benchmark_out_format=json"],
        check=True, capture_output=True, text=True).stdout
    if first:
        print("".join(line + "\n" for line in output.splitlines() if "pixels," in line), end="")
    figures = {}
    for bench in json.loads(out.read_text())["benchmarks"]:
        decoder, frame = bench["name"].split("/")[:2]
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


def run_pillow(work):
    figures = {}
    for path in sorted(work.glob("*.gif")):
        data = path.read_bytes()
        with Image.open(io.BytesIO(data)) as image:
            pixels = image.size[0] * image.size[1]
        figures[(path.stem, "pillow")] = pixels / time_pillow(data) / 1e6
    return figures


def main():
    program, work = sys.argv[1], pathlib.Path(sys.argv[2])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    work.mkdir(parents=True, exist_ok=True)
    samples = {}
    for round_number in range(rounds):
        for key, value in {**run_native(program, work, round_number == 0), **run_pillow(work)}.items():
            samples.setdefault(key, []).append(value)
    frames = sorted({frame for frame, _ in samples}, key=lambda f: list(samples).index((f, "ours")))
    print(f"\nMpx/s (CPU time), median of {rounds} rounds; Pillow {Image.__version__}")
    print(f"{'frame':<22} {'ours':>9} {'giflib':>9} {'Pillow':>9}  ours / best other")
    worst = None
    for frame in frames:
        ours, giflib, pillow = (statistics.median(samples[(frame, d)]) for d in ("ours", "giflib", "pillow"))
        ratio = ours / max(giflib, pillow)
        worst = ratio if worst is None else min(worst, ratio)
        print(f"{frame:<22} {ours:9.1f} {giflib:9.1f} {pillow:9.1f}  {ratio:5.2f}")
    print(f"lowest ratio: {worst:.2f}")


if __name__ == "__main__":
    main()
