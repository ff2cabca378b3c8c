#!/usr/bin/python3
"""The level meter and check tree checks: fcmeter_checks.py <check> <path of fcmeter_app>.

The screenshot of the window stays beside the program, in the build folder
(fcmeter-window.png). Exit status 0 passes, 1 fails, 77 skips (a tool the
check needs is missing; under CI=true that fails).
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import XSession, expect, finish, run_check  # noqa: E402

APP = None

GREEN = (0, 128, 0)
BLUE = (0, 0, 255)
WHITE = (255, 255, 255)


def boxes(app):
    found = {}
    while len(found) < 4:
        name, x, y = app.expect_line("BOX").split()
        found[name] = (int(x), int(y))
    return found


def check_meter_and_tree():
    # The meter at 500 of 1000 lights 35 green and 17 blue segments of 105;
    # a real click on a child's box checks it and makes its parent partly
    # checked, and Space on it unchecks both again.
    with XSession() as x:
        app = x.start([APP])
        mx, my = (int(v) for v in app.expect_line("METER").split())
        where = boxes(app)
        x.wait_viewable(int(app.expect_line("XID")))
        app.expect_line("READY")
        shot = os.path.join(os.path.dirname(os.path.abspath(APP)), "fcmeter-window.png")

        x.xdotool("mousemove", *where["Mail"], "click", 1)
        expect(app.expect_line("STATE Mail") == "2", f"click on Mail's box: {app.seen}")
        expect(app.expect_line("STATE Alarm") == "3", f"Alarm after the click: {app.seen}")
        rows = x.screenshot(shot)
        expect(os.path.getsize(shot) > 0, "no screenshot")

        colours = [rows[my + 1 + 30][mx + 1 + 2 + 4 * k] for k in range(105)]
        expect(colours[:35] == [GREEN] * 35, f"first group: {set(colours[:35])}")
        expect(colours[35:52] == [BLUE] * 17, f"second group: {set(colours[35:52])}")
        expect(colours[52:] == [WHITE] * 53, f"unlit: {set(colours[52:])}")
        gaps = {rows[my + 31][mx + 1 + 4 + 4 * k] for k in range(104)}
        expect(gaps == {WHITE}, f"gaps between segments: {gaps}")

        # The checked box differs from an unchecked one (its mark).
        bx, by = where["Mail"]
        ux, uy = where["Upload"]
        checked = [rows[by + dy][bx + dx] for dy in range(-5, 6) for dx in range(-5, 6)]
        unchecked = [rows[uy + dy][ux + dx] for dy in range(-5, 6) for dx in range(-5, 6)]
        expect(checked != unchecked, "the checked box looks like the unchecked one")

        x.xdotool("key", "space")
        expect(app.expect_line("STATE Mail") == "1", f"space: {app.seen}")
        expect(app.expect_line("STATE Alarm") == "1", f"Alarm after space: {app.seen}")
        finish(app)


def main():
    global APP
    check, APP = sys.argv[1], sys.argv[2]
    return run_check(globals(), check, ("Xvfb", "xdotool", "import", "convert"))


if __name__ == "__main__":
    sys.exit(main())
