"""Writes single-frame GIF files with exactly the header facts the wizard's
pictures need: the version, a global colour table of a fixed size, an
optional transparent index, one image without a local table, not interlaced.

The writer is deliberately small and byte-stable: the same indices and
palette always give the same file."""

import struct

MAX_CODE = 4096          # LZW codes are at most 12 bits wide
SUB_BLOCK_LIMIT = 255    # data sub-blocks carry at most 255 bytes

EXTENSION_INTRODUCER = 0x21
GRAPHIC_CONTROL_LABEL = 0xF9
IMAGE_SEPARATOR = 0x2C
TRAILER = 0x3B


class _BitPacker:
    """Packs variable-width codes least significant bit first."""

    def __init__(self):
        self.out = bytearray()
        self.accumulator = 0
        self.bit_count = 0

    def write(self, code, width):
        self.accumulator |= code << self.bit_count
        self.bit_count += width
        while self.bit_count >= 8:
            self.out.append(self.accumulator & 0xFF)
            self.accumulator >>= 8
            self.bit_count -= 8

    def finish(self):
        if self.bit_count:
            self.out.append(self.accumulator & 0xFF)
        return bytes(self.out)


def lzw_encode(indices, min_code_size):
    """Compresses a sequence of colour indices into the GIF flavour of LZW.

    The code width grows exactly when a decoder's table reaches the next
    power of two, and a clear code restarts the table once all 4096 codes
    are taken, so every conforming decoder reads the codes back."""
    clear_code = 1 << min_code_size
    end_code = clear_code + 1
    packer = _BitPacker()
    width = min_code_size + 1
    next_code = end_code + 1
    table = {}
    packer.write(clear_code, width)
    if not indices:
        packer.write(end_code, width)
        return packer.finish()
    prefix = indices[0]
    for index in indices[1:]:
        key = (prefix << 8) | index
        known = table.get(key)
        if known is not None:
            prefix = known
            continue
        packer.write(prefix, width)
        table[key] = next_code
        next_code += 1
        if next_code > (1 << width) and width < 12:
            width += 1
        if next_code == MAX_CODE:
            packer.write(clear_code, width)
            table.clear()
            width = min_code_size + 1
            next_code = end_code + 1
        prefix = index
    packer.write(prefix, width)
    # The decoder adds one more entry on reading the last code; follow it so
    # the end code is written in the width the decoder then expects.
    if next_code + 1 > (1 << width) and width < 12:
        width += 1
    packer.write(end_code, width)
    return packer.finish()


def _sub_blocks(data):
    out = bytearray()
    for start in range(0, len(data), SUB_BLOCK_LIMIT):
        chunk = data[start:start + SUB_BLOCK_LIMIT]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def _table_bits(table_size):
    bits = table_size.bit_length() - 1
    if table_size < 2 or table_size > 256 or (1 << bits) != table_size:
        raise ValueError(f"colour table size {table_size} is not a power of two from 2 to 256")
    return bits


def _screen_descriptor(width, height, bits):
    packed = 0x80 | ((bits - 1) << 4) | (bits - 1)   # global table, resolution, size
    return struct.pack("<HHBBB", width, height, packed, 0, 0)


def _graphic_control(transparent_index):
    flags = 0x01 if transparent_index is not None else 0x00
    index = transparent_index if transparent_index is not None else 0
    return struct.pack("<BBBBHBB", EXTENSION_INTRODUCER, GRAPHIC_CONTROL_LABEL,
                       4, flags, 0, index, 0)


def encode_gif(width, height, indices, palette, version="GIF89a", transparent_index=None):
    """Returns a complete GIF file.

    palette is a list of (r, g, b) whose length is the global table size;
    indices holds width * height colour indices, row by row. A GIF89a file
    carries one graphic control extension (declaring the transparent index
    when there is one); a GIF87a file carries no extension at all."""
    bits = _table_bits(len(palette))
    if len(indices) != width * height:
        raise ValueError("pixel count does not match the picture size")
    if max(indices, default=0) >= len(palette):
        raise ValueError("a pixel refers past the colour table")
    if version not in ("GIF87a", "GIF89a"):
        raise ValueError(f"unknown GIF version {version}")
    if version == "GIF87a" and transparent_index is not None:
        raise ValueError("GIF87a cannot declare a transparent colour")
    out = bytearray(version.encode("ascii"))
    out += _screen_descriptor(width, height, bits)
    for red, green, blue in palette:
        out += bytes((red, green, blue))
    if version == "GIF89a":
        out += _graphic_control(transparent_index)
    out += struct.pack("<BHHHHB", IMAGE_SEPARATOR, 0, 0, width, height, 0)
    min_code_size = max(2, bits)
    out.append(min_code_size)
    out += _sub_blocks(lzw_encode(indices, min_code_size))
    out.append(TRAILER)
    return bytes(out)
