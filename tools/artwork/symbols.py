"""The wizard's two small symbols: the pointing-hand cursor shown over the
clock-mode pictures and the light-bulb program icon."""

from PIL import Image, ImageDraw

import palette

CURSOR_SIZE = 32
ICON_SIZE = 32

# The hand, index finger up; B outline, W fill, anything else transparent.
# The fingertip's top pixel sits at column 7 of row 0: the hot spot.
POINTING_HAND = [
    "......BB..........",
    ".....BWWB.........",
    ".....BWWB.........",
    ".....BWWB.........",
    ".....BWWB.........",
    ".....BWWBBB.......",
    ".....BWWBWWBBB....",
    ".....BWWBWWBWWBB..",
    ".....BWWBWWBWWBWB.",
    ".BBB.BWWBWWBWWBWWB",
    ".BWWBBWWWWWWWWBWWB",
    ".BWWWBWWWWWWWWWWWB",
    "..BWWWWWWWWWWWWWWB",
    "..BWWWWWWWWWWWWWWB",
    "...BWWWWWWWWWWWWWB",
    "...BWWWWWWWWWWWWWB",
    "....BWWWWWWWWWWWB.",
    "....BWWWWWWWWWWWB.",
    ".....BWWWWWWWWWB..",
    ".....BWWWWWWWWWB..",
    ".....BBBBBBBBBBB..",
]


def pointing_hand_cursor():
    """Colour rows (1 white, 0 black) and mask rows (1 transparent)."""
    colour_rows = [[0] * CURSOR_SIZE for _ in range(CURSOR_SIZE)]
    mask_rows = [[1] * CURSOR_SIZE for _ in range(CURSOR_SIZE)]
    for y, line in enumerate(POINTING_HAND):
        for x, mark in enumerate(line):
            if mark in "BW":
                mask_rows[y][x] = 0
                colour_rows[y][x] = 1 if mark == "W" else 0
    return colour_rows, mask_rows


def _draw_bulb(scale):
    """The bulb at scale times the icon size, on a transparent ground."""
    size = ICON_SIZE * scale
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)

    def box(x0, y0, x1, y1):
        return [x0 * scale, y0 * scale, x1 * scale, y1 * scale]

    # Rays of light around the glass.
    for x0, y0, x1, y1 in [(16, 0.5, 16, 3), (4, 4, 6.5, 6.5), (28, 4, 25.5, 6.5),
                           (0.5, 14, 3.5, 14), (31.5, 14, 28.5, 14),
                           (3, 23, 5.5, 21.5), (29, 23, 26.5, 21.5)]:
        draw.line(box(x0, y0, x1, y1), fill=(255, 200, 0, 255), width=2 * scale)
    # Glass: a glowing yellow globe narrowing into the neck.
    draw.ellipse(box(7, 4, 25, 22), fill=(120, 80, 0, 255))
    draw.polygon([(11 * scale, 17 * scale), (21 * scale, 17 * scale),
                  (19.5 * scale, 24 * scale), (12.5 * scale, 24 * scale)],
                 fill=(120, 80, 0, 255))
    draw.ellipse(box(8, 5, 24, 21), fill=(255, 214, 0, 255))
    draw.polygon([(12 * scale, 17 * scale), (20 * scale, 17 * scale),
                  (18.7 * scale, 23.5 * scale), (13.3 * scale, 23.5 * scale)],
                 fill=(255, 214, 0, 255))
    draw.ellipse(box(10, 7, 21, 17), fill=(255, 240, 90, 255))
    draw.ellipse(box(11, 8, 16, 13), fill=(255, 255, 230, 255))
    # Filament.
    draw.line([(13.5 * scale, 20 * scale), (15 * scale, 14 * scale),
               (17 * scale, 14 * scale), (18.5 * scale, 20 * scale)],
              fill=(200, 90, 0, 255), width=scale)
    # Screw base: grey rings, then the dark contact.
    for row, shade in [(24, (110, 110, 120)), (25.5, (200, 200, 210)),
                       (27, (110, 110, 120)), (28.5, (200, 200, 210))]:
        draw.rectangle(box(12.5, row, 19.5, row + 1.5), fill=shade + (255,))
    draw.rectangle(box(14, 30, 18, 31.5), fill=(40, 40, 40, 255))
    return image


def light_bulb_icon():
    """Colour rows (indices), mask rows (1 transparent) and a 256-entry palette."""
    large = _draw_bulb(8)
    small = large.resize((ICON_SIZE, ICON_SIZE), Image.Resampling.BOX)
    alpha = small.getchannel("A").point(lambda a: 255 if a >= 96 else 0)
    # Edge pixels blend towards white, as the icon sits on light window frames.
    opaque = Image.new("RGBA", small.size, (255, 255, 255, 255))
    opaque.alpha_composite(small)
    opaque.putalpha(alpha)
    # Index 0 is black: masked pixels carry it, so the screen shows unchanged.
    indices, colours = palette.index_picture(opaque, 256, transparent_index=0)
    colours[0] = (0, 0, 0)
    colour_rows = [list(indices[y * ICON_SIZE:(y + 1) * ICON_SIZE]) for y in range(ICON_SIZE)]
    mask_rows = [[1 if index == 0 else 0 for index in row] for row in colour_rows]
    return colour_rows, mask_rows, colours
