"""The two photograph-like pictures: the blue background of clocks behind
every page and the welcome banner."""

import math
import random

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageOps

import widgets

SUPERSAMPLE = 2


def _noise(size, seed, spread):
    """Grey noise around 128, the same for the same seed."""
    generator = random.Random(seed)
    count = size[0] * size[1]
    data = bytes(128 + generator.randint(-spread, spread) for _ in range(count))
    return Image.frombytes("L", size, data)


def _vertical_gradient(size, top, bottom):
    column = Image.new("L", (1, size[1]))
    for y in range(size[1]):
        column.putpixel((0, y), round(top + (bottom - top) * y / max(1, size[1] - 1)))
    return column.resize(size)


def _clock_face(draw, centre, radius, hours, minutes, numerals=True):
    """An analogue clock face in grey levels: rim, ticks, numerals, hands."""
    cx, cy = centre
    r = radius
    for inset, level in [(0, 60), (r * 0.04, 190), (r * 0.08, 100), (r * 0.11, 145)]:
        draw.ellipse([cx - r + inset, cy - r + inset, cx + r - inset, cy + r - inset], fill=level)
    for tick in range(60):
        angle = math.radians(tick * 6)
        outer = r * 0.86
        inner = r * (0.74 if tick % 5 == 0 else 0.81)
        width = max(1, round(r * (0.035 if tick % 5 == 0 else 0.012)))
        draw.line([(cx + inner * math.sin(angle), cy - inner * math.cos(angle)),
                   (cx + outer * math.sin(angle), cy - outer * math.cos(angle))],
                  fill=30, width=width)
    if numerals:
        numeral_font = widgets.font("LiberationSerif-Bold.ttf", max(8, round(r * 0.17)))
        for hour in range(1, 13):
            angle = math.radians(hour * 30)
            x = cx + r * 0.6 * math.sin(angle)
            y = cy - r * 0.6 * math.cos(angle)
            draw.text((x, y), str(hour), font=numeral_font, fill=40, anchor="mm")
    _clock_hands(draw, centre, r, hours, minutes)


def _clock_hands(draw, centre, r, hours, minutes):
    cx, cy = centre
    hands = [((hours % 12 + minutes / 60) * 30, 0.48, 0.06, 20),
                  (minutes * 6, 0.72, 0.04, 20), (200, 0.8, 0.012, 90)]
    for degrees, length, width, level in hands:
        angle = math.radians(degrees)
        tip = (cx + r * length * math.sin(angle), cy - r * length * math.cos(angle))
        tail = (cx - r * 0.12 * math.sin(angle), cy + r * 0.12 * math.cos(angle))
        draw.line([tail, tip], fill=level, width=max(1, round(r * width)))
    cap = r * 0.05
    draw.ellipse([cx - cap, cy - cap, cx + cap, cy + cap], fill=15)


def _lightning_path(start, end, seed, jitter):
    """A jagged polyline from start to end."""
    generator = random.Random(seed)
    points = [start]
    steps = 9
    for step in range(1, steps):
        t = step / steps
        x = start[0] + (end[0] - start[0]) * t + generator.uniform(-jitter, jitter)
        y = start[1] + (end[1] - start[1]) * t + generator.uniform(-jitter / 3, jitter / 3)
        points.append((x, y))
    points.append(end)
    return points


def _lightning(size):
    """A grey-level layer with a bright bolt and its soft glow."""
    s = SUPERSAMPLE
    layer = Image.new("L", size, 0)
    draw = ImageDraw.Draw(layer)
    trunk = _lightning_path((262 * s, 0), (214 * s, 96 * s), seed=11, jitter=14 * s)
    branch = _lightning_path(trunk[4], (262 * s, 88 * s), seed=12, jitter=9 * s)
    fork = _lightning_path(trunk[6], (188 * s, 70 * s), seed=13, jitter=6 * s)
    for path, width in [(trunk, 7), (branch, 4), (fork, 3)]:
        draw.line(path, fill=255, width=width * s, joint="curve")
    glow = layer.filter(ImageFilter.GaussianBlur(9 * s))
    core = Image.new("L", size, 0)
    core_draw = ImageDraw.Draw(core)
    for path, width in [(trunk, 2), (branch, 1), (fork, 1)]:
        core_draw.line(path, fill=255, width=width * s, joint="curve")
    return ImageChops.lighter(ImageChops.multiply(glow, Image.new("L", size, 210)), core)


def _bokeh(size, seed):
    """Soft out-of-focus lights, as in the background of a photograph."""
    generator = random.Random(seed)
    layer = Image.new("L", size, 0)
    draw = ImageDraw.Draw(layer)
    for _ in range(28):
        radius = generator.uniform(0.02, 0.07) * size[0]
        x, y = generator.uniform(0, size[0]), generator.uniform(0, size[1])
        draw.ellipse([x - radius, y - radius, x + radius, y + radius],
                     fill=generator.randint(25, 70))
    return layer.filter(ImageFilter.GaussianBlur(size[0] / 160))


def _vignette(size):
    """A mask that darkens the corners a little."""
    mask = Image.new("L", size, 0)
    inset_x, inset_y = size[0] // 10, size[1] // 8
    ImageDraw.Draw(mask).ellipse([-inset_x, -inset_y, size[0] + inset_x, size[1] + inset_y],
                                 fill=255)
    return mask.filter(ImageFilter.GaussianBlur(size[0] / 12)).point(lambda v: 255 - v // 3)


def _digital_display(draw, box, s):
    """A dark LCD panel with lit seven-segment digits."""
    x0, y0, x1, y1 = box
    draw.rounded_rectangle(box, radius=4 * s, fill=60)
    draw.rounded_rectangle([x0 + 3 * s, y0 + 3 * s, x1 - 3 * s, y1 - 3 * s],
                           radius=3 * s, fill=12)
    widgets.seven_segment(draw, (x0 + 10 * s, y0 + 7 * s), "10:09", (y1 - y0) - 14 * s,
                          colour=180, dim=34, thickness=3 * s)


def main_background(size):
    """Blue-toned photograph of clocks: faces, a digital display, lightning."""
    s = SUPERSAMPLE
    big = (size[0] * s, size[1] * s)
    grey = ImageChops.add(_vertical_gradient(big, 25, 70), _bokeh(big, 4))
    draw = ImageDraw.Draw(grey)
    _clock_face(draw, (62 * s, 92 * s), 78 * s, 10, 10)
    _clock_face(draw, (350 * s, 46 * s), 44 * s, 3, 40)
    _clock_face(draw, (372 * s, 168 * s), 26 * s, 7, 25, numerals=False)
    _digital_display(draw, (150 * s, 150 * s, 258 * s, 192 * s), s)
    # Darken the bands behind the white headings so they stay readable.
    shade = Image.new("L", big, 0)
    for top, bottom in [(92, 138), (148, 190)]:
        ImageDraw.Draw(shade).rectangle([0, top * s, big[0], bottom * s], fill=100)
    shade = shade.filter(ImageFilter.GaussianBlur(10 * s))
    grey = ImageChops.subtract(grey, ImageChops.multiply(grey, shade))
    grey = ImageChops.lighter(grey, _lightning(big))
    grey = ImageChops.subtract(grey, ImageChops.multiply(grey, _vignette(big).point(lambda v: 255 - v)))
    grey = grey.resize(size, Image.Resampling.LANCZOS)
    grey = ImageChops.add(grey, _noise(size, 1, 6), offset=-128)
    photo = ImageOps.colorize(grey, black=(2, 8, 40), mid=(30, 90, 190), white=(225, 240, 255),
                              midpoint=110)
    return photo.convert("RGBA")


def welcome_banner(size):
    """White bold serif banner with a dark shadow on textured blue."""
    texture = _vertical_gradient(size, 120, 70)
    streaks = _noise((size[0] // 3 + 1, size[1]), 2, 40).resize(size, Image.Resampling.BILINEAR)
    texture = ImageChops.add(texture, streaks, offset=-128)
    texture = ImageChops.add(texture, _noise(size, 3, 10), offset=-128)
    background = ImageOps.colorize(texture, black=(0, 20, 80), white=(70, 130, 220)).convert("RGBA")
    words = Image.new("L", size, 0)
    draw = ImageDraw.Draw(words)
    serif = widgets.font("LiberationSerif-Bold.ttf", 24)
    draw.text((size[0] // 2, 15), "Welcome to", font=serif, fill=255, anchor="mm")
    draw.text((size[0] // 2, 41), "Zaradada Clock!", font=serif, fill=255, anchor="mm")
    shadow = words.filter(ImageFilter.GaussianBlur(1)).point(lambda v: min(255, v * 2))
    shadow = ImageChops.offset(shadow, 2, 2)
    background.paste((0, 8, 30, 255), mask=shadow)
    background.paste((255, 255, 255, 255), mask=words)
    return background
