#!/usr/bin/python3
"""The imaging views' palette dialog on a virtual X display:
views_palette.py <check> <path of views_palette_app> <screenshot folder>.

Exit status 0 passes, 1 fails, 77 skips (a tool the check needs is missing; under CI=true that fails).
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import XSession, expect, finish, run_check  # noqa: E402

APP = None
SHOTS = None


def colour_of(i):
    return (i, (i * 7) & 0xFF, 255 - i)


def check_palette():
    # The dialog shows the 256 colours as 8 rows of 32 squares; hovering
    # cell 37 outlines it in black and a click picks its colour.
    with XSession() as x:
        app = x.start([APP])
        cx, cy = (int(v) for v in app.expect_line("CELL").split())
        wid = int(app.expect_line("XID"))
        x.wait_viewable(wid)
        app.expect_line("READY")
        os.makedirs(SHOTS, exist_ok=True)
        shot = x.screenshot(os.path.join(SHOTS, "palette.png"))
        expect(shot[cy][cx] == colour_of(37), f"cell 37 shows {shot[cy][cx]}")
        expect(shot[cy][cx - 16] == colour_of(36), f"cell 36 shows {shot[cy][cx - 16]}")
        expect(shot[cy + 16 * 6][cx] == colour_of(37 + 32 * 6), f"cell 229 shows {shot[cy + 96][cx]}")
        # The outline of a cell that is not highlighted is white.
        expect(shot[cy - 7][cx] == (255, 255, 255), f"the outline of cell 37 is {shot[cy - 7][cx]}")
        x.xdotool("mousemove", cx, cy)
        x.xdotool("mousemove", cx + 1, cy)
        x.xdotool("click", 1)
        expect(app.expect_line("PICKED") == "%02x%02x%02x" % colour_of(37), f"picked {app.seen}")
        shot = x.screenshot(os.path.join(SHOTS, "palette-highlighted.png"))
        expect(shot[cy - 7][cx] == (0, 0, 0), f"the highlight outline is {shot[cy - 7][cx]}")
        finish(app)


def main():
    global APP, SHOTS
    check, APP, SHOTS = sys.argv[1], sys.argv[2], sys.argv[3]
    return run_check(globals(), check, ("Xvfb", "xdotool", "import", "convert"))


if __name__ == "__main__":
    sys.exit(main())
