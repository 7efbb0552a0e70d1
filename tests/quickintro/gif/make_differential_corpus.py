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
    """Gradients, an ellipse and some noise, reduced to exactly `colours` entries."""
    image = Image.new("RGB", (width, height))
    for y in range(height):
        for x in range(width):
            noise = rng.randrange(256) if rng.random() < 0.2 else (x * y) % 256
            image.putpixel((x, y), (x * 255 // max(width - 1, 1), y * 255 // max(height - 1, 1), noise))
    ImageDraw.Draw(image).ellipse((width // 4, height // 4, width // 2, height // 2), fill=(200, 0, 90))
    reduced = image.quantize(colors=colours, dither=Image.Dither.NONE)
    palette = reduced.getpalette()[: 3 * colours]
    reduced.putpalette(palette + [0] * (3 * colours - len(palette)))
    return reduced


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(7)
    for index, (width, height) in enumerate([(1, 1), (3, 5), (9, 7), (17, 13), (64, 48), (200, 7), (5, 120), (33, 33)]):
        for colours in (2, 4, 16, 256):
            options = {"interlace": index % 3 != 0}  # Pillow interlaces pictures of 16 rows and more
            if index % 4 == 1:
                options["transparency"] = rng.randrange(colours)
            if index % 5 == 2:
                options["comment"] = b"made for the differential test"
            shaded(width, height, colours, rng).save(os.path.join(folder, f"still_{width}x{height}_{colours}.gif"), **options)
    for number, (width, height, count) in enumerate([(16, 16, 3), (40, 30, 4), (7, 3, 2), (90, 60, 3)]):
        frames = [shaded(width, height, [4, 16, 64, 256][(number + i) % 4], rng) for i in range(count)]
        frames[0].save(os.path.join(folder, f"animated_{number}.gif"), save_all=True, append_images=frames[1:],
                       loop=number, duration=[20 + 10 * i for i in range(count)], disposal=[i % 3 for i in range(count)],
                       transparency=1, interlace=number % 2 == 1, optimize=False)
    # Pillow writes at least 4 table entries; a two-colour picture stays valid
    # with its table cut to 2 (the code size stays 2), the 1-bit path of a reader.
    for width, height, interlace in [(13, 9, False), (40, 33, True), (1, 70, False)]:
        path = os.path.join(folder, f"two_entries_{width}x{height}.gif")
        shaded(width, height, 2, rng).save(path, interlace=interlace)
        data = bytearray(open(path, "rb").read())
        if data[10] & 0x87 == 0x81:  # a global table of 4 entries
            data[10] &= ~0x07
            del data[13 + 6:13 + 12]
            open(path, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
