"""Screenshot-like pictures of the clock's menus and dialogs: the pop-up
menu, the Startup group, the Download drop-down, the skin list and the
critical-days page. Each keeps to the few colours of its colour table."""

import widgets
from widgets import BLACK, DARK, LIGHT, SELECTION, SHADOW

MENU_ITEM_HEIGHT = 18

POPUP_ENTRIES = [
    ("Synchronize time now", {}),
    ("Preferences...", {"bold": True, "highlighted": True}),
    ("Skins", {"arrow": True}),
    ("Alarms...", {}),
    ("Vivizod Adivo...", {}),
    None,
    ("Tray clock", {"checked": True}),
    ("Always on top", {}),
    ("Hide", {}),
    None,
    ("About...", {}),
    ("Exit", {}),
]

SKIN_SITES = [
    "Dedo Clock Collection",
    "Skin Gallery Central",
    "Desktop Clock Skins",
    "Free Skins Library",
    "Clock Face Exchange",
    "Time Themes Archive",
    "Skins for Everyone",
]

SKINS = [
    ("Aqua Glass", (40, 160, 220)),
    ("Black Steel", (40, 40, 40)),
    ("Blue Ocean", (20, 70, 200)),
    ("Cherry Wood", (150, 50, 30)),
    ("Digital Green", (30, 170, 60)),
    ("Golden Age", (220, 170, 30)),
    ("Neon Night", (200, 40, 200)),
    ("Silver Moon", (170, 170, 180)),
]


def _menu(draw, left, top, width, entries):
    """Draws a pop-up menu; returns the box of the highlighted entry."""
    y = top + 3
    highlighted = None
    for entry in entries:
        if entry is None:
            widgets.menu_separator(draw, left + 3, left + width - 4, y + 3)
            y += 8
            continue
        label, style = entry
        box = [left + 3, y, left + width - 4, y + MENU_ITEM_HEIGHT - 1]
        widgets.menu_item(draw, box, label, **style)
        if style.get("highlighted"):
            highlighted = box
        y += MENU_ITEM_HEIGHT
    return highlighted


def popup_menu(size):
    """The clock's pop-up menu, "Preferences..." highlighted under the pointer."""
    image, draw = widgets.canvas(size)
    widgets.menu_frame(draw, [0, 0, size[0] - 1, size[1] - 1])
    chosen = _menu(draw, 0, 0, size[0], POPUP_ENTRIES)
    widgets.pointer(image, (chosen[0] + 112, chosen[1] + 9))
    return image


def startup_group(size):
    """Part of the Preferences dialog: the Startup group with "Run the clock
    at startup" ticked under the pointer."""
    image, draw = widgets.canvas(size)
    widgets.group_box(draw, [8, 10, size[0] - 6, 78], "Startup")
    widgets.check_box(draw, (20, 24), "Run the clock at startup", checked=True)
    widgets.check_box(draw, (20, 42), "Start as a tray clock", checked=False)
    widgets.check_box(draw, (20, 60), "Synchronize the time at startup", checked=False)
    widgets.group_box(draw, [8, 90, size[0] - 6, 140], "Updates")
    widgets.check_box(draw, (20, 99), "Look for new skins every week", checked=False)
    widgets.pointer(image, (31, 34))
    return image


def download_menu(size):
    """The Download drop-down button with its list of skin sites, the first
    one highlighted; everything around them is transparent."""
    image, draw = widgets.canvas(size, transparent=True)
    left, top = 4, 8
    widgets.button(draw, [left, top, left + 88, top + 22], "Download", pressed=True)
    arrow_x, arrow_y = left + 78, top + 10
    draw.polygon([(arrow_x - 3, arrow_y), (arrow_x + 3, arrow_y), (arrow_x, arrow_y + 3)],
                 fill=BLACK)
    width = 148
    height = len(SKIN_SITES) * MENU_ITEM_HEIGHT + 6
    menu_top = top + 23
    widgets.menu_frame(draw, [left, menu_top, left + width - 1, menu_top + height - 1])
    first = _menu(draw, left, menu_top, width,
                  [(site, {"highlighted": index == 0}) for index, site in enumerate(SKIN_SITES)])
    widgets.pointer(image, (first[0] + 128, first[1] + 8))
    return image


def _clock_icon(draw, xy, colour):
    """A 16 x 16 skin icon: a little round clock in the skin's colour."""
    x, y = xy
    draw.ellipse([x, y, x + 15, y + 15], fill=colour, outline=BLACK)
    draw.ellipse([x + 3, y + 3, x + 12, y + 12], fill=LIGHT)
    draw.line([(x + 7, y + 4), (x + 7, y + 8), (x + 10, y + 8)], fill=BLACK)


def _skin_rows(draw, box):
    """The list's column headers and one row per skin."""
    x0, y0, x1, _ = box
    widgets.raised(draw, [x0 + 2, y0 + 2, x0 + 170, y0 + 19])
    widgets.raised(draw, [x0 + 171, y0 + 2, x1 - 2, y0 + 19])
    widgets.text(draw, (x0 + 8, y0 + 4), "Skin")
    widgets.text(draw, (x0 + 177, y0 + 4), "Size")
    for index, (name, colour) in enumerate(SKINS):
        y = y0 + 21 + index * MENU_ITEM_HEIGHT
        selected = index == 2
        if selected:
            draw.rectangle([x0 + 24, y, x0 + 28 + widgets.text_width(name), y + 16], fill=SELECTION)
        _clock_icon(draw, (x0 + 5, y), colour)
        ink = LIGHT if selected else BLACK
        widgets.text(draw, (x0 + 26, y + 2), name, fill=ink)
        widgets.text(draw, (x0 + 177, y + 2), f"{24 + index * 7} KB")


def _dragged_file(image, draw, xy):
    """A zip file being dragged: its ghost icon and name under the pointer."""
    x, y = xy
    draw.rectangle([x + 6, y + 14, x + 25, y + 37], fill=LIGHT, outline=DARK)
    draw.rectangle([x + 13, y + 18, x + 18, y + 33], fill=(220, 180, 40), outline=DARK)
    for row in range(y + 20, y + 32, 3):
        draw.line([(x + 14, row), (x + 17, row)], fill=DARK)
    widgets.text(draw, (x - 2, y + 39), "bluesky.zip", fill=BLACK)
    draw.rectangle([x + 22, y + 30, x + 32, y + 40], fill=LIGHT, outline=BLACK)
    draw.line([(x + 25, y + 35), (x + 29, y + 35)], fill=BLACK)
    draw.line([(x + 27, y + 33), (x + 27, y + 37)], fill=BLACK)
    widgets.pointer(image, (x, y))


def skin_list(size):
    """The skin list with icons, a file dragged into it, and the buttons
    "Legend", "Add skins..." and "Download Skins"."""
    image, draw = widgets.canvas(size)
    list_box = [6, 10, 292, size[1] - 8]
    widgets.sunken(draw, list_box)
    _skin_rows(draw, list_box)
    for index, label in enumerate(["Legend", "Add skins...", "Download Skins"]):
        top = 10 + index * 30
        widgets.button(draw, [300, top, 389, top + 23], label)
    widgets.group_box(draw, [398, 10, size[0] - 6, size[1] - 8], "Preview")
    _preview_clock(draw, [406, 30, size[0] - 14, 60])
    _dragged_file(image, draw, (118, 58))
    return image


def _preview_clock(draw, box):
    x0, y0, x1, y1 = box
    draw.rounded_rectangle(box, radius=4, fill=(20, 70, 200), outline=BLACK)
    draw.rectangle([x0 + 4, y0 + 4, x1 - 4, y1 - 4], fill=BLACK)
    widgets.seven_segment(draw, (x0 + 6, y0 + 8), "5:20", y1 - y0 - 16, (40, 160, 220),
                          thickness=1)


def _calendar_strip(draw, x, y):
    """Twenty-eight day cells: critical days red, the safe ones green, today
    framed."""
    critical = {0, 1, 2, 3, 4, 12, 13, 14, 15}
    for day in range(28):
        left = x + day * 11
        colour = (230, 60, 60) if day in critical else (120, 200, 120)
        if day in (12, 15):
            colour = (250, 170, 170)
        draw.rectangle([left, y, left + 9, y + 13], fill=colour, outline=SHADOW)
        if day % 7 == 0:
            widgets.text(draw, (left + 1, y + 15), str(day + 1), size=10)
    today = x + 9 * 11
    draw.rectangle([today - 1, y - 2, today + 10, y + 15], outline=BLACK)


def critical_days(size):
    """Part of the Preferences dialog for critical days, with "Hide this page
    from the others." ticked under the pointer."""
    image, draw = widgets.canvas(size)
    widgets.group_box(draw, [6, 8, size[0] - 4, size[1] - 4], "Critical days")
    widgets.text(draw, (16, 22), "First day of the last cycle:")
    widgets.sunken(draw, [170, 19, 262, 38])
    widgets.text(draw, (175, 22), "05/02/2004")
    widgets.raised(draw, [245, 21, 260, 36])
    draw.polygon([(249, 27), (256, 27), (252, 31)], fill=BLACK)
    widgets.text(draw, (276, 22), "Cycle:")
    widgets.sunken(draw, [312, 19, 346, 38])
    widgets.text(draw, (317, 22), "28")
    _calendar_strip(draw, 16, 46)
    widgets.check_box(draw, (16, 86), "Hide this page from the others.", checked=True)
    widgets.pointer(image, (26, 96))
    return image

