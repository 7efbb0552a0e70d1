#!/usr/bin/python3
"""gifdecode's options, messages and exit statuses (0 done, 1 unreadable,
2 usage), on pictures built here from named pieces.

Usage: gifdecode_test.py GIFDECODE_PROGRAM
"""
import os
import struct
import subprocess
import sys
import tempfile


def le16(value):
    return struct.pack("<H", value)


def screen(width, height, table_bits=2):
    return b"GIF89a" + le16(width) + le16(height) + bytes([0xF0 | (table_bits - 1), 0, 0]) + palette(table_bits)


def palette(bits):
    return b"".join(bytes([i * 40 % 256, 255 - i * 30 % 256, i * 70 % 256]) for i in range(1 << bits))


def lzw_data(pixels, end=True):
    """Code size 2: each pixel as its own code, a clear code every two, so that
    every code stays 3 bits wide."""
    codes = []
    for i, pixel in enumerate(pixels):
        if i % 2 == 0:
            codes.append(4)
        codes.append(pixel)
    if end:
        codes.append(5)
    bits = sum(code << (3 * i) for i, code in enumerate(codes))
    packed = bits.to_bytes((3 * len(codes) + 7) // 8, "little")
    blocks = b"".join(bytes([len(packed[i:i + 255])]) + packed[i:i + 255] for i in range(0, len(packed), 255))
    return bytes([2]) + blocks + b"\0"


def image(width, height, pixels=None, data=None):
    pixels = pixels if pixels is not None else [(x + y) % 4 for y in range(height) for x in range(width)]
    return b"," + le16(0) + le16(0) + le16(width) + le16(height) + b"\0" + (data or lzw_data(pixels))


PICTURES = {
    "good.gif": screen(5, 3) + image(5, 3) + image(2, 2, [3, 2, 1, 0]) + b";",
    # Frame 0 declares 65535 x 65535 pixels in a few bytes; frame 1 is sound.
    "huge-first.gif": screen(5, 3) + image(65535, 65535, [1, 2, 3]) + image(2, 2, [3, 2, 1, 0]) + b";",
    "bad-code-size.gif": screen(5, 3) + image(2, 2, data=bytes([10, 1, 0, 0])) + image(2, 2, [1, 1, 1, 1]) + b";",
    "cut-short.gif": screen(5, 3) + image(5, 3, data=lzw_data([1, 2, 3], end=False)) + b";",
    "stray-extension.gif": screen(5, 3) + image(5, 3) + b"!\x02\0;",
    "not-a-gif.gif": b"PNG not a GIF",
}


def bitmap_pixel(bmp, x, y):
    """Colour index of pixel (x, y) of a 4-bit bottom-up bitmap file."""
    offset, width, height = struct.unpack_from("<I", bmp, 10)[0], *struct.unpack_from("<ii", bmp, 18)
    stride = (4 * width + 31) // 32 * 4
    byte = bmp[offset + (height - 1 - y) * stride + x // 2]
    return byte >> 4 if x % 2 == 0 else byte & 0x0F


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    program = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="gifdecode-test-")
    for name, data in PICTURES.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    path = lambda name: os.path.join(folder, name)
    bmp = path("out.bmp")
    huge = "GIF frame too large: 65535 x 65535 pixels (the limit is 67108864 pixels)"

    # arguments, exit status, texts expected on standard output, on standard error
    cases = [
        (["--help"], 0, ["Usage: gifdecode", "Exit status"], []),
        ([], 2, [], ["gifdecode: no input file", "Usage: gifdecode"]),
        (["--bogus", path("good.gif")], 2, [], ["gifdecode: unknown option --bogus"]),
        (["--frame", "x", path("good.gif"), bmp], 2, [], ["--frame needs a whole number of at least 0, not \"x\""]),
        ([path("good.gif")], 2, [], ["no output file (or --info)"]),
        ([path("missing.gif"), bmp], 1, [], [f"gifdecode: {path('missing.gif')}: cannot open: No such file"]),
        (["--info", folder], 1, [], [f"gifdecode: {folder}: cannot open: Is a directory"]),
        ([path("not-a-gif.gif"), "--info"], 1, [], [f"gifdecode: {path('not-a-gif.gif')}: Unknown GIF version"]),
        (["--info", path("good.gif")], 0,
         ["version GIF89a", "frames 2", "frame 0: position 0,0 size 5x3 colours 4 (global)", "frame 1:",
          "corrupted no decoded"], []),
        (["--frame", "1", path("good.gif"), bmp], 0, [], []),
        (["--frame", "2", path("good.gif"), bmp], 1, [], ["there is no frame 2; the picture has 2"]),
        (["--info", path("huge-first.gif")], 1,
         ["frames 2", "not decodable: " + huge, "frame 1: position 0,0 size 2x2"],
         [f"gifdecode: {path('huge-first.gif')}: frame 0: {huge}"]),
        (["--frame", "0", path("huge-first.gif"), bmp], 1, [], [f"frame 0: {huge}"]),
        (["--frame", "1", path("huge-first.gif"), bmp], 0, [], []),
        (["--info", path("bad-code-size.gif")], 1, ["not decodable: GIF code size not in range 2 to 9"],
         ["frame 0: GIF code size not in range 2 to 9"]),
        (["--frame", "1", path("bad-code-size.gif"), bmp], 0, [], []),
        (["--info", path("cut-short.gif")], 0, ["corrupted yes decoded"], []),
        (["--info", path("stray-extension.gif")], 1, ["frames 1", "corrupted no decoded"],
         ["reading stopped after frame 0: Unrecognized extension block: 02"]),
        (["--frame", "0", path("stray-extension.gif"), bmp], 0, [], ["reading stopped after frame 0"]),
        ([path("good.gif"), os.path.join(folder, "no-such-folder", "out.bmp")], 1, [], ["cannot write"]),
        (["--repeat", "3", path("good.gif"), bmp], 0, [], []),
    ]
    failures = []
    for arguments, status, out_texts, err_texts in cases:
        if os.path.exists(bmp):
            os.remove(bmp)
        run = subprocess.run([program, *arguments], capture_output=True, text=True, timeout=60)
        label = "gifdecode " + " ".join(arguments).replace(folder + "/", "")
        if run.returncode != status:
            failures.append(f"{label}: exit {run.returncode}, expected {status}\n{run.stdout}{run.stderr}")
        failures += [f"{label}: no '{t}' in its output\n{run.stdout}" for t in out_texts if t not in run.stdout]
        failures += [f"{label}: no '{t}' in its messages\n{run.stderr}" for t in err_texts if t not in run.stderr]
        if status != 0 and os.path.exists(bmp):
            failures.append(f"{label}: wrote {bmp} although it failed")

    # The written frame holds the picture's pixels.
    subprocess.run([program, "--frame", "1", path("good.gif"), bmp], check=True)
    with open(bmp, "rb") as written:
        data = written.read()
    pixels = [bitmap_pixel(data, x, y) for y in range(2) for x in range(2)]
    if data[:2] != b"BM" or pixels != [3, 2, 1, 0]:
        failures.append(f"frame 1 of good.gif written as {data[:2]!r} with pixels {pixels}")

    for failure in failures:
        print("FAILED:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
