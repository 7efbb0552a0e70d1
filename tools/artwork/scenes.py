"""Placeholder pictures: flat colours of the right sizes."""

from PIL import Image


def _flat(size, colour=(0, 64, 160)):
    return Image.new("RGBA", size, colour + (255,))


def _lower_half(size, colour):
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    image.paste(colour + (255,), (0, size[1] // 2, size[0], size[1]))
    return image


def main_background(size): return _flat(size, (0, 64, 160))
def welcome_banner(size): return _flat(size, (0, 48, 128))
def tray_clock(size): return _lower_half(size, (200, 200, 200))
def desktop_clock(size): return _lower_half(size, (200, 200, 200))
def taskbar_strip(size): return _flat(size, (192, 192, 192))
def popup_menu(size): return _flat(size, (212, 208, 200))
def hide_arrow(size): return _lower_half(size, (255, 255, 255))
def startup_group(size): return _flat(size, (212, 208, 200))
def download_menu(size): return _lower_half(size, (255, 255, 255))
def skin_list(size): return _flat(size, (212, 208, 200))
def critical_days(size): return _flat(size, (212, 208, 200))
