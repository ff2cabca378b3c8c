#!/usr/bin/python3
"""Draws the default pictures of the slider and the spin edit into controls/res/.

Slider thumbs and rulers and the spin arrows are 24-bit BMPs whose bottom-left
pixel is the key colour (fuchsia): the controls take the bottom-left pixel as
the colour that shows what lies behind. The two cursors are 32x32 BMPs with
alpha (32 bits per pixel); their hot spots are fixed in the slider's code.

Usage: make-button-bitmaps.py [output folder]   (default: controls/res)
"""

import os
import struct
import sys

KEY = (255, 0, 255)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
FACE = (192, 192, 192)
SHADOW = (128, 128, 128)
LIGHT = (223, 223, 223)


def bmp(width, height, pixels, alpha=False):
    """pixels[y][x] = (r, g, b) or (r, g, b, a), y = 0 at the top."""
    bpp = 32 if alpha else 24
    stride = (width * bpp // 8 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            p = pixels[y][x]
            row += bytes((p[2], p[1], p[0]))
            if alpha:
                row.append(p[3])
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 14 + 40) + header + data


def grid(width, height, fill):
    return [[fill] * width for _ in range(height)]


def from_art(art, palette):
    return [[palette[c] for c in line] for line in art]


def horizontal_thumb(pressed):
    # 9 x 17: a raised block with a point at the bottom; the pressed state
    # carries a darker face.
    face = SHADOW if pressed else FACE
    art = []
    for y in range(17):
        line = []
        for x in range(9):
            if y < 12:
                if y == 0 or x == 0:
                    c = "w"
                elif x == 8:
                    c = "k"
                elif x == 7:
                    c = "s"
                else:
                    c = "f"
            else:
                # the point narrows one pixel a side per row
                d = y - 12
                left, right = d, 8 - d
                if x < left or x > right:
                    c = "."
                elif x == left:
                    c = "w"
                elif x == right:
                    c = "k"
                elif x == right - 1:
                    c = "s"
                else:
                    c = "f"
            line.append(c)
        art.append("".join(line))
    return from_art(art, {".": KEY, "w": WHITE, "k": BLACK, "s": SHADOW, "f": face})


def side_by_side(a, b):
    return [ra + rb for ra, rb in zip(a, b)]


def transpose(p):
    return [list(col) for col in zip(*p)]


def horizontal_ruler():
    # 10 x 8: a sunken groove in rows 2..5 between key-coloured margins.
    art = [
        "..........",
        "..........",
        "ssssssssss",
        "skkkkkkkkw",
        "sllllllllw",
        "wwwwwwwwww",
        "..........",
        "..........",
    ]
    return from_art(art, {".": KEY, "w": WHITE, "k": BLACK, "s": SHADOW, "l": LIGHT})


def spin_arrow(up):
    # 7 x 4 with a key-coloured frame column and row so the bottom-left pixel is the key.
    art = [
        ".......",
        "...k...",
        "..kkk..",
        ".kkkkk.",
    ]
    if not up:
        art = [
            ".kkkkk.",
            "..kkk..",
            "...k...",
            ".......",
        ]
    return from_art(art, {".": KEY, "k": BLACK})


HAND = [
    "     ##         ",
    "    #..#        ",
    "    #..#        ",
    "    #..#        ",
    "    #..###      ",
    "    #..#..###   ",
    " ## #..#..#..## ",
    "#..##........#.#",
    "#...#..........#",
    " #.............#",
    "  #............#",
    "  #...........# ",
    "   #..........# ",
    "    #........#  ",
    "     #.......#  ",
    "     ########   ",
]

GRAB = [
    "                ",
    "                ",
    "                ",
    "                ",
    "    ## ## ##    ",
    "   #..#..#..##  ",
    "   #........#.# ",
    "  ##..........# ",
    " #.#..........# ",
    " #............# ",
    "  #...........# ",
    "  #...........# ",
    "   #.........#  ",
    "    #........#  ",
    "     #.......#  ",
    "     ########   ",
]


def cursor(art):
    px = grid(32, 32, (0, 0, 0, 0))
    for y, line in enumerate(art):
        for x, c in enumerate(line):
            if c == "#":
                px[y][x] = (0, 0, 0, 255)
            elif c == ".":
                px[y][x] = (255, 255, 255, 255)
    return px


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "controls", "res")
    os.makedirs(out, exist_ok=True)
    htb = side_by_side(horizontal_thumb(False), horizontal_thumb(True))
    hrl = horizontal_ruler()
    # The vertical pictures are the horizontal ones turned: a thumb 17 wide
    # per state and 10 high, pointing right, and a ruler 8 wide and 10 high.
    vtb = side_by_side(transpose(horizontal_thumb(False)), transpose(horizontal_thumb(True)))
    # The turned block has no key pixel at its bottom-left corner: a key row
    # below it gives it one.
    vtb.append([KEY] * 34)
    vrl = transpose(hrl)
    files = {
        "W95_HTB.bmp": bmp(18, 17, htb),
        "W95_HRL.bmp": bmp(10, 8, hrl),
        "W95_VTB.bmp": bmp(34, 10, vtb),
        "W95_VRL.bmp": bmp(8, 10, vrl),
        "VXSPINUP.bmp": bmp(7, 4, spin_arrow(True)),
        "VXSPINDOWN.bmp": bmp(7, 4, spin_arrow(False)),
        "VX_HANDCUR.bmp": bmp(32, 32, cursor(HAND), alpha=True),
        "VX_DRAGCUR.bmp": bmp(32, 32, cursor(GRAB), alpha=True),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
