#!/usr/bin/env python3
"""Draws the built-in styles' bitmaps of the sty controls into controls/res/.

Each style has its own two colours; every picture is a simple face in them
at a size the controls expect (strips of equal slices where a control cuts
one up, fuchsia where a picture wants a see-through key). Run from anywhere;
the results are committed.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "controls", "res")
FUCHSIA = (255, 0, 255)

# style prefix -> (light, dark) as (r, g, b)
STYLES = {
    "MACOS_": ((231, 231, 231), (57, 115, 196)),
    "WINXP_": ((239, 235, 222), (0, 44, 200)),
    "DEEPBLUE_": ((232, 232, 232), (68, 74, 160)),
    "PROTEIN_": ((251, 251, 251), (45, 48, 196)),
    "BLUEGLASS_": ((231, 231, 231), (94, 94, 236)),
}


def write_bmp(name, width, height, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b) with y = 0 on top."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(os.path.join(OUT, name + ".bmp"), "wb") as f:
        f.write(header + info + rows)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def gradient(light, dark, height):
    return lambda x, y: mix(light, dark, y / max(1, height - 1))


def framed(light, dark, w, h, key=False):
    """A raised block with a one-pixel dark edge; fuchsia corners when keyed."""
    def px(x, y):
        corner = (x in (0, w - 1)) and (y in (0, h - 1))
        if key and corner:
            return FUCHSIA
        if x in (0, w - 1) or y in (0, h - 1):
            return dark
        return mix(light, dark, 0.35 * y / max(1, h - 1))
    return px


def strip(slices, w, h, face):
    """`slices` faces side by side; face(i, x, y) draws slice i."""
    return lambda x, y: face(x // w, x % w, y)


def style_pictures(prefix, light, dark):
    pics = {}
    pics["BUTTON"] = (3 * 8, 21, framed(light, dark, 24, 21, key=True))
    for name, size in (("CHECKBOX", 13), ("RADIOBUTTON", 13), ("CHECKLIST", 13)):
        def face(i, x, y, size=size):
            if x in (0, size - 1) or y in (0, size - 1):
                return dark
            mark = i % 2 == 1 and 3 <= x <= size - 4 and 3 <= y <= size - 4
            return dark if mark else mix(light, (255, 255, 255), i / 8)
        pics[name] = (8 * size, size, strip(8, size, size, face))
    # The title buttons: 18 slices (control box, help, maximise, restore,
    # minimise, close; normal, hot and pressed each).
    def title_face(i, x, y):
        state = i % 3
        edge = x in (0, 15) or y in (0, 15)
        if edge:
            return dark
        glyph = (i // 3 * 2 + 3) <= x <= (i // 3 * 2 + 6) and 5 <= y <= 10
        base = mix(light, dark, 0.2 * state)
        return dark if glyph else base
    pics["TITLEBTN"] = (18 * 16, 16, strip(18, 16, 16, title_face))
    for part in ("TITLE_LEFT", "TITLE_CLIENT", "TITLE_RIGHT"):
        pics[part] = (8, 22, gradient(light, dark, 22))
    pics["PROGRESSBAR"] = (30, 12, framed(light, dark, 30, 12))
    pics["TRACKBAR_BAR"] = (30, 4, framed(light, dark, 30, 4))
    pics["TRACKBAR_SLIDER"] = (11 * 2, 18, strip(2, 11, 18, lambda i, x, y: framed(light, dark, 11, 18, True)(x, y)))
    pics["TRACKBAR_SLIDER_V"] = (18 * 2, 11, strip(2, 18, 11, lambda i, x, y: framed(light, dark, 18, 11, True)(x, y)))
    pics["SCROLLBAR_BUTTON"] = (16 * 8, 16, strip(8, 16, 16, lambda i, x, y: framed(light, dark, 16, 16)(x, y)))
    pics["SCROLLBAR_TRACK"] = (3 * 8, 16, framed(light, dark, 24, 16))
    pics["TAB"] = (3 * 8, 20, framed(light, dark, 24, 20, key=True))
    pics["TAB_LINE"] = (3 * 4, 4, gradient(dark, light, 4))
    pics["SIDECHENNEL_HANDLE"] = (10, 30, framed(light, dark, 10, 30))
    pics["SIDECHENNEL_BAR"] = (3 * 4, 22, gradient(light, dark, 22))
    if prefix in ("MACOS_", "WINXP_"):
        pics["SCROLLBUTTON"] = (16 * 4, 16, strip(4, 16, 16, lambda i, x, y: framed(light, dark, 16, 16)(x, y)))
        # Stretched into the combo's button; no arrow of its own.
        pics["COMBOBOX_BUTTON"] = (17, 19, framed(light, dark, 17, 19))
    if prefix == "MACOS_":
        pics["MENU_BAR"] = (8, 20, gradient((255, 255, 255), light, 20))
        pics["MENU_SELECT"] = (8, 18, gradient(light, dark, 18))
    if prefix in ("MACOS_", "PROTEIN_"):
        pics["FORM_BACKGROUND"] = (32, 32, lambda x, y: light if (x // 4 + y // 4) % 2 else mix(light, dark, 0.1))
    return pics


def main():
    os.makedirs(OUT, exist_ok=True)
    for prefix, (light, dark) in STYLES.items():
        for name, (w, h, px) in style_pictures(prefix, light, dark).items():
            write_bmp(prefix + name, w, h, px)
    light, dark = (239, 239, 239), (71, 71, 71)
    write_bmp("MORE_SCROLLBUTTON", 16 * 4, 16, strip(4, 16, 16, lambda i, x, y: framed(light, dark, 16, 16)(x, y)))


if __name__ == "__main__":
    main()
