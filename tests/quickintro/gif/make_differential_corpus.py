#!/usr/bin/python3
"""Writes a few dozen small GIF pictures made by an independent encoder
(Pillow) into a folder, for the differential test of the picture reader:
sizes from 1 x 1 up, 2 to 256 colours, interlaced and not, transparent,
animated with local colour tables, loops and comments.

Usage: make_differential_corpus.py OUTPUT_FOLDER
"""
import os
import random
import sys

from PIL import Image, ImageDraw


def shaded(width, height, colours, rng):
    """A picture with gradients, shapes and some noise, reduced to a palette."""
    image = Image.new("RGB", (width, height))
    pixels = image.load()
    for y in range(height):
        for x in range(width):
            pixels[x, y] = ((x * 255) // max(width - 1, 1), (y * 255) // max(height - 1, 1),
                            rng.randrange(256) if rng.random() < 0.2 else (x * y) % 256)
    draw = ImageDraw.Draw(image)
    for _ in range(3):
        x0, y0 = rng.randrange(width), rng.randrange(height)
        draw.ellipse((x0, y0, x0 + width // 3, y0 + height // 3), fill=(rng.randrange(256), 0, 200))
    reduced = image.quantize(colors=colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    # Exactly `colours` entries, so that the file's table has that size.
    palette = reduced.getpalette()[: 3 * colours]
    reduced.putpalette(palette + [0] * (3 * colours - len(palette)))
    return reduced


def still_pictures(folder, rng):
    sizes = [(1, 1), (3, 5), (9, 7), (17, 13), (64, 48), (200, 7), (5, 120), (33, 33)]
    colour_counts = [2, 4, 16, 256]
    count = 0
    for index, (width, height) in enumerate(sizes):
        for colours in colour_counts:
            image = shaded(width, height, colours, rng)
            options = {"interlace": index % 3 != 0}
            if index % 4 == 1:
                options["transparency"] = rng.randrange(min(colours, len(image.getpalette()) // 3))
            if index % 5 == 2:
                options["comment"] = b"made for the differential test"
            image.save(os.path.join(folder, f"still_{width}x{height}_{colours}.gif"), **options)
            count += 1
    return count


def animations(folder, rng):
    count = 0
    for number, (width, height, frames) in enumerate([(16, 16, 3), (40, 30, 4), (7, 3, 2), (90, 60, 3)]):
        images = [shaded(width, height, [4, 16, 64, 256][(number + i) % 4], rng) for i in range(frames)]
        images[0].save(os.path.join(folder, f"animated_{number}.gif"), save_all=True, append_images=images[1:],
                       loop=number, duration=[20 + 10 * i for i in range(frames)],
                       disposal=[i % 3 for i in range(frames)], transparency=1, interlace=number % 2 == 1,
                       optimize=False)
        count += 1
    return count


def two_entry_tables(folder, rng):
    """Pillow writes at least 4 table entries. A picture of two colours is
    still valid with its table cut to 2 entries (the code size stays 2), so
    Pillow's files are cut so to reach the 1-bit path of a reader."""
    count = 0
    for width, height, interlace in [(13, 9, False), (40, 33, True), (1, 70, False)]:
        image = shaded(width, height, 2, rng)
        path = os.path.join(folder, f"two_entries_{width}x{height}.gif")
        image.save(path, interlace=interlace)
        data = bytearray(open(path, "rb").read())
        flags = data[10]
        if flags & 0x80 and flags & 0x07 == 1:  # a global table of 4 entries
            data[10] = flags & ~0x07
            del data[13 + 6:13 + 12]
            open(path, "wb").write(bytes(data))
            count += 1
    return count


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(7)
    total = still_pictures(folder, rng) + animations(folder, rng) + two_entry_tables(folder, rng)
    print(f"{total} pictures in {folder}")


if __name__ == "__main__":
    main()
