#!/usr/bin/python3
"""Makes the wizard's artwork: the eleven page pictures as GIF files, the
pointing-hand cursor and the light-bulb icon.

Usage: /usr/bin/python3 tools/artwork/make_artwork.py [outdir]

The output is byte-for-byte the same on every run (no time stamps, no
randomness without a fixed seed, deterministic colour reduction), so the
committed files in quickintro/art can be checked against a fresh run."""

import os
import sys
from dataclasses import dataclass
from typing import Callable, Optional

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gif_writer    # noqa: E402
import icon_writer   # noqa: E402
import palette       # noqa: E402
import scenes        # noqa: E402
import symbols       # noqa: E402


@dataclass(frozen=True)
class Picture:
    name: str
    size: tuple
    version: str
    table_size: int
    transparent_index: Optional[int]
    draw: Callable


PICTURES = [
    Picture("MainBkg", (393, 210), "GIF89a", 256, None, scenes.main_background),
    Picture("WelcomeBkg", (259, 59), "GIF89a", 32, None, scenes.welcome_banner),
    Picture("TrayClockImg", (148, 60), "GIF89a", 64, 34, scenes.tray_clock),
    Picture("DesktopClockImg", (148, 60), "GIF89a", 64, 33, scenes.desktop_clock),
    Picture("Image1", (391, 29), "GIF89a", 64, None, scenes.taskbar_strip),
    Picture("Image4", (179, 207), "GIF89a", 8, None, scenes.popup_menu),
    Picture("Image7", (241, 138), "GIF89a", 256, 107, scenes.hide_arrow),
    Picture("Image2", (282, 113), "GIF89a", 8, None, scenes.startup_group),
    Picture("Image3", (204, 196), "GIF89a", 8, 1, scenes.download_menu),
    Picture("Image5", (457, 173), "GIF87a", 32, None, scenes.skin_list),
    Picture("Image6", (370, 112), "GIF89a", 16, None, scenes.critical_days),
]

CURSOR_FILE = "viduvidiva.cur"
ICON_FILE = "mainicon.ico"
CURSOR_HOT_SPOT = (7, 0)


def picture_bytes(picture):
    image = picture.draw(picture.size)
    if image.size != picture.size:
        raise ValueError(f"{picture.name}: drawn {image.size}, expected {picture.size}")
    indices, colours = palette.index_picture(image, picture.table_size,
                                             picture.transparent_index)
    return gif_writer.encode_gif(picture.size[0], picture.size[1], indices, colours,
                                 picture.version, picture.transparent_index)


def cursor_bytes():
    colour_rows, mask_rows = symbols.pointing_hand_cursor()
    return icon_writer.encode_cursor(colour_rows, mask_rows, CURSOR_HOT_SPOT)


def icon_bytes():
    colour_rows, mask_rows, colours = symbols.light_bulb_icon()
    return icon_writer.encode_icon(colour_rows, mask_rows, colours)


def all_files():
    """File name -> bytes, for every piece of artwork."""
    files = {picture.name + ".gif": picture_bytes(picture) for picture in PICTURES}
    files[CURSOR_FILE] = cursor_bytes()
    files[ICON_FILE] = icon_bytes()
    return files


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "..", "quickintro", "art")
    outdir = argv[1] if len(argv) > 1 else default
    os.makedirs(outdir, exist_ok=True)
    for name, data in all_files().items():
        with open(os.path.join(outdir, name), "wb") as out:
            out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
