#!/usr/bin/python3
"""Makes the frames of the frame-decoding bench, each a one-frame GIF file
written by another program than ours: Pillow, ImageMagick's convert, and
giflib's gif2rgb. The pictures are drawn here, the same every time; each
program then encodes its own LZW stream, which is what the bench decodes.

    make_bench_frames.py OUTPUT_FOLDER

Prints one line per frame: its name, size, colour bits, and who wrote it.
"""
import os
import random
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops, ImageDraw, ImageFilter

CONVERT = "/usr/bin/convert"  # ImageMagick's own, not a stand-in earlier on PATH
GIF2RGB = "/usr/bin/gif2rgb"


def photo(width, height, colours, seed):
    """Smooth shading, texture and grain, reduced with dithering like a
    photograph made into a GIF: short strings."""
    rng = random.Random(seed)
    planes = []
    for _ in range(3):
        gradient = Image.linear_gradient("L").rotate(rng.randrange(360), expand=True)
        gradient = gradient.resize((width, height), Image.Resampling.BILINEAR)
        blobs = Image.effect_noise((max(2, width // 64), max(2, height // 64)), 60)
        blobs = blobs.resize((width, height), Image.Resampling.BICUBIC)
        planes.append(Image.blend(gradient, blobs, 0.45))
    image = Image.merge("RGB", planes)
    grain = Image.effect_noise((width, height), 6).convert("RGB")
    image = ImageChops.add(image, grain, 1.0, -128)
    return image.quantize(colors=colours, dither=Image.Dither.FLOYDSTEINBERG)


def shapes(width, height, colours, count, seed, background=0):
    """Rectangles and discs of plain colours painted over each other: long runs."""
    rng = random.Random(seed)
    image = Image.new("P", (width, height), background)
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)] + [0] * (3 * (256 - colours)))
    draw = ImageDraw.Draw(image)
    for _ in range(count):
        x, y = rng.randrange(width), rng.randrange(height)
        radius = 4 + rng.randrange(max(1, width // 6))
        box = (x - radius, y - radius, x + radius, y + radius)
        (draw.ellipse if rng.random() < 0.5 else draw.rectangle)(box, fill=rng.randrange(colours))
    return image


def one_colour_runs(width, height, seed):
    """A page of one colour with a few thin lines and small marks on it:
    rows that are one run from end to end."""
    rng = random.Random(seed)
    image = Image.new("P", (width, height), 0)
    image.putpalette([255, 255, 255, 0, 0, 0, 200, 30, 30, 30, 30, 200] + [0] * (3 * 252))
    draw = ImageDraw.Draw(image)
    for _ in range(12):
        y = rng.randrange(height)
        draw.line((rng.randrange(width // 4), y, width - 1 - rng.randrange(width // 4), y), fill=rng.randrange(1, 4))
    for _ in range(20):
        x, y = rng.randrange(width), rng.randrange(height)
        draw.rectangle((x, y, x + rng.randrange(2, 9), y + rng.randrange(2, 9)), fill=rng.randrange(1, 4))
    return image


def noise(width, height, colours, seed):
    """Independent random indices: almost every code stands for one or two pixels."""
    rng = random.Random(seed)
    image = Image.frombytes("P", (width, height), bytes(rng.randrange(colours) for _ in range(width * height)))
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)])
    return image


def save_with_pillow(image, path, interlace):
    image.save(path, interlace=interlace, optimize=False)


def save_with_imagemagick(image, path, interlace):
    with tempfile.TemporaryDirectory() as work:
        png = os.path.join(work, "frame.png")
        image.save(png)
        subprocess.run([CONVERT, png, "+dither", "-interlace", "GIF" if interlace else "None", path], check=True)


def save_with_giflib(image, path, interlace):
    """gif2rgb reads RGB triplets and writes a GIF of 2^bits colours to its output."""
    assert not interlace, "gif2rgb writes no interlaced frames"
    colours = len(set(image.getdata()))
    bits = max(1, (colours - 1).bit_length())
    with tempfile.TemporaryDirectory() as work:
        rgb = os.path.join(work, "frame.rgb")
        with open(rgb, "wb") as out:
            out.write(image.convert("RGB").tobytes())
        with open(path, "wb") as gif:
            subprocess.run([GIF2RGB, "-c", str(bits), "-s", str(image.width), str(image.height), "-1", rgb],
                           check=True, stdout=gif)


WRITERS = {"Pillow": save_with_pillow, "ImageMagick": save_with_imagemagick, "giflib": save_with_giflib}

# name, writer, interlaced, picture
FRAMES = [
    ("photo-393x210", "Pillow", False, lambda: photo(393, 210, 256, 1)),
    ("flat-400x200", "ImageMagick", False, lambda: shapes(400, 200, 24, 14, 2)),
    ("photo-1024x768", "ImageMagick", False, lambda: photo(1024, 768, 256, 3)),
    ("flat-1024x768", "Pillow", False, lambda: shapes(1024, 768, 256, 60, 4)),
    ("one-colour-1024x768", "giflib", False, lambda: one_colour_runs(1024, 768, 5)),
    ("two-colour-1024x768", "giflib", False, lambda: shapes(1024, 768, 2, 60, 6)),
    ("noise-1024x768", "Pillow", False, lambda: noise(1024, 768, 256, 7)),
    ("interlaced-1024x768", "ImageMagick", True, lambda: photo(1024, 768, 16, 8)),
    ("photo-4000x3000", "Pillow", False, lambda: photo(4000, 3000, 256, 9)),
]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, writer, interlace, draw in FRAMES:
        path = os.path.join(folder, name + ".gif")
        WRITERS[writer](draw(), path, interlace)
        with open(path, "rb") as written:
            header = written.read(13)
        width, height = int.from_bytes(header[6:8], "little"), int.from_bytes(header[8:10], "little")
        print(f"{name:<22} {width}x{height}, {(header[10] & 7) + 1} colour bits, "
              f"{'interlaced, ' if interlace else ''}written by {writer}")


if __name__ == "__main__":
    main()
