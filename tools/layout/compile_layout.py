#!/usr/bin/python3
"""Compiles the wizard's layout text into the binary "TQUICKFORM" resource.

    compile_layout.py LAYOUT-TEXT ART-DIR OUTPUT

The layout text lists every item of the window (see the head of
quickintro/layout/quickform.layout); pictures and the window icon are read
from ART-DIR and stored inside. The binary format is described in
quickintro/form_layout.h, whose reader this output must satisfy.
"""
import shlex
import struct
import sys
from pathlib import Path

KINDS = {"TQuickForm": 0, "TNotebook": 1, "TPage": 2, "TImage": 3, "TLabel": 4,
         "TShape": 5, "TBevel": 6, "TButton": 7, "TRadioButton": 8}

FLAGS = {"visible": 1 << 0, "enabled": 1 << 1, "autosize": 1 << 2, "center": 1 << 3,
         "transparent": 1 << 4, "wordwrap": 1 << 5, "checked": 1 << 6, "default": 1 << 7,
         "cancel": 1 << 8, "tabstop": 1 << 9, "topmost": 1 << 10, "screencenter": 1 << 11}
CLEARING_FLAGS = {"hidden": FLAGS["visible"], "disabled": FLAGS["enabled"]}

SYSTEM_COLORS = {"windowtext": 8, "btnface": 15, "btnshadow": 16, "btnhighlight": 20}
SYSTEM_COLOR_BIT = 0x80000000
NO_COLOR = 0x1FFFFFFF
FONT_STYLES = {"regular": 0, "bold": 1, "italic": 2, "underline": 4}
ALIGNMENTS = {"left": 0, "center": 1, "right": 2}
BEVEL_STYLES = {"lowered-box": 0, "etched": 1}
SHAPE_SOLID_FILL, SHAPE_NO_FILL = 0, 1
NO_PARENT = 0xFFFF
EVENTS = {"OnClick", "OnCreate", "OnShow", "OnClose", "OnPageChanged"}


class LayoutError(Exception):
    pass


def parse_color(text):
    """#RRGGBB or sys:NAME -> the stored 32-bit value (red in the low byte)."""
    if text.startswith("sys:"):
        name = text[4:]
        if name not in SYSTEM_COLORS:
            raise LayoutError(f"unknown system colour {text}")
        return SYSTEM_COLOR_BIT | SYSTEM_COLORS[name]
    if len(text) != 7 or not text.startswith("#"):
        raise LayoutError(f"bad colour {text}")
    rgb = int(text[1:], 16)
    red, green, blue = rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF
    return red | green << 8 | blue << 16


def parse_pair(text, separator):
    first, second = text.split(separator)
    return int(first), int(second)


def parse_flags(text):
    flags = FLAGS["visible"] | FLAGS["enabled"]
    for word in filter(None, text.split(",")):
        if word in FLAGS:
            flags |= FLAGS[word]
        elif word in CLEARING_FLAGS:
            flags &= ~CLEARING_FLAGS[word]
        else:
            raise LayoutError(f"unknown flag {word}")
    return flags


class Item:
    def __init__(self, kind, name, parent):
        if kind not in KINDS:
            raise LayoutError(f"unknown kind {kind}")
        self.kind, self.name, self.parent = kind, name, parent
        self.left = self.top = self.width = self.height = 0
        self.flags = parse_flags("")
        self.tab_order, self.alignment, self.style = -1, 0, 0
        self.color = NO_COLOR
        self.font = parent.font if parent else None
        self.text = ""
        self.bindings = []
        self.picture = None  # (class name, bytes)


class LayoutCompiler:
    def __init__(self, art_dir):
        self.art_dir = Path(art_dir)
        self.fonts = {}
        self.items = []

    def read_art(self, name):
        path = self.art_dir / name
        if not path.is_file():
            raise LayoutError(f"missing picture file {path}")
        return path.read_bytes()

    def define_font(self, words):
        if len(words) != 5:
            raise LayoutError("font NAME FACE HEIGHT STYLE COLOUR")
        name, face, height, style, color = words
        style_bits = 0
        for word in style.split(","):
            style_bits |= FONT_STYLES[word]
        self.fonts[name] = (face, int(height), style_bits, parse_color(color))

    def picture(self, name):
        data = self.read_art(name)
        if data[:6] not in (b"GIF87a", b"GIF89a"):
            raise LayoutError(f"{name} is not a GIF file")
        return ("TGIFImage", data)

    def icon(self, name):
        data = self.read_art(name)
        if data[:4] != b"\0\0\1\0":
            raise LayoutError(f"{name} is not an icon file")
        return ("TIcon", data)

    def set_attribute(self, item, key, value):
        if key == "at":
            item.left, item.top = parse_pair(value, ",")
        elif key == "size":
            item.width, item.height = parse_pair(value, "x")
        elif key in ("text", "caption"):
            item.text = value.replace("\\n", "\r\n")
        elif key == "font":
            item.font = self.fonts[value]
        elif key == "color":
            item.color = parse_color(value)
        elif key == "fill":
            item.style = SHAPE_NO_FILL if value == "none" else SHAPE_SOLID_FILL
            item.color = NO_COLOR if value == "none" else parse_color(value)
        elif key == "style":
            item.style = BEVEL_STYLES[value]
        elif key == "align":
            item.alignment = ALIGNMENTS[value]
        elif key == "taborder":
            item.tab_order = int(value)
        elif key == "flags":
            item.flags = parse_flags(value)
        elif key == "picture":
            item.picture = self.picture(value)
        elif key == "icon":
            item.picture = self.icon(value)
        elif key in EVENTS:
            item.bindings.append((key, value))
        else:
            raise LayoutError(f"unknown attribute {key}")

    def compile_text(self, text):
        stack = []
        for number, line in enumerate(text.splitlines(), 1):
            try:
                self.compile_line(line, stack)
            except (LayoutError, KeyError, ValueError) as error:
                raise LayoutError(f"line {number}: {error}") from None
        if stack:
            raise LayoutError("unclosed block at the end")

    def compile_line(self, line, stack):
        if line.lstrip().startswith("#"):
            return
        words = shlex.split(line)
        if not words:
            return
        if words == ["}"]:
            if not stack:
                raise LayoutError("unmatched }")
            stack.pop()
            return
        if words[0] == "font":
            self.define_font(words[1:])
            return
        opens = words[-1] == "{"
        if opens:
            words = words[:-1]
        item = Item(words[0], words[1], stack[-1] if stack else None)
        for word in words[2:]:
            key, _, value = word.partition("=")
            self.set_attribute(item, key, value)
        if (item.kind == "TQuickForm") != (not self.items):
            raise LayoutError("the form must be the first item, and the only one")
        self.items.append(item)
        if opens:
            stack.append(item)


def str8(text):
    data = text.encode("cp1252") if isinstance(text, str) else text
    if len(data) > 0xFF:
        raise LayoutError(f"text too long: {text!r}")
    return struct.pack("<B", len(data)) + data


def str16(text):
    data = text.encode("cp1252")
    return struct.pack("<H", len(data)) + data


def encode_item(item, index_of):
    face, height, style, font_color = item.font or ("", 0, 0, 0)
    parent = index_of[id(item.parent)] if item.parent else NO_PARENT
    out = struct.pack("<B", KINDS[item.kind]) + str8(item.name) + struct.pack("<H", parent)
    out += struct.pack("<hhhhIhBBI", item.left, item.top, item.width, item.height, item.flags,
                       item.tab_order, item.alignment, item.style, item.color)
    out += str8(face) + struct.pack("<BBI", height, style, font_color)
    out += str16(item.text)
    out += struct.pack("<B", len(item.bindings))
    for event, handler in item.bindings:
        out += str8(event) + str8(handler)
    if item.picture is None:
        return out + b"\0"
    class_name, data = item.picture
    return out + b"\1" + str8(class_name) + struct.pack("<I", len(data)) + data


def encode_layout(items):
    index_of = {id(item): index for index, item in enumerate(items)}
    out = b"QFL1" + struct.pack("<H", len(items))
    return out + b"".join(encode_item(item, index_of) for item in items)


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    layout_path, art_dir, output = argv[1:]
    compiler = LayoutCompiler(art_dir)
    try:
        compiler.compile_text(Path(layout_path).read_text(encoding="utf-8"))
    except LayoutError as error:
        print(f"{layout_path}: {error}", file=sys.stderr)
        return 1
    Path(output).write_bytes(encode_layout(compiler.items))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
