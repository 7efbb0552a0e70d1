"""Turns a drawn RGBA picture into colour indices and a palette of an exact
size, with the transparent colour (if any) at a fixed index.

Quantisation is deterministic: Pillow's median cut without dithering, or an
exact mapping when the picture already uses few enough colours. Fully
transparent pixels (alpha 0) take the transparent index and nothing else
does; the transparent index's colour differs from every other entry, so a
reader that keys transparency on the colour value sees the same areas."""

from PIL import Image

# Colours tried, in order, for the transparent entry: the first one the
# picture does not use is taken.
TRANSPARENT_CANDIDATES = [(255, 0, 255), (0, 255, 0), (254, 1, 253), (1, 254, 2)]


def _opaque_rgb(picture):
    """The picture's colours with transparent pixels set to an opaque colour
    already present, so they cost no palette entry."""
    rgba = picture.convert("RGBA")
    alpha = rgba.getchannel("A")
    rgb = rgba.convert("RGB")
    first = next((i for i, a in enumerate(alpha.getdata()) if a), None)
    filler = rgb.getpixel((first % rgb.width, first // rgb.width)) if first is not None else (0, 0, 0)
    background = Image.new("RGB", rgb.size, filler)
    background.paste(rgb, mask=alpha.point(lambda a: 255 if a else 0))
    return background, alpha


def _reduce(rgb, colour_count):
    """Indices and palette with at most colour_count entries."""
    used = rgb.getcolors(maxcolors=colour_count)
    if used is not None:
        colours = sorted(colour for _, colour in used)
        lookup = {colour: i for i, colour in enumerate(colours)}
        data = bytes(lookup[pixel] for pixel in rgb.getdata())
        return data, colours
    reduced = rgb.quantize(colors=colour_count, method=Image.Quantize.MEDIANCUT,
                           dither=Image.Dither.NONE)
    flat = reduced.getpalette()[:colour_count * 3]
    colours = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
    return bytes(reduced.getdata()), colours


def _pad(colours, size, avoid):
    """Fills the palette to its exact size with unused, distinct greys."""
    padded = list(colours)
    level = 0
    while len(padded) < size:
        grey = (level, level, level)
        if grey not in padded and grey != avoid:
            padded.append(grey)
        level += 1
    return padded


def _choose_transparent_colour(colours):
    for candidate in TRANSPARENT_CANDIDATES:
        if candidate not in colours:
            return candidate
    raise ValueError("no free colour for the transparent entry")


def index_picture(picture, table_size, transparent_index=None):
    """Returns (indices, palette) for an RGBA or RGB Pillow image."""
    rgb, alpha = _opaque_rgb(picture)
    if transparent_index is None:
        data, colours = _reduce(rgb, table_size)
        return data, _pad(colours, table_size, None)
    data, colours = _reduce(rgb, table_size - 1)
    key = _choose_transparent_colour(colours)
    colours = _pad(colours, table_size - 1, key)
    palette = colours[:transparent_index] + [key] + colours[transparent_index:]
    shift = bytes(min(i if i < transparent_index else i + 1, 255) for i in range(256))
    shifted = data.translate(shift)
    transparent = bytes(alpha.point(lambda a: 0 if a else 1).getdata())
    indices = bytes(transparent_index if clear else index
                    for index, clear in zip(shifted, transparent))
    return indices, palette
