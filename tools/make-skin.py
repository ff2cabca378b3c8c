#!/usr/bin/env python3
"""Draws the program's skin into assets/skin/ (and the alarm sound into
assets/AlarmSound/) with ImageMagick's `convert`.

  tools/make-skin.py            writes every picture
  tools/make-skin.py --check    exits 1 when a picture is missing

Every picture comes from the shapes below: one palette, line icons drawn on
a 24-unit grid and scaled to each button, and four faces per button
(normal, hover, down, disabled). Window backgrounds and button faces are
keyed with pure fuchsia (#FF00FF) outside their rounded outline, drawn
without anti-aliasing so no blended edge pixel escapes the key.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIN = os.path.join(ROOT, "assets", "skin")
SOUND = os.path.join(ROOT, "assets", "AlarmSound")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
KEY = "#FF00FF"

# The palette: a deep blue-grey window, glass-blue buttons, one cyan accent.
BG_TOP, BG_BOTTOM = "#26374B", "#121A24"
BAND = "#1B2735"
ACCENT = "#3FA9F5"
INK = "#F2F6FA"
INK_OFF = "#6E7B8A"
FACES = {
    "normal": ("#36506D", "#263A50", "#4A6A8E", INK),
    "hover": ("#44678F", "#304A66", "#7DB8EE", INK),
    "down": ("#1D2C3D", "#284159", ACCENT, INK),
    "disabled": ("#2B3542", "#252E3A", "#36424F", INK_OFF),
}
RECORD_RED = "#E5484D"

# Line icons on a 24 x 24 grid: MVG primitives, stroked in the ink colour
# ("FILL" marks shapes that are filled with it instead).
ICONS = {
    "home": ["polyline 3,11.5 12,3.5 21,11.5", "polyline 6,10 6,20.5 18,20.5 18,10", "rectangle 10,14 14,20.5"],
    "mail": ["roundrectangle 3,5.5 21,18.5 2,2", "polyline 3.5,6.5 12,13 20.5,6.5"],
    "gear": ["circle 12,12 12,15", "circle 12,12 12,19"]
    + ["line %.2f,%.2f %.2f,%.2f" % (12 + 7 * math.cos(a), 12 + 7 * math.sin(a), 12 + 10.5 * math.cos(a),
                                       12 + 10.5 * math.sin(a)) for a in [i * math.pi / 4 for i in range(8)]],
    "sliders": ["line 4,7 20,7", "line 4,12 20,12", "line 4,17 20,17", "FILL circle 9,7 9,9.3",
                "FILL circle 15,12 15,14.3", "FILL circle 7,17 7,19.3"],
    "fullscreen": ["polyline 3,9 3,3 9,3", "polyline 15,3 21,3 21,9", "polyline 21,15 21,21 15,21",
                   "polyline 9,21 3,21 3,15"],
    "power": ["path 'M 7.2,6.5 A 8,8 0 1,0 16.8,6.5'", "line 12,2.5 12,11.5"],
    "help": ["circle 12,12 12,21", "path 'M 9,9.5 C 9,5.8 15,5.8 15,9.5 C 15,12 12,12 12,14.5'",
             "FILL circle 12,17.8 12,19"],
    "minimize": ["line 6,17 18,17"],
    "close": ["line 6.5,6.5 17.5,17.5", "line 17.5,6.5 6.5,17.5"],
    "camcorder": ["roundrectangle 2.5,8 15.5,19 2,2", "polygon 15.5,11.5 21.5,8 21.5,19 15.5,15.5",
                  "circle 6,5 6,7", "circle 11.5,5 11.5,7"],
    "tv": ["roundrectangle 2.5,7 21.5,19.5 2,2", "line 8,2.5 12,7", "line 16,2.5 12,7", "line 8,22 16,22"],
    "webcam": ["circle 12,10 12,18", "circle 12,10 12,13", "polyline 8,17.5 6,22 18,22 16,17.5"],
    "browse": ["polyline 2.5,6 2.5,20 21.5,20 21.5,8 11,8 9,5 2.5,5 2.5,6",
               "polyline 6,17 10,12 13,15 15,13 18.5,17", "FILL circle 16.5,10.5 16.5,11.8"],
    "folder_plus": ["polyline 2.5,6 2.5,20 21.5,20 21.5,8 11,8 9,5 2.5,5 2.5,6", "line 12,10.5 12,17.5",
                    "line 8.5,14 15.5,14"],
    "folder_check": ["polyline 2.5,6 2.5,20 21.5,20 21.5,8 11,8 9,5 2.5,5 2.5,6", "polyline 8.5,14 11,16.5 15.5,11.5"],
    "pencil": ["polygon 4,20 5,15.5 15.5,5 19,8.5 8.5,19", "line 13.5,7 17,10.5"],
    "trash": ["line 4,6.5 20,6.5", "polyline 9.5,6.5 9.5,3.5 14.5,3.5 14.5,6.5", "polyline 6,6.5 7,21 17,21 18,6.5",
              "line 10,10.5 10,17", "line 14,10.5 14,17"],
    "grid": ["rectangle 4,4 10.5,10.5", "rectangle 13.5,4 20,10.5", "rectangle 4,13.5 10.5,20",
             "rectangle 13.5,13.5 20,20"],
    "picture": ["roundrectangle 2.5,4.5 21.5,19.5 2,2", "polyline 5,17 10,11 13.5,15 16,12.5 19.5,17",
                "FILL circle 16.5,8.5 16.5,10"],
    "film": ["roundrectangle 2.5,4.5 21.5,19.5 2,2", "FILL polygon 10,8.5 16,12 10,15.5"],
    "cassette": ["roundrectangle 2.5,5 21.5,19 2,2", "circle 8,11 8,13.3", "circle 16,11 16,13.3",
                 "polyline 6,19 7.5,15.5 16.5,15.5 18,19"],
    "record": ["RED circle 12,12 12,19"],
    "camera": ["path 'M 2.5,8 L 7,8 L 9,5 L 15,5 L 17,8 L 21.5,8 L 21.5,19.5 L 2.5,19.5 Z'", "circle 12,13 12,17"],
    "motion": ["FILL circle 6,12 6,14", "path 'M 10.5,7.5 A 6,6 0 0,1 10.5,16.5'",
               "path 'M 14,4.5 A 10,10 0 0,1 14,19.5'", "path 'M 17.5,2 A 13.5,13.5 0 0,1 17.5,22'"],
    "first": ["FILL rectangle 5,5 7.5,19", "FILL polygon 19,5 19,19 9,12"],
    "previous": ["FILL polygon 16,5 16,19 6,12", "FILL rectangle 17.5,5 20,19"],
    "rewind": ["FILL polygon 12,5 12,19 3,12", "FILL polygon 21,5 21,19 12,12"],
    "play": ["FILL polygon 7,4.5 7,19.5 19.5,12"],
    "pause": ["FILL rectangle 6,5 10,19", "FILL rectangle 14,5 18,19"],
    "stop": ["FILL roundrectangle 6,6 18,18 1.5,1.5"],
    "forward": ["FILL polygon 3,5 3,19 12,12", "FILL polygon 12,5 12,19 21,12"],
    "last": ["FILL polygon 5,5 5,19 15,12", "FILL rectangle 16.5,5 19,19"],
}

# Every picture button's face: (picture name, size, icon, icon size, where
# the icon sits). "top" leaves the bottom for the caption, "left" the right.
BIG, TOOL, CMD, PLAYER, PATH, FILTER, WINDOW = (132, 132), (86, 44), (96, 44), (36, 34), (48, 24), (70, 30), (30, 24)
PLAYER_SHOT = (74, 34)
BUTTONS = [
    ("btnDV", BIG, "camcorder", 64, "center"),
    ("btnTV", BIG, "tv", 64, "center"),
    ("btnOD", BIG, "webcam", 64, "center"),
    ("btnBF", BIG, "browse", 64, "center"),
    ("btnNewPath", PATH, "folder_plus", 18, "center"),
    ("btnSelectPath", PATH, "folder_check", 18, "center"),
    ("btnRenamePath", PATH, "pencil", 18, "center"),
    ("btnDeletePath", PATH, "trash", 18, "center"),
    ("btnShowAll", FILTER, "grid", 15, "left"),
    ("btnShowImage", FILTER, "picture", 15, "left"),
    ("btnShowVideo", FILTER, "film", 15, "left"),
    ("btnCaptureSetting", CMD, "gear", 20, "top"),
    ("btnDVCommand", CMD, "cassette", 20, "top"),
    ("btnStart", CMD, "record", 20, "top"),
    ("btnShotFrame", CMD, "camera", 20, "top"),
    ("btnMotionSetting", (100, 44), "motion", 20, "top"),
    ("btnHead", PLAYER, "first", 18, "center"),
    ("btnBack", PLAYER, "previous", 18, "center"),
    ("btnPause", PLAYER, "pause", 18, "center"),
    ("btnPlay", PLAYER, "play", 18, "center"),
    ("btnStop", PLAYER, "stop", 18, "center"),
    ("btnRewinds", PLAYER, "rewind", 18, "center"),
    ("btnFastForwards", PLAYER, "forward", 18, "center"),
    ("btnEnd", PLAYER, "last", 18, "center"),
    ("btnBFShotFrame", PLAYER_SHOT, "camera", 18, "left"),
    ("btnHome", TOOL, "home", 20, "top"),
    ("btnEmail", TOOL, "mail", 20, "top"),
    ("btnSetting", TOOL, "gear", 20, "top"),
    ("btnDeviceSetting", TOOL, "sliders", 20, "top"),
    ("btnFullScreen", TOOL, "fullscreen", 20, "top"),
    ("btnConnect", TOOL, "power", 20, "top"),
    ("btnHelp", TOOL, "help", 20, "top"),
    ("btnMin", WINDOW, "minimize", 14, "center"),
    ("btnClose", WINDOW, "close", 14, "center"),
]


def run(args):
    # Drawing files are passed inline: ImageMagick's policy may refuse "@file".
    out = []
    for a in map(str, args):
        if a.startswith("@"):
            with open(a[1:]) as f:
                a = f.read()
        out.append(a)
    subprocess.run(["convert"] + out, check=True)


def icon_mvg(name, x, y, size, ink, stroke_scale=1.0):
    """The icon as MVG drawn at (x, y) with the given size."""
    s = size / 24.0
    width = 1.9 * stroke_scale
    lines = ["push graphic-context", "translate %.2f,%.2f" % (x, y), "scale %.4f,%.4f" % (s, s),
             "stroke-linecap round", "stroke-linejoin round"]
    for prim in ICONS[name]:
        if prim.startswith("FILL "):
            lines += ["fill '%s'" % ink, "stroke none", prim[5:]]
        elif prim.startswith("RED "):
            red = RECORD_RED if ink != INK_OFF else INK_OFF
            lines += ["fill '%s'" % red, "stroke '%s'" % ink, "stroke-width 1.2", prim[4:]]
        else:
            lines += ["fill none", "stroke '%s'" % ink, "stroke-width %.2f" % width, prim]
    lines.append("pop graphic-context")
    return "\n".join(lines)


def keyed_shape(path, w, h, radius, body_args, tmp):
    """A picture of w x h: `body_args` inside a rounded outline, fuchsia
    outside, the outline aliased so the key stays exact."""
    body = os.path.join(tmp, "body.png")
    mask = os.path.join(tmp, "mask.png")
    run(["-size", "%dx%d" % (w, h)] + body_args + [body])
    run(["-size", "%dx%d" % (w, h), "xc:black", "+antialias", "-fill", "white", "-draw",
         "roundrectangle 0,0 %d,%d %d,%d" % (w - 1, h - 1, radius, radius), mask])
    run(["-size", "%dx%d" % (w, h), "xc:" + KEY, body, mask, "-composite", "-alpha", "off", "-type", "TrueColor",
         "-depth", "8", path])


def button_faces(name, size, icon, icon_size, place, tmp):
    w, h = size
    radius = 16 if size == BIG else 7 if h > 26 else 5
    for state, (top, bottom, border, ink) in FACES.items():
        face = os.path.join(tmp, "face.mvg")
        shift = 1 if state == "down" else 0
        if place == "center":
            ix, iy = (w - icon_size) / 2 + shift, (h - icon_size) / 2 + shift
        elif place == "top":
            ix, iy = (w - icon_size) / 2 + shift, 4 + shift
        else:
            ix, iy = 6 + shift, (h - icon_size) / 2 + shift
        stroke_scale = 1.0 if icon_size <= 24 else 0.75
        with open(face, "w") as f:
            f.write("fill none\nstroke '%s'\nstroke-width 1\n" % border)
            f.write("roundrectangle 0.5,0.5 %.1f,%.1f %d,%d\n" % (w - 1.5, h - 1.5, radius, radius))
            if state != "disabled":
                f.write("stroke '#FFFFFF22'\nline %d,1.5 %d,1.5\n" % (radius, w - radius))
            if name == "btnClose" and state == "hover":
                ink = INK
            f.write(icon_mvg(icon, ix, iy, icon_size, ink, stroke_scale) + "\n")
        fill = ("gradient:%s-%s" % (top, bottom)) if not (name == "btnClose" and state == "hover") else \
            "gradient:#E5484D-#B3262B"
        suffix = "" if state == "normal" else "_" + state
        keyed_shape(os.path.join(SKIN, name + suffix + ".png"), w, h, radius, [fill, "-draw", "@" + face], tmp)


def backgrounds(tmp):
    """imgMain.bmp (start page) and imgMain02.bmp (working modes)."""
    common = ["roundrectangle 0,0 639,479 14,14"]
    title = os.path.join(tmp, "title.mvg")
    with open(title, "w") as f:
        f.write("fill '%s'\nstroke none\nrectangle 0,0 640,35\n" % BAND)
        f.write("fill '%s'\nrectangle 0,35 640,36.5\n" % ACCENT)
    home = os.path.join(tmp, "home.mvg")
    with open(home, "w") as f:
        f.write("fill '#FFFFFF0D'\nstroke '#FFFFFF1A'\nroundrectangle 16,142 624,420 14,14\n")
    work = os.path.join(tmp, "work.mvg")
    with open(work, "w") as f:
        f.write("fill '#00000033'\nstroke none\nrectangle 0,37 640,83\n")
        f.write("fill '#FFFFFF0F'\nstroke '#FFFFFF1F'\nroundrectangle 8,85 228,473 8,8\n")
        f.write("fill '#FFFFFF0F'\nstroke '#FFFFFF1F'\nroundrectangle 230,85 632,473 8,8\n")
        f.write("fill '#05080C'\nstroke '#3FA9F555'\nrectangle 232,86 630,386\n")
        f.write("fill '#0B1118'\nstroke none\nrectangle 12,146 224,433\n")
    for out, extra in (("imgMain.bmp", home), ("imgMain02.bmp", work)):
        body = ["gradient:%s-%s" % (BG_TOP, BG_BOTTOM), "-draw", "@" + title, "-draw", "@" + extra]
        bmp = os.path.join(tmp, "bg.png")
        keyed_shape(bmp, 640, 480, 14, body, tmp)
        run([bmp, "-type", "TrueColor", "BMP3:" + os.path.join(SKIN, out)])
    del common


def logo_mvg(cx, cy, r):
    """The product mark: a lens of three rings with a record dot."""
    return "\n".join([
        "fill '%s'\nstroke none\ncircle %d,%d %d,%d" % ("#1B2735", cx, cy, cx, cy + r),
        "fill none\nstroke '%s'\nstroke-width %.1f\ncircle %d,%d %d,%d" % (ACCENT, r / 7.0, cx, cy, cx, cy + r * 0.82),
        "stroke '#FFFFFF88'\nstroke-width %.1f\ncircle %d,%d %d,%d" % (r / 14.0, cx, cy, cx, cy + r * 0.52),
        "fill '%s'\nstroke none\ncircle %d,%d %d,%d" % (RECORD_RED, cx, cy, cx, cy + r * 0.25),
    ])


def splash(tmp):
    """Splash.png, 496 x 193, with soft transparent edges and shadow."""
    mvg = os.path.join(tmp, "splash.mvg")
    with open(mvg, "w") as f:
        f.write(logo_mvg(86, 90, 52) + "\n")
        f.write("fill '%s'\nstroke '%s'\nstroke-width 1\nline 170,118 460,118\n" % (ACCENT, ACCENT))
    card = os.path.join(tmp, "card.png")
    run(["-size", "480x177", "gradient:%s-%s" % (BG_TOP, BG_BOTTOM), "-draw", "@" + mvg,
         "-font", FONT_BOLD, "-pointsize", "30", "-fill", INK, "-annotate", "+170+82", "Vorix",
         "-font", FONT, "-pointsize", "22", "-fill", "#CFE3F5", "-annotate", "+170+110", "Video Capture",
         "-pointsize", "12", "-fill", "#8FA6BD", "-annotate", "+170+142", "Capture  \u00b7  Watch  \u00b7  Browse",
         card])
    mask = os.path.join(tmp, "cardmask.png")
    run(["-size", "480x177", "xc:black", "-fill", "white", "-draw", "roundrectangle 0,0 479,176 18,18", mask])
    rounded = os.path.join(tmp, "rounded.png")
    run([card, mask, "-alpha", "off", "-compose", "CopyOpacity", "-composite", rounded])
    run(["-size", "496x193", "xc:none", "(", rounded, "-background", "black", "-shadow", "60x4+0+3", ")",
         "-geometry", "+2+3", "-composite", rounded, "-geometry", "+8+6", "-composite",
         "-depth", "8", "-define", "png:color-type=6", os.path.join(SKIN, "Splash.png")])


def soft_name(tmp):
    """SoftName.png: the title picture of the start page, 300 x 28."""
    mvg = os.path.join(tmp, "soft.mvg")
    with open(mvg, "w") as f:
        f.write(logo_mvg(13, 14, 11) + "\n")
    run(["-size", "300x28", "xc:none", "-draw", "@" + mvg, "-font", FONT_BOLD, "-pointsize", "15", "-fill", INK,
         "-annotate", "+32+20", "Vorix", "-font", FONT, "-fill", "#BFD8EE", "-annotate", "+84+20",
         "Video Capture", "-depth", "8", "-define", "png:color-type=6", os.path.join(SKIN, "SoftName.png")])


def about(tmp):
    """About.png: the About window's picture, 125 x 278."""
    mvg = os.path.join(tmp, "about.mvg")
    with open(mvg, "w") as f:
        f.write(logo_mvg(62, 92, 40) + "\n")
        f.write("fill '%s'\nstroke none\nrectangle 20,160 105,161.5\n" % ACCENT)
    run(["-size", "125x278", "gradient:%s-%s" % (BG_TOP, BG_BOTTOM), "-draw", "@" + mvg, "-font", FONT_BOLD,
         "-pointsize", "18", "-fill", INK, "-gravity", "north", "-annotate", "+0+178", "Vorix", "-font", FONT,
         "-pointsize", "11", "-fill", "#BFD8EE", "-annotate", "+0+204", "Video Capture",
         "-depth", "8", os.path.join(SKIN, "About.png")])


def alarm_sound():
    """AlarmSound.wav: two short rising beeps, 16-bit mono at 22050 Hz."""
    rate = 22050
    frames = bytearray()
    for tone in (880.0, 1175.0, 880.0, 1175.0):
        for i in range(int(rate * 0.18)):
            env = min(1.0, i / 200.0, (rate * 0.18 - i) / 200.0)
            frames += struct.pack("<h", int(12000 * env * math.sin(2 * math.pi * tone * i / rate)))
        frames += b"\0\0" * int(rate * 0.06)
    with wave.open(os.path.join(SOUND, "AlarmSound.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def expected_files():
    files = ["imgMain.bmp", "imgMain02.bmp", "Splash.png", "SoftName.png", "About.png"]
    for name, *_ in BUTTONS:
        files += [name + s + ".png" for s in ("", "_hover", "_down", "_disabled")]
    return [os.path.join(SKIN, f) for f in files] + [os.path.join(SOUND, "AlarmSound.wav")]


def main():
    if "--check" in sys.argv:
        missing = [f for f in expected_files() if not os.path.exists(f)]
        for f in missing:
            print("missing", os.path.relpath(f, ROOT))
        return 1 if missing else 0
    os.makedirs(SKIN, exist_ok=True)
    os.makedirs(SOUND, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        backgrounds(tmp)
        splash(tmp)
        soft_name(tmp)
        about(tmp)
        for name, size, icon, icon_size, place in BUTTONS:
            button_faces(name, size, icon, icon_size, place, tmp)
    alarm_sound()
    return 0


if __name__ == "__main__":
    sys.exit(main())
