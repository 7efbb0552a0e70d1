"""Writes one-image .cur and .ico files: a directory entry, then a DIB with
double height holding the colour (XOR) bitmap followed by the 1-bit AND
mask, both bottom-up with rows padded to four bytes."""

import struct

ICON_TYPE = 1
CURSOR_TYPE = 2
DIRECTORY_SIZE = 6 + 16
BITMAP_HEADER_SIZE = 40


def _row_stride(width, bits_per_pixel):
    return ((width * bits_per_pixel + 31) // 32) * 4


def _pack_rows(rows, bits_per_pixel):
    """Packs rows of small integers (top row first) into a bottom-up bitmap."""
    width = len(rows[0])
    stride = _row_stride(width, bits_per_pixel)
    per_byte = 8 // bits_per_pixel
    out = bytearray()
    for row in reversed(rows):
        packed = bytearray(stride)
        for x, value in enumerate(row):
            shift = 8 - bits_per_pixel * (x % per_byte + 1)
            packed[x // per_byte] |= value << shift
        out += packed
    return bytes(out)


def _image(colour_rows, mask_rows, palette, bits_per_pixel):
    """The DIB of one icon image: header, colour table, XOR bits, AND mask."""
    width, height = len(colour_rows[0]), len(colour_rows)
    colour_bits = _pack_rows(colour_rows, bits_per_pixel)
    mask_bits = _pack_rows(mask_rows, 1)
    header = struct.pack("<IiiHHIIiiII", BITMAP_HEADER_SIZE, width, height * 2, 1,
                         bits_per_pixel, 0, len(colour_bits) + len(mask_bits), 0, 0,
                         len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + colour_bits + mask_bits


def _directory(kind, width, height, colour_count, field4, field6, image_size):
    # For a cursor the two 16-bit fields after the reserved byte hold the hot
    # spot; for an icon they hold the planes and the bit count.
    return struct.pack("<HHHBBBBHHII", 0, kind, 1, width % 256, height % 256,
                       colour_count % 256, 0, field4, field6, image_size, DIRECTORY_SIZE)


def encode_cursor(colour_rows, mask_rows, hot_spot):
    """A two-colour cursor: colour index 0 black, 1 white; mask 1 = transparent."""
    image = _image(colour_rows, mask_rows, [(0, 0, 0), (255, 255, 255)], 1)
    width, height = len(colour_rows[0]), len(colour_rows)
    return _directory(CURSOR_TYPE, width, height, 2, hot_spot[0], hot_spot[1],
                      len(image)) + image


def encode_icon(colour_rows, mask_rows, palette):
    """A 256-colour icon; palette holds exactly 256 (r, g b) entries."""
    if len(palette) != 256:
        raise ValueError("an 8-bit icon needs 256 palette entries")
    image = _image(colour_rows, mask_rows, palette, 8)
    width, height = len(colour_rows[0]), len(colour_rows)
    return _directory(ICON_TYPE, width, height, 0, 1, 8, len(image)) + image
