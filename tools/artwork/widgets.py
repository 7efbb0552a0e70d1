"""Drawing helpers for the screenshot-like pictures: classic desktop colours,
bitmap-like fonts, 3-D edges, buttons, check boxes, menus, the taskbar and
the mouse pointer. Text is drawn without antialiasing so that it stays crisp
after the colour reduction."""

import os

from PIL import Image, ImageDraw, ImageFont

FONT_DIRS = ["/usr/share/fonts/truetype/liberation", "/usr/share/fonts/truetype/dejavu"]

FACE = (212, 208, 200)
LIGHT = (255, 255, 255)
SHADOW = (128, 128, 128)
DARK = (64, 64, 64)
BLACK = (0, 0, 0)
SELECTION = (10, 36, 106)
TOOLTIP = (255, 255, 225)
DESKTOP = (58, 110, 165)

# Classic arrow pointer: B outline, W fill.
ARROW_POINTER = [
    "B...........",
    "BB..........",
    "BWB.........",
    "BWWB........",
    "BWWWB.......",
    "BWWWWB......",
    "BWWWWWB.....",
    "BWWWWWWB....",
    "BWWWWWWWB...",
    "BWWWWWWWWB..",
    "BWWWWWBBBBB.",
    "BWWBWWB.....",
    "BWB.BWWB....",
    "BB..BWWB....",
    "B....BWWB...",
    ".....BWWB...",
    "......BB....",
]


def font(name, size):
    """A TrueType font from the system's font folders."""
    for folder in FONT_DIRS:
        path = os.path.join(folder, name)
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    raise FileNotFoundError(f"font {name} not found in {FONT_DIRS}")


def ui_font(bold=False, size=11):
    return font("LiberationSans-Bold.ttf" if bold else "LiberationSans-Regular.ttf", size)


def canvas(size, colour=FACE, transparent=False):
    """A new RGBA picture and a drawer with antialiasing off for text."""
    fill = (0, 0, 0, 0) if transparent else colour + (255,)
    image = Image.new("RGBA", size, fill)
    draw = ImageDraw.Draw(image)
    draw.fontmode = "1"
    return image, draw


def text(draw, xy, words, size=11, bold=False, fill=BLACK):
    draw.text(xy, words, font=ui_font(bold, size), fill=fill)


def text_width(words, size=11, bold=False):
    return int(ui_font(bold, size).getlength(words))


def _edge(draw, box, face, outer_top_left, inner_top_left, outer_bottom_right,
          inner_bottom_right):
    """A filled box with a two-pixel 3-D edge."""
    x0, y0, x1, y1 = box
    draw.rectangle(box, fill=face)
    draw.line([(x0, y1), (x0, y0), (x1, y0)], fill=outer_top_left)
    draw.line([(x0 + 1, y1 - 1), (x0 + 1, y0 + 1), (x1 - 1, y0 + 1)], fill=inner_top_left)
    draw.line([(x0, y1), (x1, y1), (x1, y0)], fill=outer_bottom_right)
    draw.line([(x0 + 1, y1 - 1), (x1 - 1, y1 - 1), (x1 - 1, y0 + 1)], fill=inner_bottom_right)


def raised(draw, box, face=FACE):
    """A button-like raised edge: light top-left, dark bottom-right."""
    _edge(draw, box, face, LIGHT, face, DARK, SHADOW)


def sunken(draw, box, face=LIGHT):
    """A field-like sunken edge: shadow top-left, light bottom-right."""
    _edge(draw, box, face, SHADOW, DARK, LIGHT, FACE)


def thin_sunken(draw, box):
    """A one-pixel sunken outline, as around the notification area."""
    x0, y0, x1, y1 = box
    draw.line([(x0, y1), (x0, y0), (x1, y0)], fill=SHADOW)
    draw.line([(x0, y1), (x1, y1), (x1, y0)], fill=LIGHT)


def button(draw, box, label, pressed=False, bold=False):
    """A push button with its label centred."""
    if pressed:
        draw.rectangle(box, fill=FACE, outline=BLACK)
        draw.rectangle([box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1], outline=SHADOW)
    else:
        raised(draw, box)
    width = text_width(label, bold=bold)
    x = (box[0] + box[2] + 1 - width) // 2 + (1 if pressed else 0)
    y = (box[1] + box[3] + 1 - 13) // 2 + (1 if pressed else 0)
    text(draw, (x, y), label, bold=bold)


def check_box(draw, xy, label, checked, fill=BLACK):
    """A 13 x 13 check box with its label to the right."""
    x, y = xy
    sunken(draw, [x, y, x + 12, y + 12])
    if checked:
        for step, dy in enumerate([2, 3, 4, 3, 2, 1, 0]):
            column = x + 3 + step
            draw.line([(column, y + 5 + dy), (column, y + 7 + dy)], fill=BLACK)
    text(draw, (x + 18, y - 1), label, fill=fill)


def group_box(draw, box, caption):
    """An etched frame with its caption cut into the top line."""
    x0, y0, x1, y1 = box
    draw.rectangle([x0 + 1, y0 + 1, x1, y1], outline=LIGHT)
    draw.rectangle([x0, y0, x1 - 1, y1 - 1], outline=SHADOW)
    width = text_width(caption)
    draw.rectangle([x0 + 7, y0 - 6, x0 + 10 + width, y0 + 6], fill=FACE)
    text(draw, (x0 + 9, y0 - 7), caption)


def pointer(image, xy, shape=ARROW_POINTER):
    """Draws a cursor picture with its hot spot at xy."""
    x0, y0 = xy
    for dy, row in enumerate(shape):
        for dx, mark in enumerate(row):
            x, y = x0 + dx, y0 + dy
            if mark in "BW" and 0 <= x < image.width and 0 <= y < image.height:
                image.putpixel((x, y), (BLACK if mark == "B" else LIGHT) + (255,))


def menu_frame(draw, box):
    """The raised two-pixel frame of a pop-up menu."""
    _edge(draw, box, FACE, FACE, LIGHT, DARK, SHADOW)


def menu_item(draw, box, label, highlighted=False, bold=False, arrow=False, checked=False):
    """One menu entry; highlighted entries are white on the selection colour."""
    x0, y0, x1, y1 = box
    colour = LIGHT if highlighted else BLACK
    if highlighted:
        draw.rectangle(box, fill=SELECTION)
    text(draw, (x0 + 18, y0 + 3), label, bold=bold, fill=colour)
    middle = (y0 + y1) // 2
    if arrow:
        draw.polygon([(x1 - 10, middle - 4), (x1 - 10, middle + 4), (x1 - 6, middle)], fill=colour)
    if checked:
        for step, dy in enumerate([2, 3, 4, 3, 2, 1, 0]):
            draw.line([(x0 + 4 + step, middle - 3 + dy), (x0 + 4 + step, middle - 1 + dy)],
                      fill=colour)


def menu_separator(draw, x0, x1, y):
    draw.line([(x0, y), (x1, y)], fill=SHADOW)
    draw.line([(x0, y + 1), (x1, y + 1)], fill=LIGHT)


def title_bar(draw, box, caption, active=True):
    """A window caption with a horizontal gradient and its three buttons."""
    x0, y0, x1, y1 = box
    start, end = ((10, 36, 106), (166, 202, 240)) if active else ((128, 128, 128), (192, 192, 192))
    span = max(1, x1 - x0)
    for x in range(x0, x1 + 1):
        t = (x - x0) / span
        draw.line([(x, y0), (x, y1)], fill=tuple(round(a + (b - a) * t) for a, b in zip(start, end)))
    text(draw, (x0 + 4, y0 + 1), caption, bold=True, fill=LIGHT)
    size = y1 - y0 - 3
    for index, glyph in enumerate(["x", "max", "min"]):
        right = x1 - 2 - index * (size + 3) - (2 if index else 0)
        button_box = [right - size - 1, y0 + 2, right, y1 - 2]
        raised(draw, button_box)
        _caption_glyph(draw, button_box, glyph)


def _caption_glyph(draw, box, glyph):
    x0, y0, x1, y1 = box
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
    if glyph == "x":
        draw.line([(cx - 3, cy - 3), (cx + 3, cy + 3)], fill=BLACK, width=2)
        draw.line([(cx - 3, cy + 3), (cx + 3, cy - 3)], fill=BLACK, width=2)
    elif glyph == "max":
        draw.rectangle([cx - 4, cy - 3, cx + 4, cy + 3], outline=BLACK)
        draw.line([(cx - 4, cy - 2), (cx + 4, cy - 2)], fill=BLACK)
    else:
        draw.line([(cx - 3, cy + 3), (cx + 2, cy + 3)], fill=BLACK, width=2)


def start_button(draw, box):
    """The taskbar's start button with a four-colour emblem."""
    raised(draw, box)
    x, y = box[0] + 4, (box[1] + box[3]) // 2 - 5
    for (dx, dy), colour in zip([(0, 0), (6, 0), (0, 6), (6, 6)],
                                [(232, 64, 32), (64, 176, 48), (32, 96, 224), (248, 200, 0)]):
        draw.rectangle([x + dx, y + dy, x + dx + 4, y + dy + 4], fill=colour)
    text(draw, (box[0] + 18, y - 1), "Start", bold=True)


def taskbar(draw, box):
    """The taskbar's face with its light top edge."""
    x0, y0, x1, y1 = box
    draw.rectangle(box, fill=FACE)
    draw.line([(x0, y0), (x1, y0)], fill=FACE)
    draw.line([(x0, y0 + 1), (x1, y0 + 1)], fill=LIGHT)


def tray_icon(draw, xy, kind):
    """A 16 x 16 notification-area icon: speaker or network."""
    x, y = xy
    if kind == "speaker":
        draw.polygon([(x + 2, y + 6), (x + 5, y + 6), (x + 9, y + 2), (x + 9, y + 13),
                      (x + 5, y + 9), (x + 2, y + 9)], fill=(255, 255, 128), outline=BLACK)
        draw.arc([x + 8, y + 4, x + 13, y + 11], -60, 60, fill=BLACK)
    else:
        draw.rectangle([x + 1, y + 3, x + 8, y + 9], fill=(0, 128, 128), outline=BLACK)
        draw.rectangle([x + 6, y + 7, x + 13, y + 13], fill=(0, 160, 160), outline=BLACK)


def seven_segment(draw, xy, digits, height, colour, dim=None, thickness=2):
    """Digits and colons as seven-segment figures, as on an LCD clock.
    Returns the x just past the last figure."""
    lit_segments = {"0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
                    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg"}
    x, y = xy
    t, h = thickness, height
    w = h // 2 + t
    gap = max(2, t)
    for char in digits:
        if char == ":":
            for row in (y + h // 4, y + 3 * h // 4 - t + 1):
                draw.rectangle([x, row, x + t - 1, row + t - 1], fill=colour)
            x += t + gap
            continue
        if char == " ":
            x += w + gap
            continue
        mid = y + h // 2
        boxes = {"a": [x + t, y, x + w - t - 1, y + t - 1],
                 "b": [x + w - t, y + t, x + w - 1, mid - 1],
                 "c": [x + w - t, mid + 1, x + w - 1, y + h - t - 1],
                 "d": [x + t, y + h - t, x + w - t - 1, y + h - 1],
                 "e": [x, mid + 1, x + t - 1, y + h - t - 1],
                 "f": [x, y + t, x + t - 1, mid - 1],
                 "g": [x + t, mid - t // 2, x + w - t - 1, mid - t // 2 + t - 1]}
        for name, rect in boxes.items():
            if name in lit_segments.get(char, ""):
                draw.rectangle(rect, fill=colour)
            elif dim is not None:
                draw.rectangle(rect, fill=dim)
        x += w + gap
    return x
