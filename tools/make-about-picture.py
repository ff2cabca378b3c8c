#!/usr/bin/env python3
"""Draws the About window's picture: 125 x 278 pixels, RGBA PNG.

A deep-blue to sky-blue column with a camera lens (rings with a highlight)
above a strip of film frames and three soft light bands. Drawn with
4 x 4 supersampling so edges are smooth; python3 standard library only.

Usage: tools/make-about-picture.py [output]   (default assets/skin/About.png)
"""
import math
import os
import struct
import sys
import zlib

W, H = 125, 278
SS = 4  # samples per pixel along each axis

TOP = (18, 52, 112)
BOTTOM = (120, 176, 236)
LENS_CX, LENS_CY = 62.5, 92.0


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def over(dst, src, alpha):
    return tuple(dst[i] * (1 - alpha) + src[i] * alpha for i in range(3))


def background(x, y):
    c = lerp(TOP, BOTTOM, y / H)
    # Three slanted light bands.
    for k in range(3):
        d = (y - 0.35 * x) - (150 + 38 * k)
        if abs(d) < 7:
            c = over(c, (255, 255, 255), 0.07 * (1 - abs(d) / 7))
    return c


def lens(x, y, c):
    r = math.hypot(x - LENS_CX, y - LENS_CY)
    rings = [
        (46, (232, 238, 246)),  # outer barrel
        (41, (44, 50, 62)),
        (35, (92, 104, 122)),  # focus ring
        (32, (28, 32, 42)),
        (24, (22, 60, 120)),  # glass
        (13, (10, 24, 52)),  # pupil
    ]
    for radius, colour in rings:
        if r <= radius:
            c = colour
    if r <= 35 and r > 32:
        # Grip ridges on the focus ring.
        ang = math.atan2(y - LENS_CY, x - LENS_CX)
        if int((ang + math.pi) / (2 * math.pi) * 48) % 2 == 0:
            c = (70, 80, 96)
    if r <= 24:
        # A cool glint across the glass.
        g = math.hypot(x - (LENS_CX - 8), y - (LENS_CY - 9))
        if g < 7:
            c = over(c, (255, 255, 255), 0.85 * (1 - g / 7))
        g2 = math.hypot(x - (LENS_CX + 9), y - (LENS_CY + 8))
        if g2 < 3:
            c = over(c, (170, 220, 255), 0.7 * (1 - g2 / 3))
    return c


def film(x, y, c):
    top, bottom = 176, 236
    if not (top <= y < bottom and 10 <= x < 115):
        return c
    c = (26, 28, 34)
    # Sprocket holes along both edges.
    for edge in (top + 4, bottom - 9):
        if edge <= y < edge + 5 and (int(x - 12) % 10) < 5 and x >= 12:
            return (214, 222, 232)
    # Three frames, each a little scene of sky over ground.
    for i in range(3):
        fx = 15 + i * 33
        if fx <= x < fx + 28 and top + 13 <= y < bottom - 13:
            fy = (y - (top + 13)) / (bottom - top - 26)
            sky = lerp((90, 150, 220), (190, 220, 250), fy)
            if fy > 0.62:
                return (70, 130, 80)
            sun = math.hypot(x - (fx + 20), y - (top + 20))
            if sun < 4:
                return (255, 214, 90)
            return sky
    return c


def sample(x, y):
    return film(x, y, lens(x, y, background(x, y)))


def render():
    rows = []
    for py in range(H):
        row = bytearray([0])
        for px in range(W):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    c = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    for i in range(3):
                        acc[i] += c[i]
            n = SS * SS
            row += bytes(max(0, min(255, round(v / n))) for v in acc)
            row.append(255)
        rows.append(bytes(row))
    return b"".join(rows)


def png(width, height, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "assets", "skin", "About.png")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "wb") as f:
        f.write(png(W, H, render()))
    print(out)


if __name__ == "__main__":
    main()
