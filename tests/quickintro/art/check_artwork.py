#!/usr/bin/python3
"""Checks the committed wizard artwork: every page picture's GIF header facts
against the wizard's picture table, its pixel data, the cursor and the icon,
and that the generator reproduces the committed bytes exactly.

Usage: check_artwork.py ART_DIR GENERATOR"""

import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

ART_DIR = None
GENERATOR = None

# name: (width, height, version, colour table size, transparent index or None)
PICTURE_TABLE = {
    "MainBkg": (393, 210, b"GIF89a", 256, None),
    "WelcomeBkg": (259, 59, b"GIF89a", 32, None),
    "TrayClockImg": (148, 60, b"GIF89a", 64, 34),
    "DesktopClockImg": (148, 60, b"GIF89a", 64, 33),
    "Image1": (391, 29, b"GIF89a", 64, None),
    "Image4": (179, 207, b"GIF89a", 8, None),
    "Image7": (241, 138, b"GIF89a", 256, 107),
    "Image2": (282, 113, b"GIF89a", 8, None),
    "Image3": (204, 196, b"GIF89a", 8, 1),
    "Image5": (457, 173, b"GIF87a", 32, None),
    "Image6": (370, 112, b"GIF89a", 16, None),
}
OTHER_FILES = ["viduvidiva.cur", "mainicon.ico"]


class GifFacts:
    """What an independent walk over a GIF file finds."""

    def __init__(self, data):
        self.data = data
        self.extensions = []          # (label, payload of the first sub-block)
        self.images = []              # (left, top, width, height, packed, min code size, lzw)
        self.trailer_at = None
        self.version = data[:6]
        self.width, self.height, packed, _, _ = struct.unpack_from("<HHBBB", data, 6)
        self.has_global_table = bool(packed & 0x80)
        self.table_size = 2 << (packed & 7)
        table = data[13:13 + 3 * self.table_size]
        self.palette = [tuple(table[i:i + 3]) for i in range(0, len(table), 3)]
        self._walk(13 + (3 * self.table_size if self.has_global_table else 0))

    def _sub_blocks(self, at):
        chunks = []
        while True:
            length = self.data[at]
            at += 1
            if length == 0:
                return b"".join(chunks), at
            chunks.append(self.data[at:at + length])
            at += length

    def _walk(self, at):
        while at < len(self.data):
            kind = self.data[at]
            if kind == 0x3B:
                self.trailer_at = at
                return
            if kind == 0x21:
                label = self.data[at + 1]
                payload, at = self._sub_blocks(at + 2)
                self.extensions.append((label, payload))
            elif kind == 0x2C:
                left, top, width, height, packed = struct.unpack_from("<HHHHB", self.data, at + 1)
                min_code_size = self.data[at + 10]
                lzw, at = self._sub_blocks(at + 11)
                self.images.append((left, top, width, height, packed, min_code_size, lzw))
            else:
                raise ValueError(f"unknown block 0x{kind:02x} at {at}")

    def transparent_index(self):
        for label, payload in self.extensions:
            if label == 0xF9 and payload[0] & 1:
                return payload[3]
        return None


def lzw_decode(data, min_code_size, limit):
    """A plain GIF LZW decoder, written apart from the generator's encoder."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width, position, out = min_code_size + 1, 0, bytearray()
    table, previous = None, None
    bits = int.from_bytes(data, "little")
    total = len(data) * 8
    while position + width <= total:
        code = (bits >> position) & ((1 << width) - 1)
        position += width
        if code == clear:
            table = [bytes([i]) for i in range(clear)] + [b"", b""]
            width, previous = min_code_size + 1, None
            continue
        if code == end:
            return bytes(out), True
        if previous is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else previous + previous[:1]
            if len(table) < 4096:
                table.append(previous + entry[:1])
        out += entry
        previous = entry
        if len(table) >= (1 << width) and width < 12:
            width += 1
        if len(out) > limit:
            break
    return bytes(out), False


def read(name):
    with open(os.path.join(ART_DIR, name), "rb") as source:
        return source.read()


def decoded_indices(name):
    facts = GifFacts(read(name + ".gif"))
    _, _, _, _, _, min_code_size, lzw = facts.images[0]
    pixels, ended = lzw_decode(lzw, min_code_size, facts.width * facts.height)
    return facts, pixels, ended


class PictureHeaders(unittest.TestCase):
    def test_every_picture_matches_the_table(self):
        for name, (width, height, version, table_size, transparent) in PICTURE_TABLE.items():
            with self.subTest(picture=name):
                facts = GifFacts(read(name + ".gif"))
                self.assertEqual(facts.version, version)
                self.assertEqual((facts.width, facts.height), (width, height))
                self.assertTrue(facts.has_global_table)
                self.assertEqual(facts.table_size, table_size)
                self.assertEqual(facts.transparent_index(), transparent)
                self.assertEqual(len(facts.images), 1, "exactly one frame")
                left, top, frame_w, frame_h, packed, _, _ = facts.images[0]
                self.assertEqual((left, top, frame_w, frame_h), (0, 0, width, height))
                self.assertEqual(packed & 0x80, 0, "no local colour table")
                self.assertEqual(packed & 0x40, 0, "not interlaced")
                self.assertEqual(facts.trailer_at, len(facts.data) - 1, "trailer ends the file")

    def test_extensions_fit_the_version(self):
        for name, (_, _, version, _, _) in PICTURE_TABLE.items():
            with self.subTest(picture=name):
                facts = GifFacts(read(name + ".gif"))
                labels = [label for label, _ in facts.extensions]
                if version == b"GIF87a":
                    self.assertEqual(labels, [], "a GIF87a file carries no extension")
                else:
                    self.assertEqual(labels, [0xF9], "one graphic control, no looping")
                    self.assertEqual(facts.extensions[0][1][1:3], b"\0\0", "no delay")

    def test_the_art_folder_holds_exactly_the_artwork(self):
        expected = sorted([name + ".gif" for name in PICTURE_TABLE] + OTHER_FILES)
        self.assertEqual(sorted(os.listdir(ART_DIR)), expected)


class PicturePixels(unittest.TestCase):
    def test_pixel_data_is_complete_and_agrees_with_another_decoder(self):
        for name in PICTURE_TABLE:
            with self.subTest(picture=name):
                facts, pixels, ended = decoded_indices(name)
                self.assertTrue(ended, "the end code closes the data")
                self.assertEqual(len(pixels), facts.width * facts.height)
                self.assertLess(max(pixels), facts.table_size)
                with Image.open(os.path.join(ART_DIR, name + ".gif")) as reference:
                    self.assertEqual(bytes(reference.getdata()), pixels)

    def test_transparent_colour_is_used_and_shared_by_no_other_entry(self):
        for name, (_, _, _, _, transparent) in PICTURE_TABLE.items():
            if transparent is None:
                continue
            with self.subTest(picture=name):
                facts, pixels, _ = decoded_indices(name)
                self.assertIn(transparent, pixels)
                colour = facts.palette[transparent]
                others = [i for i, c in enumerate(facts.palette) if c == colour and i != transparent]
                self.assertEqual(others, [])

    def test_layout_relies_on_these_transparent_and_opaque_rows(self):
        # (picture, row, all transparent?) -- where the page needs the card or
        # background to show through, or the picture to cover it.
        cases = [("TrayClockImg", 0, True), ("TrayClockImg", 20, True),
                 ("TrayClockImg", 59, False), ("DesktopClockImg", 59, False),
                 ("Image3", 195, True), ("Image7", 0, True), ("Image7", 137, False)]
        for name, row, clear in cases:
            with self.subTest(picture=name, row=row):
                facts, pixels, _ = decoded_indices(name)
                line = pixels[row * facts.width:(row + 1) * facts.width]
                index = PICTURE_TABLE[name][4]
                if clear:
                    self.assertEqual(set(line), {index})
                else:
                    self.assertNotEqual(set(line), {index})


def generator_module(name):
    """One of the generator's own modules, imported from its folder."""
    folder = os.path.dirname(os.path.abspath(GENERATOR))
    if folder not in sys.path:
        sys.path.insert(0, folder)
    return __import__(name)


# Picture -> (left, top, right, bottom) of the part the page shows.
VISIBLE_PARTS = {
    "MainBkg": (0, 0, 391, 206), "WelcomeBkg": (0, 0, 259, 59),
    "TrayClockImg": (0, 0, 148, 60), "DesktopClockImg": (0, 0, 148, 60),
    "Image1": (0, 0, 391, 28), "Image4": (0, 0, 179, 150), "Image7": (0, 0, 240, 136),
    "Image2": (0, 0, 253, 113), "Image3": (2, 6, 204, 196), "Image5": (1, 0, 392, 128),
    "Image6": (0, 1, 352, 112),
}


class PageContent(unittest.TestCase):
    def test_the_part_each_page_shows_carries_drawing(self):
        for name, (left, top, right, bottom) in VISIBLE_PARTS.items():
            with self.subTest(picture=name):
                facts, pixels, _ = decoded_indices(name)
                shown = {pixels[y * facts.width + x]
                         for y in range(top, bottom) for x in range(left, right)}
                shown.discard(PICTURE_TABLE[name][4])
                self.assertGreaterEqual(len(shown), min(5, facts.table_size - 2))


class PaletteReduction(unittest.TestCase):
    def picture(self, colours, clear_columns=()):
        image = Image.new("RGBA", (len(colours), 2))
        for x, colour in enumerate(colours):
            alpha = 0 if x in clear_columns else 255
            image.putpixel((x, 0), colour + (alpha,))
            image.putpixel((x, 1), colour + (alpha,))
        return image

    def test_exact_size_and_transparent_entry_in_place(self):
        palette = generator_module("palette")
        red, green, blue, magenta = (255, 0, 0), (0, 200, 0), (0, 0, 255), (255, 0, 255)
        # (colours, transparent columns, table size, transparent index)
        cases = [([red, green, blue], (), 8, None),
                 ([red, green, blue], (1,), 8, 0),
                 ([red, green, blue], (0, 2), 4, 3),
                 ([magenta, red, green], (1,), 8, 5),
                 ([(i, 255 - i, 7) for i in range(0, 250, 2)], (3,), 16, 1)]
        for colours, clear, size, transparent in cases:
            with self.subTest(colours=len(colours), clear=clear, size=size):
                indices, entries = palette.index_picture(self.picture(colours, clear), size,
                                                         transparent)
                self.assertEqual(len(entries), size)
                for x, colour in enumerate(colours):
                    index = indices[x]
                    if x in clear:
                        self.assertEqual(index, transparent)
                        continue
                    self.assertNotEqual(index, transparent)
                    if len(colours) < size:
                        self.assertEqual(entries[index], colour, "few colours are kept exactly")
                if transparent is not None:
                    self.assertEqual(entries.count(entries[transparent]), 1)


class IconWriter(unittest.TestCase):
    def test_mask_and_colours_read_back_through_another_reader(self):
        icon_writer = generator_module("icon_writer")
        colours = [[(x + y) % 3 for x in range(32)] for y in range(32)]
        mask = [[1 if x < 4 or y > 28 else 0 for x in range(32)] for y in range(32)]
        entries = [(0, 0, 0), (250, 10, 10), (10, 250, 10)] + [(9, 9, 9)] * 253
        with tempfile.NamedTemporaryFile(suffix=".ico") as copy:
            copy.write(icon_writer.encode_icon(colours, mask, entries))
            copy.flush()
            with Image.open(copy.name) as image:
                rgba = image.convert("RGBA")
        for x, y in [(0, 0), (3, 10), (4, 10), (20, 28), (20, 29), (31, 31), (17, 5)]:
            with self.subTest(x=x, y=y):
                red, green, blue, alpha = rgba.getpixel((x, y))
                self.assertEqual(alpha, 0 if mask[y][x] else 255)
                if not mask[y][x]:
                    self.assertEqual((red, green, blue), entries[colours[y][x]])


def icon_directory(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entry = struct.unpack_from("<BBBBHHII", data, 6)
    header = struct.unpack_from("<IiiHHIIiiII", data, entry[7])
    return (reserved, kind, count), entry, header


def mask_bit(data, header_at, colour_bytes, x, y):
    """The AND mask bit of pixel (x, y), top row 0, for a 32-wide image."""
    mask_at = header_at + colour_bytes
    row = 31 - y
    return (data[mask_at + row * 4 + x // 8] >> (7 - x % 8)) & 1


class CursorAndIcon(unittest.TestCase):
    def single_image(self, name, kind, entry_facts, bits, colour_count):
        """Checks the directory and bitmap header of a one-image file and
        returns its bytes, the image's offset and where the mask starts."""
        data = read(name)
        (reserved, found_kind, count), entry, header = icon_directory(data)
        self.assertEqual((reserved, found_kind, count), (0, kind, 1))
        self.assertEqual(entry[:3] + entry[4:6], entry_facts)
        size, offset = entry[6:8]
        self.assertEqual(offset + size, len(data))
        self.assertEqual(header[:5], (40, 32, 64, 1, bits), "double height for the mask")
        colour_bytes = 40 + colour_count * 4 + 32 * 32 * bits // 8
        self.assertEqual(size, colour_bytes + 32 * 4, "colour bits followed by the mask")
        return data, offset, colour_bytes

    def test_cursor_is_a_two_colour_hand_with_its_hot_spot_on_the_fingertip(self):
        # Entry: width, height, colours, then the hot spot x and y.
        data, offset, colour_bytes = self.single_image("viduvidiva.cur", 2, (32, 32, 2, 7, 0),
                                                       1, 2)
        self.assertEqual(mask_bit(data, offset, colour_bytes, 7, 0), 0, "hot spot on the hand")
        self.assertEqual(mask_bit(data, offset, colour_bytes, 31, 31), 1, "corner transparent")

    def test_icon_is_a_256_colour_image_with_a_mask(self):
        # Entry: width, height, colours (0 meaning 256), planes, bits per pixel.
        data, offset, colour_bytes = self.single_image("mainicon.ico", 1, (32, 32, 0, 1, 8),
                                                       8, 256)
        self.assertEqual(mask_bit(data, offset, colour_bytes, 0, 31), 1, "corner transparent")
        self.assertEqual(mask_bit(data, offset, colour_bytes, 16, 12), 0, "bulb opaque")
        index = data[offset + 40 + 256 * 4 + (31 - 12) * 32 + 16]
        blue, green, red, _ = data[offset + 40 + index * 4:offset + 44 + index * 4]
        self.assertGreater(min(red, green), 180, "the bulb glows yellow")
        self.assertLess(blue, min(red, green) - 60)


class Generator(unittest.TestCase):
    def test_regenerating_gives_the_committed_bytes(self):
        with tempfile.TemporaryDirectory() as outdir:
            subprocess.run([sys.executable, "-B", GENERATOR, outdir], check=True)
            made = sorted(os.listdir(outdir))
            self.assertEqual(made, sorted(os.listdir(ART_DIR)))
            for name in made:
                with self.subTest(file=name), open(os.path.join(outdir, name), "rb") as fresh:
                    self.assertEqual(fresh.read(), read(name), f"{name} differs from a fresh run")

    def test_writer_round_trips_data_that_strains_the_code_table(self):
        gif_writer = generator_module("gif_writer")
        generator = random.Random(5)
        cases = {
            "one pixel": (1, 1, 2, [1]),
            "noise fills the table and clears it": (200, 150, 256,
                                                    [generator.randrange(256) for _ in range(30000)]),
            "long run": (500, 9, 4, [3] * 4500),
            "two colours": (64, 64, 2, [generator.randrange(2) for _ in range(4096)]),
        }
        # Lengths around each code-width step, where the end code's width matters.
        for table_size in (2, 8, 16):
            for length in range(1, 160):
                cases[f"width edge {table_size}/{length}"] = (
                    length, 1, table_size, [(i * 3 + i // 5) % table_size for i in range(length)])
        for label, (width, height, table_size, pixels) in cases.items():
            with self.subTest(case=label):
                palette = [(i, i, i) for i in range(table_size)]
                data = gif_writer.encode_gif(width, height, bytes(pixels), palette)
                facts = GifFacts(data)
                _, _, _, _, _, min_code_size, lzw = facts.images[0]
                decoded, ended = lzw_decode(lzw, min_code_size, width * height)
                self.assertEqual((decoded, ended), (bytes(pixels), True))
                with tempfile.NamedTemporaryFile(suffix=".gif") as copy:
                    copy.write(data)
                    copy.flush()
                    with Image.open(copy.name) as reference:
                        self.assertEqual(bytes(reference.getdata()), bytes(pixels))


if __name__ == "__main__":
    ART_DIR, GENERATOR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
