"""Pictures of the clock itself: as a tray clock in the taskbar, floating on
the desktop, in a full taskbar, and over a browser window with its hide
arrow."""

from PIL import ImageDraw

import widgets
from widgets import BLACK, DARK, LIGHT, SHADOW

SKIN_EDGE = (16, 30, 70)
SKIN_TOP = (70, 120, 200)
SKIN_BOTTOM = (20, 50, 120)
LCD_GROUND = (6, 22, 38)
LCD_LIT = (120, 232, 255)
LCD_DIM = (18, 48, 66)


def _gradient_box(draw, box, top, bottom):
    x0, y0, x1, y1 = box
    span = max(1, y1 - y0)
    for y in range(y0, y1 + 1):
        t = (y - y0) / span
        draw.line([(x0, y), (x1, y)], fill=tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))


def floating_clock(image, box, hide_arrow=False):
    """The skinned floating clock: a blue body, an LCD with 5:20 and PM, and
    optionally the small hide arrow at its right end."""
    draw = ImageDraw.Draw(image)
    draw.fontmode = "1"
    x0, y0, x1, y1 = box
    _gradient_box(draw, [x0 + 1, y0 + 1, x1 - 1, y1 - 1], SKIN_TOP, SKIN_BOTTOM)
    draw.rounded_rectangle(box, radius=5, outline=SKIN_EDGE)
    draw.line([(x0 + 4, y0 + 1), (x1 - 4, y0 + 1)], fill=(150, 190, 240))
    lcd_right = x1 - (16 if hide_arrow else 5)
    draw.rectangle([x0 + 5, y0 + 5, lcd_right, y1 - 5], fill=LCD_GROUND, outline=(10, 12, 20))
    digit_height = y1 - y0 - 16
    end = widgets.seven_segment(draw, (x0 + 9, y0 + 8), "5:20", digit_height, LCD_LIT,
                                LCD_DIM, thickness=2)
    widgets.text(draw, (end + 1, y1 - 20), "PM", size=9, bold=True, fill=LCD_LIT)
    if hide_arrow:
        _hide_arrow(draw, [x1 - 13, y0 + 5, x1 - 4, y1 - 5])


def _hide_arrow(draw, box):
    """The hide button: a narrow raised strip with an arrow pointing left."""
    x0, y0, x1, y1 = box
    _gradient_box(draw, box, (200, 220, 250), (110, 150, 210))
    draw.rectangle(box, outline=SKIN_EDGE)
    middle = (y0 + y1) // 2
    draw.polygon([(x0 + 2, middle), (x1 - 2, middle - 4), (x1 - 2, middle + 4)], fill=SKIN_EDGE)


def tray_clock_panel(draw, box, with_date):
    """The clock's skin in the notification area: time, and the date above."""
    x0, y0, x1, y1 = box
    draw.rounded_rectangle(box, radius=3, fill=LCD_GROUND, outline=SKIN_EDGE)
    if with_date:
        widgets.text(draw, (x0 + 4, y0 + 1), "05/17/04", size=10, fill=(150, 200, 230))
        widgets.text(draw, (x0 + 4, y0 + 12), "5:20 PM", bold=True, fill=LCD_LIT)
    else:
        widgets.text(draw, (x0 + 4, (y0 + y1) // 2 - 7), "5:20 PM", bold=True, fill=LCD_LIT)


def _tray(draw, box, icons):
    widgets.thin_sunken(draw, box)
    x = box[0] + 3
    for kind in icons:
        widgets.tray_icon(draw, (x, (box[1] + box[3]) // 2 - 8), kind)
        x += 18
    return x


def tray_clock(size):
    """A taskbar whose notification area holds the clock as a tray clock;
    the upper part is left transparent."""
    image, draw = widgets.canvas(size, transparent=True)
    width, height = size
    top = 28
    widgets.taskbar(draw, [0, top, width - 1, height - 1])
    widgets.button(draw, [0, top + 4, 40, height - 3], "Docu...")
    clock_left = _tray(draw, [48, top + 3, width - 2, height - 3], ["speaker", "network"])
    tray_clock_panel(draw, [clock_left + 1, top + 5, width - 5, height - 5], with_date=True)
    return image


def desktop_clock(size):
    """The clock floating above a taskbar with the plain system time."""
    image, draw = widgets.canvas(size, transparent=True)
    width, height = size
    floating_clock(image, (28, 0, 120, 34))
    top = height - 22
    widgets.taskbar(draw, [0, top, width - 1, height - 1])
    widgets.button(draw, [0, top + 3, 54, height - 2], "Mail")
    left = _tray(draw, [80, top + 3, width - 2, height - 2], ["speaker"])
    widgets.text(draw, (left + 4, top + 5), "5:20 PM")
    return image


def taskbar_strip(size):
    """A whole taskbar: start button, quick launch, tasks, and the tray
    holding the skinned digital clock."""
    image, draw = widgets.canvas(size)
    width, height = size
    widgets.taskbar(draw, [0, 0, width - 1, height - 1])
    widgets.start_button(draw, [2, 4, 55, height - 3])
    _quick_launch(draw, 62, 7)
    widgets.button(draw, [132, 4, 214, height - 3], "Inbox - Mail")
    widgets.button(draw, [217, 4, 286, height - 3], "Documents", pressed=True)
    clock_left = _tray(draw, [291, 3, width - 3, height - 3], ["speaker", "network"])
    tray_clock_panel(draw, [clock_left + 1, 6, width - 6, height - 6], with_date=False)
    return image


def _quick_launch(draw, x, y):
    """A grip and three small program icons."""
    draw.line([(x, y - 2), (x, y + 15)], fill=LIGHT)
    draw.line([(x + 1, y - 2), (x + 1, y + 15)], fill=SHADOW)
    x += 6
    draw.rectangle([x, y, x + 15, y + 15], fill=(58, 110, 165), outline=DARK)
    draw.rectangle([x + 3, y + 3, x + 12, y + 9], fill=LIGHT)
    x += 20
    draw.ellipse([x, y, x + 15, y + 15], fill=(40, 120, 220), outline=(10, 40, 110))
    draw.line([(x + 2, y + 8), (x + 13, y + 8)], fill=LIGHT)
    draw.arc([x + 4, y, x + 11, y + 15], 0, 360, fill=LIGHT)
    x += 20
    draw.rectangle([x + 1, y + 2, x + 14, y + 14], fill=(240, 200, 60), outline=(120, 90, 0))
    draw.rectangle([x + 1, y, x + 7, y + 2], fill=(240, 200, 60), outline=(120, 90, 0))


def hide_arrow(size):
    """A floating clock over a browser window, the pointer on its hide arrow
    and the tooltip "Hide" beneath."""
    image, draw = widgets.canvas(size, transparent=True)
    _browser_window(draw, [0, 16, size[0] - 9, size[1] + 4])
    floating_clock(image, (128, 2, 226, 40), hide_arrow=True)
    draw.rectangle([207, 45, 232, 62], fill=widgets.TOOLTIP, outline=BLACK)
    widgets.text(draw, (211, 47), "Hide")
    widgets.pointer(image, (219, 23))
    return image


def _browser_window(draw, box):
    x0, y0, x1, y1 = box
    widgets.raised(draw, box)
    widgets.title_bar(draw, [x0 + 3, y0 + 3, x1 - 3, y0 + 20], "Welcome - Web Browser")
    menu_y = y0 + 23
    x = x0 + 8
    for word in ["File", "Edit", "View", "Favorites", "Tools", "Help"]:
        widgets.text(draw, (x, menu_y), word)
        x += widgets.text_width(word) + 12
    toolbar_y = menu_y + 17
    draw.line([(x0 + 3, toolbar_y - 2), (x1 - 3, toolbar_y - 2)], fill=SHADOW)
    draw.line([(x0 + 3, toolbar_y - 1), (x1 - 3, toolbar_y - 1)], fill=LIGHT)
    for index, (label, colour) in enumerate([("Back", (40, 150, 60)), ("Forward", (40, 150, 60)),
                                             ("Stop", (200, 40, 30)), ("Home", (60, 110, 200))]):
        bx = x0 + 8 + index * 44
        draw.ellipse([bx + 12, toolbar_y + 2, bx + 26, toolbar_y + 16], fill=colour, outline=DARK)
        widgets.text(draw, (bx + 19 - widgets.text_width(label) // 2, toolbar_y + 17), label)
    address_y = toolbar_y + 34
    widgets.text(draw, (x0 + 8, address_y + 3), "Address")
    widgets.sunken(draw, [x0 + 55, address_y, x1 - 6, address_y + 19])
    widgets.text(draw, (x0 + 60, address_y + 3), "http://www.example.com/")
    _page_content(draw, [x0 + 4, address_y + 23, x1 - 4, y1 - 4])


def _page_content(draw, box):
    x0, y0, x1, y1 = box
    draw.rectangle(box, fill=LIGHT)
    widgets.text(draw, (x0 + 8, y0 + 5), "Welcome to our page", size=13, bold=True,
                 fill=(30, 60, 140))
    for row, length in enumerate([190, 170, 200, 120]):
        y = y0 + 26 + row * 9
        draw.rectangle([x0 + 8, y, min(x1 - 8, x0 + 8 + length), y + 3], fill=(150, 150, 150))
    widgets.text(draw, (x0 + 8, y0 + 62), "Read more...", fill=(0, 0, 220))
