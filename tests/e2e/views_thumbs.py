#!/usr/bin/python3
"""The thumbnail view on a virtual X display with a folder of real pictures:
views_thumbs.py <check> <path of views_thumbs_app> <screenshot folder>.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing; under CI=true that fails).
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import XSession, expect, finish, run_check  # noqa: E402

APP = None
SHOTS = None
CELL = (240, 202, 166)
SOURCES = ["rose:", "logo:", "wizard:", "granite:", "netscape:", "plasma:red-yellow", "plasma:green-blue",
           "gradient:navy-orange", "radial-gradient:white-purple", "pattern:checkerboard"]


def make_pictures(folder, count):
    # Fifty pictures of several kinds, sizes and shapes, as a camera folder
    # holds: JPEGs mostly, a few BMP files.
    for i in range(count):
        source = SOURCES[i % len(SOURCES)]
        w, h = [(400, 300), (300, 400), (640, 360), (120, 90), (1024, 768)][i % 5]
        ext = ["jpg", "jpg", "jpg", "bmp"][(i // 2) % 4]
        name = os.path.join(folder, "pic%02d.%s" % (i, ext))
        args = ["convert", "-size", "%dx%d" % (w, h), source, "-resize", "%dx%d!" % (w, h)]
        subprocess.run(args + [name], check=True, timeout=60, capture_output=True)


def check_folder():
    # Fifty pictures fill the view as the media browser shows them: each
    # cell has the browser's cell colour around a picture with a soft
    # shadow, and the file name underneath on white.
    with tempfile.TemporaryDirectory() as folder, XSession() as x:
        make_pictures(folder, 50)
        app = x.start([APP, folder], stdin=True)
        ox, oy = (int(v) for v in app.expect_line("ORIGIN", timeout=60).split())
        count, columns, failed = (int(v) for v in app.expect_line("COUNT").split())
        expect(count == 50, f"{count} slots")
        expect(failed == 0, f"{failed} pictures did not load")
        expect(columns >= 6, f"{columns} columns")
        cells = []
        for _ in range(min(count, 12)):
            i, cx, cy, cw, ch, bg = (int(v) for v in app.expect_line("CELL").split())
            cells.append((i, cx, cy, cw, ch, bg))
        wid = int(app.expect_line("XID"))
        x.wait_viewable(wid)
        app.expect_line("READY")
        os.makedirs(SHOTS, exist_ok=True)
        shot = x.screenshot(os.path.join(SHOTS, "thumbnails.png"))
        for i, cx, cy, cw, ch, bg in cells:
            sx, sy = ox + cx, oy + cy
            # The corner of the picture area is cell background.
            expect(shot[sy + 1][sx + 1] == CELL, f"cell {i} corner {shot[sy + 1][sx + 1]}")
            # The middle of the picture area is the picture, not background.
            mid = shot[sy + (ch - bg) // 2][sx + cw // 2]
            expect(mid != CELL and mid != (255, 255, 255), f"cell {i} middle {mid}")
            # The caption strip is white with dark text in it.
            strip = [shot[sy + ch - 1 - k][sx + c] for k in range(bg - 2) for c in range(cw)]
            expect((255, 255, 255) in strip, f"cell {i} caption strip has no white")
            expect(any(max(p) < 128 for p in strip), f"cell {i} caption has no text")
            # The gap between cells is the view's white background.
            expect(shot[sy + 10][sx + cw + 1] == (255, 255, 255), f"gap after cell {i} {shot[sy + 10][sx + cw + 1]}")
        # Slot 0 is selected: a red frame around its cell.
        _, cx, cy, cw, ch, bg = cells[0]
        expect(shot[oy + cy + 20][ox + cx - 1] == (255, 0, 0), f"selection frame {shot[oy + cy + 20][ox + cx - 1]}")
        finish(app)


def main():
    global APP, SHOTS
    check, APP, SHOTS = sys.argv[1], sys.argv[2], sys.argv[3]
    return run_check(globals(), check, ("Xvfb", "import", "convert"))


if __name__ == "__main__":
    sys.exit(main())
